#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QIODevice;
class TConvCategories;

// Category name and its number in the old layout, in file order.
using TCatIDs = QList<QPair<QString, int>>;

// Rewrites both files of the old layout ("10") in the current one. False when a file is
// not in the old layout; EConvError when either file cannot be opened for reading and
// writing (then neither is changed), for unreadable content or duplicate names. Each file
// is replaced as a whole, and only after it was read completely; units.dat is replaced
// before custom.dat is read, so a failure there leaves units.dat converted.
bool ConvertLegacyFiles(const QString& unitsPath, const QString& customPath);

// Converts one file's content: reads it from stream and, on success, writes the new
// content ("11" and the records) to output. cats and catIDs carry the categories from the
// units.dat pass (custom false) to the custom.dat pass (custom true). Throws
// std::invalid_argument for a missing cats or catIDs.
bool ConvertLegacyStream(QIODevice& stream, QIODevice& output, TConvCategories* cats, TCatIDs* catIDs, bool custom);
