#pragma once

// Byte builders for unit data file fixtures, so that every test states its file exactly.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QtEndian>

#include <bit>

namespace Bytes {

inline QByteArray I32(qint32 value)
{
    char raw[4];
    qToLittleEndian<qint32>(value, raw);
    return QByteArray(raw, 4);
}

inline QByteArray F64(double value)
{
    char raw[8];
    qToLittleEndian<quint64>(std::bit_cast<quint64>(value), raw);
    return QByteArray(raw, 8);
}

// A length-prefixed name; the bytes are taken as they are (Windows-1252).
inline QByteArray Name(const QByteArray& name)
{
    return I32(qint32(name.size())) + name;
}

inline QByteArray Unit(const QByteArray& name, double factor)
{
    return Name(name) + F64(factor);
}

inline QByteArray Category(const QByteArray& name, const QList<QByteArray>& units)
{
    QByteArray out = Name(name) + I32(qint32(units.size()));
    for (const QByteArray& unit : units)
        out += unit;
    return out;
}

// A file of the current layout: "11", the count and the records.
inline QByteArray File(const QList<QByteArray>& categories)
{
    QByteArray out = QByteArrayLiteral("11") + I32(qint32(categories.size()));
    for (const QByteArray& category : categories)
        out += category;
    return out;
}

// Old layout pieces.
inline QByteArray OldCategory(quint8 number, const QByteArray& name)
{
    return QByteArray(1, char(number)) + Name(name);
}

inline QByteArray OldUnit(quint8 number, const QByteArray& name, double factor,
                          const QByteArray& unused = QByteArray(2, '\0'))
{
    return unused + QByteArray(1, char(number)) + Name(name) + F64(factor);
}

inline QByteArray OldUnits(const QList<QByteArray>& categories, const QList<QByteArray>& units)
{
    QByteArray out = QByteArrayLiteral("10") + I32(qint32(categories.size()));
    for (const QByteArray& category : categories)
        out += category;
    out += I32(qint32(units.size()));
    for (const QByteArray& unit : units)
        out += unit;
    return out;
}

inline QByteArray OldCustom(const QList<QByteArray>& units)
{
    QByteArray out = QByteArrayLiteral("10") + I32(qint32(units.size()));
    for (const QByteArray& unit : units)
        out += unit;
    return out;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

} // namespace Bytes
