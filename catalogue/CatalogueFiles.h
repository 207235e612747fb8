#pragma once

#include "CatUnits.h"

#include <QByteArray>
#include <QString>

// The operations on units.dat and custom.dat in the data folder, without any window: the
// caller shows the message and ends the program on failure.

inline constexpr const char* kErrorOpeningDataFile = "Error opening data file. Please re-install the application.";
inline constexpr const char* kReadOnlyOutOfDate =
    "The data files are marked as read-only or the program has been started in read-only mode. The data "
    "files are out of date and must be updated, but cannot be in read-only mode. Please restart the "
    "application in read/write mode.";
// The failure's own message when a data file cannot be opened or written (path, reason).
inline constexpr const char* kCannotOpenFile = "Cannot open file \"%1\". %2";
inline constexpr const char* kCannotCreateFile = "Cannot create file \"%1\". %2";

struct TLoadResult
{
    bool Ok = true;
    // The complete text to show: kReadOnlyOutOfDate, or kErrorOpeningDataFile + "\r" + the
    // failure's own message.
    QString Message;
};

// Empties the catalogue and fills it from dataFolder + "units.dat" and "custom.dat",
// converting files of the old layout unless readOnly. dataFolder ends with a separator.
TLoadResult LoadCatalogueFiles(TConvCategories& catalogue, const QString& dataFolder, bool readOnly);

// Writes dataFolder + "custom.dat" with the custom units only, replacing the old file
// atomically. Throws EConvError with a readable message when the file cannot be written.
void SaveCustomUnits(const TConvCategories& catalogue, const QString& dataFolder);

// The exact content SaveCustomUnits writes: the version mark and the custom units.
QByteArray CustomUnitsBytes(const TConvCategories& catalogue);
