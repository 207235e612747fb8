#pragma once

#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;
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

enum class TUnitFilter : quint8 { ufAll = 0, ufCustom = 1, ufBuiltIn = 2 };

// The one comparison of names used for lookup, duplicates and order: ignores case, follows
// the user's locale. Negative, zero or positive like strcmp.
int CompareNames(const QString& a, const QString& b);

class TConvUnit
{
public:
    explicit TConvUnit(TConvCategory* category);
    // Reads a unit record (name and factor); throws EConvError on a malformed record.
    static std::unique_ptr<TConvUnit> CreateFromStream(TConvCategory* category, QIODevice& stream);

    void Assign(const TConvUnit& source);
    // Renames and re-sorts the owning category's list. Does not check for a clash.
    void Rename(const QString& newName);
    void WriteToStream(QIODevice& stream) const;

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

    static std::unique_ptr<TConvCategory> CreateFromStream(TConvCategories* catalogue, QIODevice& stream,
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
    void SaveToStream(QIODevice& stream, TUnitFilter filter) const;

    TConvCategories* Catalogue = nullptr;
    QString Name;
    bool IsTemperature = false;

private:
    friend class TConvUnit;
    int InsertPosition(const QString& name) const;
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
    // Writes the count and the records; not the version mark.
    void SaveToStream(QIODevice& stream, TUnitFilter filter) const;

private:
    int InsertPosition(const QString& name) const;
    std::vector<std::unique_ptr<TConvCategory>> FCategories;
};
