#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Names in units.dat, custom.dat and terms.dat are 8-bit Windows-1252 text. Every byte
// maps to one character and back (the five bytes the code page leaves unassigned map to
// the C1 controls of the same value), so a file read and written again is unchanged.
namespace Win1252 {

QString Decode(QByteArrayView bytes);

// Characters outside the code page become '?'; CanEncode tells beforehand.
QByteArray Encode(const QString& text);
bool CanEncode(const QString& text);

} // namespace Win1252
