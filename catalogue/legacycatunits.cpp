#include "legacycatunits.h"

#include "CatUnits.h"
#include "CatalogueFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <array>
#include <stdexcept>

namespace {

void OpenExisting(QFile& file)
{
    // Both files must exist and be writable before either is touched; ExistingOnly keeps
    // the check from creating a missing file.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw EConvError(
            QString::fromLatin1(kCannotOpenFile).arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

// Replaces the file as a whole: the old content stays until the new one is complete.
void Replace(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EConvError(
            QString::fromLatin1(kCannotCreateFile).arg(QDir::toNativeSeparators(path), file.errorString()));
}

// Converts the open file into new content; false when it is not in the old layout.
bool ConvertFile(QFile& file, QByteArray& converted, TConvCategories& cats, TCatIDs& catIDs, bool custom)
{
    QBuffer output(&converted);
    output.open(QIODevice::WriteOnly);
    return ConvertLegacyStream(file, output, &cats, &catIDs, custom);
}

} // namespace

bool ConvertLegacyStream(QIODevice& stream, QIODevice& output, TConvCategories* cats, TCatIDs* catIDs, bool custom)
{
    if (cats == nullptr)
        throw std::invalid_argument("Cats cannot be nil");
    if (catIDs == nullptr)
        throw std::invalid_argument("CatIDs cannot be nil");

    if (stream.read(2) != QByteArrayLiteral("10"))
        return false;
    TDataReader reader(stream);

    if (!custom) {
        const qint32 count = reader.ReadInt32();
        for (qint32 i = 0; i < count; ++i) {
            const int number = reader.ReadByte();
            const QString name = reader.ReadName();
            cats->AddCategory(name);
            catIDs->append(qMakePair(name, number));
        }
    }

    // The category of each number: the first pair that has it.
    std::array<int, 256> pairOfNumber;
    pairOfNumber.fill(-1);
    for (qsizetype i = catIDs->size() - 1; i >= 0; --i) {
        const int number = catIDs->at(i).second;
        if (number >= 0 && number < int(pairOfNumber.size()))
            pairOfNumber[size_t(number)] = int(i);
    }

    const qint32 count = reader.ReadInt32();
    for (qint32 i = 0; i < count; ++i) {
        reader.Skip(2);
        const int number = reader.ReadByte();
        const QString name = reader.ReadName();
        const double factor = reader.ReadDouble();
        const int pair = pairOfNumber[size_t(number)];
        if (pair < 0)
            continue; // a unit of a category the table does not have
        TConvCategory* category = cats->FindCategory(catIDs->at(pair).first);
        if (category != nullptr)
            category->AddUnit(name, custom, factor);
    }

    TDataWriter writer(output);
    writer.WriteBytes(QByteArrayLiteral("11"));
    cats->SaveToStream(writer, custom ? TUnitFilter::ufCustom : TUnitFilter::ufAll);
    return true;
}

bool ConvertLegacyFiles(const QString& unitsPath, const QString& customPath)
{
    QFile units(unitsPath);
    QFile custom(customPath);
    OpenExisting(units);
    OpenExisting(custom);

    TConvCategories cats;
    TCatIDs catIDs;

    QByteArray converted;
    if (!ConvertFile(units, converted, cats, catIDs, false))
        return false;
    units.close();
    Replace(unitsPath, converted);

    converted.clear();
    if (!ConvertFile(custom, converted, cats, catIDs, true))
        return false;
    custom.close();
    Replace(customPath, converted);
    return true;
}
