#include "CatalogueFiles.h"

#include "legacycatunits.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <stdexcept>

namespace {

const QByteArray kCurrentMark = QByteArrayLiteral("11");

QString UnitsPath(const QString& dataFolder)
{
    return dataFolder + QStringLiteral("units.dat");
}

QString CustomPath(const QString& dataFolder)
{
    return dataFolder + QStringLiteral("custom.dat");
}

void OpenForReading(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw EConvError(
            QString::fromLatin1(kCannotOpenFile).arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

// The first two bytes; fewer when the file is shorter.
QByteArray ReadMark(QFile& file)
{
    return file.read(2);
}

void LoadCatalogueSteps(TConvCategories& catalogue, const QString& dataFolder, bool readOnly, TLoadResult& result)
{
    {
        QFile units(UnitsPath(dataFolder));
        OpenForReading(units);
        const QByteArray mark = ReadMark(units);
        if (mark != kCurrentMark) {
            if (readOnly) {
                result.Ok = false;
                result.Message = QString::fromLatin1(kReadOnlyOutOfDate);
                return;
            }
            // Only the old layout can be converted; for anything else the conversion would
            // first complain about custom.dat, which is not what is wrong.
            if (mark != QByteArrayLiteral("10"))
                throw EConvError(QString::fromLatin1(kInvalidDataFile));
            units.close();
            if (!ConvertLegacyFiles(UnitsPath(dataFolder), CustomPath(dataFolder)))
                throw EConvError(QString::fromLatin1(kInvalidDataFile));
            OpenForReading(units);
            if (ReadMark(units) != kCurrentMark)
                throw EConvError(QString::fromLatin1(kInvalidDataFile));
        }
        catalogue.LoadFromStream(units, false);
    }

    QFile custom(CustomPath(dataFolder));
    if (!custom.open(QIODevice::ReadOnly))
        return; // no units of the user's own yet
    if (ReadMark(custom) != kCurrentMark)
        throw EConvError(QString::fromLatin1(kInvalidDataFile));
    TConvCategories customUnits;
    customUnits.LoadFromStream(custom, true);
    custom.close();
    catalogue.Merge(customUnits);
}

} // namespace

TLoadResult LoadCatalogueFiles(TConvCategories& catalogue, const QString& dataFolder, bool readOnly)
{
    TLoadResult result;
    catalogue.Clear();
    try {
        LoadCatalogueSteps(catalogue, dataFolder, readOnly, result);
    } catch (const EConvError& error) {
        result.Ok = false;
        result.Message = QString::fromLatin1(kErrorOpeningDataFile) + QLatin1Char('\r') + error.Message();
    } catch (const std::exception& error) {
        result.Ok = false;
        result.Message =
            QString::fromLatin1(kErrorOpeningDataFile) + QLatin1Char('\r') + QString::fromLocal8Bit(error.what());
    }
    return result;
}

QByteArray CustomUnitsBytes(const TConvCategories& catalogue)
{
    QByteArray bytes = kCurrentMark;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    catalogue.SaveToStream(buffer, TUnitFilter::ufCustom);
    buffer.close();
    return bytes;
}

void SaveCustomUnits(const TConvCategories& catalogue, const QString& dataFolder)
{
    // The whole content first: a name that cannot be stored must not leave a half file.
    const QByteArray bytes = CustomUnitsBytes(catalogue);
    QSaveFile file(CustomPath(dataFolder));
    if (!file.open(QIODevice::WriteOnly))
        throw EConvError(
            QString::fromLatin1(kCannotCreateFile).arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EConvError(
            QString::fromLatin1(kCannotCreateFile).arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}
