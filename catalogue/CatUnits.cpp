#include "CatUnits.h"

#include "Win1252.h"

#include <QCollator>
#include <QIODevice>
#include <QLocale>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <optional>
#include <stdexcept>

namespace {

// The comparison behind every name lookup: a collator of the user's locale when it really
// ignores case. Under the C locale, and in a Qt built without a collation library, a
// QCollator works on code points and does not reliably ignore case (its sort keys keep
// it), so there the comparison is plain case folding.
class TNameCollation
{
public:
    explicit TNameCollation(const QLocale& locale) { Use(locale); }

    void Use(const QLocale& locale)
    {
        FCollator.reset();
        if (locale.language() == QLocale::C)
            return;
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(false);
        collator.setIgnorePunctuation(false);
        const bool ignoresCase = collator.compare(QStringLiteral("Metre"), QStringLiteral("METRE")) == 0 &&
                                 collator.compare(QStringLiteral("a"), QStringLiteral("B")) < 0 &&
                                 collator.compare(QStringLiteral("B"), QStringLiteral("a")) > 0;
        if (ignoresCase)
            FCollator = std::move(collator);
    }

    int Compare(const QString& a, const QString& b) const
    {
        if (FCollator)
            return FCollator->compare(a, b);
        return QString::compare(a, b, Qt::CaseInsensitive);
    }

private:
    std::optional<QCollator> FCollator;
};

TNameCollation& Collation()
{
    static TNameCollation collation(QLocale::system());
    return collation;
}

[[noreturn]] void ThrowInvalidFile()
{
    throw EConvError(QString::fromLatin1(kInvalidDataFile));
}

bool Selects(const TConvUnit& unit, TUnitFilter filter)
{
    switch (filter) {
    case TUnitFilter::ufCustom:
        return unit.Custom;
    case TUnitFilter::ufBuiltIn:
        return !unit.Custom;
    case TUnitFilter::ufAll:
        break;
    }
    return true;
}

// Sorted-list search shared by both lists. Writers emit names in order, so a name read
// from a file usually belongs behind the last entry: that case costs one comparison.
template <typename List> int SearchSorted(const List& list, const QString& name, bool& found)
{
    found = false;
    if (list.empty())
        return 0;
    const int last = CompareNames(list.back()->Name, name);
    if (last < 0)
        return int(list.size());
    if (last == 0) {
        found = true;
        return int(list.size()) - 1;
    }
    int low = 0;
    int high = int(list.size()) - 1; // the last entry is known to be greater
    while (low < high) {
        const int mid = low + (high - low) / 2;
        const int c = CompareNames(list[size_t(mid)]->Name, name);
        if (c < 0) {
            low = mid + 1;
        } else if (c > 0) {
            high = mid;
        } else {
            found = true;
            return mid;
        }
    }
    return low;
}

// Fills an empty list from a file. Records are taken in file order and sorted once at the
// end: a file in catalogue order (as the writers emit it) costs one comparison a record,
// any other order O(n log n) rather than a shift of the list at every insertion.
// Duplicates are found after sorting; the one reported is the first record that, in file
// order, repeats an earlier name, as inserting one by one would have found it.
template <typename T> class TLoadingList
{
public:
    explicit TLoadingList(std::vector<std::unique_ptr<T>>& list) : FList(list) {}
    TLoadingList(const TLoadingList&) = delete;
    TLoadingList& operator=(const TLoadingList&) = delete;

    // Runs read for each of count records; on a repeated name throws message with the
    // name. A read that fails after a repeat reports the repeat, which came first in the
    // file. On any failure the list is left empty.
    template <typename Read> void Load(qint32 count, Read read, const char* message)
    {
        try {
            for (qint32 i = 0; i < count; ++i)
                Add(read());
        } catch (...) {
            const std::optional<QString> repeat = Finish();
            FList.clear();
            if (repeat)
                throw EConvError(QString::fromLatin1(message).arg(*repeat));
            throw;
        }
        if (const std::optional<QString> repeat = Finish()) {
            FList.clear();
            throw EConvError(QString::fromLatin1(message).arg(*repeat));
        }
    }

private:
    void Add(std::unique_ptr<T> item)
    {
        if (FSorted && !FList.empty() && CompareNames(FList.back()->Name, item->Name) >= 0)
            FSorted = false;
        FList.push_back(std::move(item));
    }

    // Sorts the list; gives the name of the first repeat in file order, if there is one.
    std::optional<QString> Finish()
    {
        if (FSorted)
            return std::nullopt;
        FSorted = true;
        const size_t count = FList.size();
        std::vector<size_t> order(count);
        for (size_t i = 0; i < count; ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [this](size_t a, size_t b) { return CompareNames(FList[a]->Name, FList[b]->Name) < 0; });
        // The sort is stable, so within a run of equal names file order holds.
        size_t repeat = count;
        for (size_t k = 1; k < count; ++k) {
            if (CompareNames(FList[order[k - 1]]->Name, FList[order[k]]->Name) == 0)
                repeat = std::min(repeat, order[k]);
        }
        if (repeat < count)
            return FList[repeat]->Name;
        std::vector<std::unique_ptr<T>> sorted;
        sorted.reserve(count);
        for (size_t i : order)
            sorted.push_back(std::move(FList[i]));
        FList.swap(sorted);
        return std::nullopt;
    }

    std::vector<std::unique_ptr<T>>& FList;
    bool FSorted = true;
};

template <typename List, typename T> int PositionOfObject(const List& list, const T* object)
{
    if (object == nullptr)
        return -1;
    bool found = false;
    const int at = SearchSorted(list, object->Name, found);
    if (found && list[size_t(at)].get() == object)
        return at;
    // Names that clash after an unchecked Rename: fall back to identity.
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == object)
            return int(i);
    }
    return -1;
}

} // namespace

EConvError::EConvError(const QString& message) : std::runtime_error(message.toStdString()), FMessage(message) {}

int CompareNames(const QString& a, const QString& b)
{
    return Collation().Compare(a, b);
}

void SetNamesLocale(const QLocale& locale)
{
    Collation().Use(locale);
}

// ---------------------------------------------------------------------------------------

TDataReader::TDataReader(QIODevice& stream) : FStream(stream)
{
    if (!stream.isSequential())
        FEnd = stream.size();
}

qint64 TDataReader::Remaining() const
{
    if (FEnd < 0)
        return -1;
    return std::max<qint64>(0, FEnd - FStream.pos());
}

void TDataReader::ReadExactly(char* data, qint64 count)
{
    while (count > 0) {
        const qint64 got = FStream.read(data, count);
        if (got <= 0)
            ThrowInvalidFile();
        data += got;
        count -= got;
    }
}

QByteArray TDataReader::ReadBytes(qint64 count)
{
    const qint64 remaining = Remaining();
    if (remaining >= 0) {
        if (count > remaining)
            ThrowInvalidFile();
        QByteArray bytes(count, Qt::Uninitialized);
        ReadExactly(bytes.data(), count);
        return bytes;
    }
    // Size unknown: grow only by what really arrives.
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray bytes;
    while (bytes.size() < count) {
        const qint64 piece = std::min(kPiece, count - bytes.size());
        const qsizetype at = bytes.size();
        bytes.resize(at + piece);
        ReadExactly(bytes.data() + at, piece);
    }
    return bytes;
}

quint8 TDataReader::ReadByte()
{
    char c = 0;
    ReadExactly(&c, 1);
    return static_cast<quint8>(c);
}

qint32 TDataReader::ReadInt32()
{
    char raw[4];
    ReadExactly(raw, sizeof raw);
    return qFromLittleEndian<qint32>(raw);
}

double TDataReader::ReadDouble()
{
    char raw[8];
    ReadExactly(raw, sizeof raw);
    return std::bit_cast<double>(qFromLittleEndian<quint64>(raw));
}

void TDataReader::Skip(qint64 count)
{
    char scratch[64];
    while (count > 0) {
        const qint64 piece = std::min<qint64>(count, sizeof scratch);
        ReadExactly(scratch, piece);
        count -= piece;
    }
}

QString TDataReader::ReadName()
{
    const qint32 length = ReadInt32();
    if (length <= 0)
        ThrowInvalidFile();
    const qint64 remaining = Remaining();
    if (remaining >= 0 && length > remaining)
        ThrowInvalidFile();
    char small[256];
    if (length <= qint32(sizeof small)) {
        ReadExactly(small, length);
        return Win1252::Decode(QByteArrayView(small, length));
    }
    return Win1252::Decode(ReadBytes(length));
}

void TDataWriter::WriteBytes(const QByteArray& bytes)
{
    if (FStream.write(bytes) != bytes.size())
        throw EConvError(QString::fromLatin1(kWriteFailed));
}

void TDataWriter::WriteInt32(qint32 value)
{
    char raw[4];
    qToLittleEndian<qint32>(value, raw);
    if (FStream.write(raw, sizeof raw) != qint64(sizeof raw))
        throw EConvError(QString::fromLatin1(kWriteFailed));
}

void TDataWriter::WriteDouble(double value)
{
    char raw[8];
    qToLittleEndian<quint64>(std::bit_cast<quint64>(value), raw);
    if (FStream.write(raw, sizeof raw) != qint64(sizeof raw))
        throw EConvError(QString::fromLatin1(kWriteFailed));
}

void TDataWriter::WriteName(const QString& name)
{
    // An empty name, or one whose characters would turn into '?', could not be read back
    // as the same name (and might clash with another): refuse it rather than store it.
    if (name.isEmpty() || !Win1252::CanEncode(name))
        throw EConvError(QString::fromLatin1(kNameNotStorable).arg(name));
    const QByteArray bytes = Win1252::Encode(name);
    WriteInt32(qint32(bytes.size()));
    WriteBytes(bytes);
}

// ---------------------------------------------------------------------------------------

TConvUnit::TConvUnit(TConvCategory* category) : Category(category) {}

std::unique_ptr<TConvUnit> TConvUnit::CreateFromStream(TConvCategory* category, QIODevice& stream)
{
    TDataReader reader(stream);
    return CreateFromStream(category, reader);
}

std::unique_ptr<TConvUnit> TConvUnit::CreateFromStream(TConvCategory* category, TDataReader& reader)
{
    auto unit = std::make_unique<TConvUnit>(category);
    unit->Name = reader.ReadName();
    unit->Factor = reader.ReadDouble();
    return unit;
}

void TConvUnit::Assign(const TConvUnit& source)
{
    Factor = source.Factor;
    Name = source.Name;
    Custom = source.Custom;
}

void TConvUnit::Rename(const QString& newName)
{
    const int at = Category != nullptr ? Category->PositionOf(this) : -1;
    if (at < 0) {
        Name = newName;
        return;
    }
    auto& units = Category->FUnits;
    std::unique_ptr<TConvUnit> self = std::move(units[size_t(at)]);
    units.erase(units.begin() + at);
    Name = newName;
    bool found = false;
    const int to = Category->Search(newName, found);
    units.insert(units.begin() + to, std::move(self));
}

void TConvUnit::WriteToStream(QIODevice& stream) const
{
    TDataWriter writer(stream);
    WriteToStream(writer);
}

void TConvUnit::WriteToStream(TDataWriter& writer) const
{
    writer.WriteName(Name);
    writer.WriteDouble(Factor);
}

// ---------------------------------------------------------------------------------------

TConvCategory::TConvCategory(TConvCategories* catalogue) : Catalogue(catalogue) {}

TConvCategory::~TConvCategory() = default;

std::unique_ptr<TConvCategory> TConvCategory::CreateFromStream(TConvCategories* catalogue, QIODevice& stream,
                                                               bool custom)
{
    TDataReader reader(stream);
    return CreateFromStream(catalogue, reader, custom);
}

std::unique_ptr<TConvCategory> TConvCategory::CreateFromStream(TConvCategories* catalogue, TDataReader& reader,
                                                               bool custom)
{
    auto category = std::make_unique<TConvCategory>(catalogue);
    category->LoadFromStream(reader, custom);
    return category;
}

int TConvCategory::Search(const QString& name, bool& found) const
{
    return SearchSorted(FUnits, name, found);
}

int TConvCategory::PositionOf(const TConvUnit* unit) const
{
    return PositionOfObject(FUnits, unit);
}

int TConvCategory::IndexOfUnit(const QString& name) const
{
    bool found = false;
    const int at = Search(name, found);
    return found ? at : -1;
}

TConvUnit* TConvCategory::AddUnit(const QString& name, bool custom, double factor)
{
    bool found = false;
    const int at = Search(name, found);
    if (found)
        throw EConvError(QString::fromLatin1(kUnitExists).arg(name));
    auto unit = std::make_unique<TConvUnit>(this);
    unit->Name = name;
    unit->Custom = custom;
    unit->Factor = factor;
    TConvUnit* result = unit.get();
    FUnits.insert(FUnits.begin() + at, std::move(unit));
    return result;
}

TConvUnit* TConvCategory::InsertUnit(std::unique_ptr<TConvUnit>& unit)
{
    if (!unit)
        throw std::invalid_argument("InsertUnit: no unit");
    bool found = false;
    const int at = Search(unit->Name, found);
    if (found)
        throw EConvError(QString::fromLatin1(kUnitExists).arg(unit->Name));
    unit->Category = this;
    TConvUnit* result = unit.get();
    FUnits.insert(FUnits.begin() + at, std::move(unit));
    return result;
}

void TConvCategory::MergeUnits(const TConvCategory& source)
{
    if (&source == this)
        return; // every name is already present
    for (const auto& unit : source.FUnits) {
        if (IndexOfUnit(unit->Name) < 0)
            AddUnit(unit->Name)->Assign(*unit);
    }
}

void TConvCategory::DeleteUnit(int index, bool dropIfEmpty)
{
    if (index < 0 || index >= UnitCount())
        throw std::out_of_range("DeleteUnit: index out of range");
    FUnits.erase(FUnits.begin() + index);
    if (dropIfEmpty && FUnits.empty() && Catalogue != nullptr) {
        // Destroys this object when the catalogue holds it; nothing may follow.
        Catalogue->RemoveCategory(this);
    }
}

void TConvCategory::RemoveUnit(TConvUnit* unit, bool dropIfEmpty)
{
    // By identity: a unit of another category, or one sharing its name after an unchecked
    // Rename, must not take a different unit with it.
    const int at = PositionOf(unit);
    if (at >= 0)
        DeleteUnit(at, dropIfEmpty);
}

void TConvCategory::LoadFromStream(QIODevice& stream, bool custom)
{
    TDataReader reader(stream);
    LoadFromStream(reader, custom);
}

void TConvCategory::LoadFromStream(TDataReader& reader, bool custom)
{
    Name = reader.ReadName();
    const qint32 count = reader.ReadInt32();
    if (FUnits.empty()) {
        TLoadingList<TConvUnit>(FUnits).Load(
            count,
            [&] {
                std::unique_ptr<TConvUnit> unit = TConvUnit::CreateFromStream(this, reader);
                unit->Custom = custom;
                return unit;
            },
            kUnitExists);
    } else {
        for (qint32 i = 0; i < count; ++i) {
            std::unique_ptr<TConvUnit> unit = TConvUnit::CreateFromStream(this, reader);
            InsertUnit(unit)->Custom = custom;
        }
    }
    IsTemperature = CompareNames(Name, QStringLiteral("Temperature")) == 0;
}

void TConvCategory::SaveToStream(QIODevice& stream, TUnitFilter filter) const
{
    TDataWriter writer(stream);
    SaveToStream(writer, filter);
}

void TConvCategory::SaveToStream(TDataWriter& writer, TUnitFilter filter) const
{
    const auto count =
        std::count_if(FUnits.begin(), FUnits.end(), [filter](const auto& unit) { return Selects(*unit, filter); });
    if (count == 0)
        return;
    writer.WriteName(Name);
    writer.WriteInt32(qint32(count));
    for (const auto& unit : FUnits) {
        if (Selects(*unit, filter))
            unit->WriteToStream(writer);
    }
}

// ---------------------------------------------------------------------------------------

TConvCategories::TConvCategories() = default;

TConvCategories::~TConvCategories() = default;

int TConvCategories::Search(const QString& name, bool& found) const
{
    return SearchSorted(FCategories, name, found);
}

int TConvCategories::PositionOf(const TConvCategory* category) const
{
    return PositionOfObject(FCategories, category);
}

int TConvCategories::IndexOf(const QString& name) const
{
    bool found = false;
    const int at = Search(name, found);
    return found ? at : -1;
}

TConvCategory* TConvCategories::FindCategory(const QString& name) const
{
    const int at = IndexOf(name);
    return at < 0 ? nullptr : FCategories[size_t(at)].get();
}

TConvCategory* TConvCategories::AddCategory(const QString& name)
{
    bool found = false;
    const int at = Search(name, found);
    if (found)
        throw EConvError(QString::fromLatin1(kCategoryExists).arg(name));
    auto category = std::make_unique<TConvCategory>(this);
    category->Name = name;
    TConvCategory* result = category.get();
    FCategories.insert(FCategories.begin() + at, std::move(category));
    return result;
}

TConvCategory* TConvCategories::InsertCategory(std::unique_ptr<TConvCategory>& category)
{
    if (!category)
        throw std::invalid_argument("InsertCategory: no category");
    bool found = false;
    const int at = Search(category->Name, found);
    if (found)
        throw EConvError(QString::fromLatin1(kCategoryExists).arg(category->Name));
    category->Catalogue = this;
    TConvCategory* result = category.get();
    FCategories.insert(FCategories.begin() + at, std::move(category));
    return result;
}

void TConvCategories::DeleteCategory(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("DeleteCategory: index out of range");
    // Take the entry out before the category dies, so that nothing reaches a half-removed
    // list from its destructor.
    std::unique_ptr<TConvCategory> doomed = std::move(FCategories[size_t(index)]);
    FCategories.erase(FCategories.begin() + index);
}

void TConvCategories::RemoveCategory(TConvCategory* category)
{
    const int at = PositionOf(category);
    if (at >= 0)
        DeleteCategory(at);
}

void TConvCategories::Clear()
{
    std::vector<std::unique_ptr<TConvCategory>> doomed;
    doomed.swap(FCategories);
}

void TConvCategories::Merge(const TConvCategories& source)
{
    if (&source == this)
        return;
    for (const auto& category : source.FCategories) {
        TConvCategory* target = FindCategory(category->Name);
        if (target == nullptr)
            target = AddCategory(category->Name);
        target->MergeUnits(*category);
    }
}

void TConvCategories::LoadFromStream(QIODevice& stream, bool custom)
{
    TDataReader reader(stream);
    LoadFromStream(reader, custom);
}

void TConvCategories::LoadFromStream(TDataReader& reader, bool custom)
{
    try {
        const qint32 count = reader.ReadInt32();
        if (FCategories.empty()) {
            TLoadingList<TConvCategory>(FCategories)
                .Load(
                    count, [&] { return TConvCategory::CreateFromStream(this, reader, custom); }, kCategoryExists);
        } else {
            for (qint32 i = 0; i < count; ++i) {
                std::unique_ptr<TConvCategory> category = TConvCategory::CreateFromStream(this, reader, custom);
                InsertCategory(category);
            }
        }
    } catch (...) {
        Clear();
        throw;
    }
}

void TConvCategories::SaveToStream(QIODevice& stream, TUnitFilter filter) const
{
    TDataWriter writer(stream);
    SaveToStream(writer, filter);
}

void TConvCategories::SaveToStream(TDataWriter& writer, TUnitFilter filter) const
{
    const auto selected = [filter](const std::unique_ptr<TConvCategory>& category) {
        for (int i = 0; i < category->UnitCount(); ++i) {
            if (Selects(*category->Units(i), filter))
                return true;
        }
        return false;
    };
    writer.WriteInt32(qint32(std::count_if(FCategories.begin(), FCategories.end(), selected)));
    for (const auto& category : FCategories)
        category->SaveToStream(writer, filter);
}
