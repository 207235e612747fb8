#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QIODevice;
class TConvCategories;

// Category name and its number in the old layout, in file order.
using TCatIDs = QList<QPair<QString, int>>;

// Rewrites both files of the old layout ("10") in the current one. False when a file is
// not in the old layout; EConvError for unreadable content or duplicate names. A file is
// replaced only after it was read completely.
bool ConvertLegacyFiles(const QString& unitsPath, const QString& customPath);

// Converts one file's content: reads it from stream and, on success, writes the new
// content to output. Throws std::invalid_argument for a missing cats or catIDs.
bool ConvertLegacyStream(QIODevice& stream, QIODevice& output, TConvCategories* cats, TCatIDs* catIDs, bool custom);
