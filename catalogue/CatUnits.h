#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;
class QLocale;
class TConvCategory;
class TConvCategories;

// Raised when a name is already taken, and by the readers of the data files for a file
// that cannot be read (the message then is kInvalidDataFile).
class EConvError : public std::runtime_error
{
public:
    explicit EConvError(const QString& message);
    QString Message() const { return FMessage; }

private:
    QString FMessage;
};

inline constexpr const char* kUnitExists = "A unit with the name '%1' already exists.";
inline constexpr const char* kCategoryExists = "A category with name '%1' already exists.";
inline constexpr const char* kInvalidDataFile = "Invalid data file or wrong version.";
// Raised by the writers for a name that the 8-bit layout cannot hold (empty, or with
// characters outside Windows-1252): written, it would make the file unreadable.
inline constexpr const char* kNameNotStorable = "The name '%1' cannot be stored in the data file.";
inline constexpr const char* kWriteFailed = "Unable to write the data file.";

enum class TUnitFilter : quint8
{
    ufAll = 0,
    ufCustom = 1,
    ufBuiltIn = 2
};

// The one comparison of names used for lookup, duplicates and order: ignores case, follows
// the user's locale. Negative, zero or positive like strcmp.
int CompareNames(const QString& a, const QString& b);
// Makes CompareNames follow another locale (tests; the program uses the system locale).
// Only call it while no catalogue exists: the lists are sorted by the comparison in force.
void SetNamesLocale(const QLocale& locale);

// Reads the little-endian fields of the data files. Every read that cannot be satisfied by
// what is left of the stream throws EConvError(kInvalidDataFile); nothing is allocated
// beyond what the stream really holds. Counts are not checked ahead: a count larger than
// the file ends at the first record that is missing, and a problem earlier in the file
// (such as a repeated name) is the one reported.
class TDataReader
{
public:
    explicit TDataReader(QIODevice& stream);
    quint8 ReadByte();
    qint32 ReadInt32();
    double ReadDouble();
    void Skip(qint64 count);
    // A 32-bit length of 1 or more followed by that many Windows-1252 bytes.
    QString ReadName();

private:
    void ReadExactly(char* data, qint64 count);
    QByteArray ReadBytes(qint64 count);
    qint64 Remaining() const;

    QIODevice& FStream;
    qint64 FEnd = -1; // size of a random-access device, -1 for a sequential one
};

// The writing counterpart; throws EConvError(kWriteFailed) on a short write.
class TDataWriter
{
public:
    explicit TDataWriter(QIODevice& stream) : FStream(stream) {}
    void WriteBytes(const QByteArray& bytes);
    void WriteInt32(qint32 value);
    void WriteDouble(double value);
    // Throws EConvError(kNameNotStorable) for a name the layout cannot hold.
    void WriteName(const QString& name);

private:
    QIODevice& FStream;
};

class TConvUnit
{
public:
    explicit TConvUnit(TConvCategory* category);
    // Reads a unit record (name and factor); throws EConvError on a malformed record.
    static std::unique_ptr<TConvUnit> CreateFromStream(TConvCategory* category, QIODevice& stream);
    static std::unique_ptr<TConvUnit> CreateFromStream(TConvCategory* category, TDataReader& reader);

    void Assign(const TConvUnit& source);
    // Renames and re-sorts the owning category's list. Does not check for a clash.
    void Rename(const QString& newName);
    void WriteToStream(QIODevice& stream) const;
    void WriteToStream(TDataWriter& writer) const;

    TConvCategory* Category = nullptr;
    double Factor = 1.0;
    QString Name;
    bool Custom = false;
};

class TConvCategory
{
public:
    explicit TConvCategory(TConvCategories* catalogue);
    virtual ~TConvCategory();
    TConvCategory(const TConvCategory&) = delete;
    TConvCategory& operator=(const TConvCategory&) = delete;

    static std::unique_ptr<TConvCategory> CreateFromStream(TConvCategories* catalogue, QIODevice& stream, bool custom);
    static std::unique_ptr<TConvCategory> CreateFromStream(TConvCategories* catalogue, TDataReader& reader,
                                                           bool custom);

    int UnitCount() const { return int(FUnits.size()); }
    TConvUnit* Units(int index) const { return FUnits.at(size_t(index)).get(); }
    int IndexOfUnit(const QString& name) const;

    TConvUnit* AddUnit(const QString& name, bool custom, double factor);
    TConvUnit* AddUnit(const QString& name) { return AddUnit(name, false, 1.0); }
    // Takes ownership on success; on a clash throws and the caller keeps the object.
    TConvUnit* InsertUnit(std::unique_ptr<TConvUnit>& unit);
    void MergeUnits(const TConvCategory& source);
    // With dropIfEmpty the category removes and destroys itself when its last unit goes;
    // the caller must not touch it afterwards.
    void DeleteUnit(int index, bool dropIfEmpty);
    void RemoveUnit(TConvUnit* unit, bool dropIfEmpty);

    void LoadFromStream(QIODevice& stream, bool custom);
    void LoadFromStream(TDataReader& reader, bool custom);
    void SaveToStream(QIODevice& stream, TUnitFilter filter) const;
    void SaveToStream(TDataWriter& writer, TUnitFilter filter) const;

    TConvCategories* Catalogue = nullptr;
    QString Name;
    bool IsTemperature = false;

private:
    friend class TConvUnit;
    // Position of name in the sorted list, or where it would go; found tells which.
    int Search(const QString& name, bool& found) const;
    int PositionOf(const TConvUnit* unit) const;
    std::vector<std::unique_ptr<TConvUnit>> FUnits;
};

class TConvCategories
{
public:
    TConvCategories();
    virtual ~TConvCategories();
    TConvCategories(const TConvCategories&) = delete;
    TConvCategories& operator=(const TConvCategories&) = delete;

    int Count() const { return int(FCategories.size()); }
    TConvCategory* Categories(int index) const { return FCategories.at(size_t(index)).get(); }
    int IndexOf(const QString& name) const;
    TConvCategory* FindCategory(const QString& name) const;

    TConvCategory* AddCategory(const QString& name);
    TConvCategory* InsertCategory(std::unique_ptr<TConvCategory>& category);
    void DeleteCategory(int index);
    void RemoveCategory(TConvCategory* category);
    void Clear();
    void Merge(const TConvCategories& source);

    // Reads the count and the category records (the caller has read the version mark).
    // On failure the catalogue is left empty and EConvError passes on.
    void LoadFromStream(QIODevice& stream, bool custom);
    void LoadFromStream(TDataReader& reader, bool custom);
    // Writes the count and the records; not the version mark.
    void SaveToStream(QIODevice& stream, TUnitFilter filter) const;
    void SaveToStream(TDataWriter& writer, TUnitFilter filter) const;

private:
    int Search(const QString& name, bool& found) const;
    int PositionOf(const TConvCategory* category) const;
    std::vector<std::unique_ptr<TConvCategory>> FCategories;
};
