// Loading time of a large units.dat (10,000 units in 100 categories), beside baselines
// measured in the same run: reading and decoding the same bytes without building a
// catalogue, and sorting the same names with the catalogue's comparison.
//
// Usage: bench_catalogue [repetitions]   (LC_ALL chooses the collation that is measured)

#include "CatUnits.h"
#include "CatalogueFiles.h"
#include "Win1252.h"

#include "BenchUtil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kCategories = 100;
constexpr int kUnitsPerCategory = 100;

const char* const kWords[] = {"metre",  "foot",   "Pascal", "gallon", "Bar",   "second", "Joule",
                              "ounce",  "league", "Knot",   "Watt",   "tonne", "Hertz",  "acre",
                              "radian", "Litre",  "degree", "pound",  "Volt",  "candela"};

QString UnitName(int category, int unit)
{
    // Mixed case and shared prefixes, like real unit names.
    const int w = (unit * 7 + category) % int(std::size(kWords));
    return QStringLiteral("%1 %2-%3").arg(QLatin1String(kWords[w])).arg(unit).arg(category);
}

// The file as the writers emit it (catalogue order), or with every list shuffled.
QByteArray BuildFile(bool shuffled)
{
    std::vector<int> categoryOrder(kCategories);
    std::vector<int> unitOrder(kUnitsPerCategory);
    for (int i = 0; i < kCategories; ++i)
        categoryOrder[size_t(i)] = i;
    for (int i = 0; i < kUnitsPerCategory; ++i)
        unitOrder[size_t(i)] = i;

    TConvCategories catalogue;
    QRandomGenerator random(42);
    if (shuffled)
        std::shuffle(categoryOrder.begin(), categoryOrder.end(), random);
    // The catalogue's writer always emits catalogue order; a shuffled file is written field
    // by field.
    QByteArray bytes = QByteArrayLiteral("11");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    TDataWriter writer(buffer);
    if (!shuffled) {
        for (int c : categoryOrder) {
            TConvCategory* category = catalogue.AddCategory(QStringLiteral("Category %1").arg(c));
            for (int u : unitOrder)
                category->AddUnit(UnitName(c, u), false, 1.0 + u * 0.37);
        }
        catalogue.SaveToStream(writer, TUnitFilter::ufAll);
        return bytes;
    }
    writer.WriteInt32(kCategories);
    for (int c : categoryOrder) {
        writer.WriteName(QStringLiteral("Category %1").arg(c));
        writer.WriteInt32(kUnitsPerCategory);
        std::shuffle(unitOrder.begin(), unitOrder.end(), random);
        for (int u : unitOrder) {
            writer.WriteName(UnitName(c, u));
            writer.WriteDouble(1.0 + u * 0.37);
        }
    }
    return bytes;
}

// Walks the records and decodes every name, as the reader does, but builds nothing.
qint64 DecodeOnly(const QByteArray& bytes)
{
    const char* p = bytes.constData() + 2;
    auto int32 = [&p] {
        const qint32 v = qFromLittleEndian<qint32>(p);
        p += 4;
        return v;
    };
    qint64 characters = 0;
    const qint32 categories = int32();
    for (qint32 c = 0; c < categories; ++c) {
        qint32 length = int32();
        characters += Win1252::Decode(QByteArrayView(p, length)).size();
        p += length;
        const qint32 units = int32();
        for (qint32 u = 0; u < units; ++u) {
            length = int32();
            characters += Win1252::Decode(QByteArrayView(p, length)).size();
            p += length + 8;
        }
    }
    return characters;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 101;

    const QByteArray sorted = BuildFile(false);
    const QByteArray shuffled = BuildFile(true);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        QFile file(folder + QStringLiteral("units.dat"));
        if (!file.open(QIODevice::WriteOnly) || file.write(sorted) != sorted.size())
            return 1;
    }

    std::vector<QString> names;
    for (int c = 0; c < kCategories; ++c) {
        for (int u = 0; u < kUnitsPerCategory; ++u)
            names.push_back(UnitName(c, u));
    }

    volatile qint64 sink = 0;
    const double decodeUs = MedianMicroseconds(repetitions, [&] {
        QFile file(folder + QStringLiteral("units.dat"));
        file.open(QIODevice::ReadOnly);
        sink = sink + DecodeOnly(file.readAll());
    });
    const double sortUs = MedianMicroseconds(repetitions, [&] {
        std::vector<QString> copy = names;
        // Per category, as the lists are kept.
        for (int c = 0; c < kCategories; ++c) {
            auto first = copy.begin() + c * kUnitsPerCategory;
            std::sort(first, first + kUnitsPerCategory,
                      [](const QString& a, const QString& b) { return CompareNames(a, b) < 0; });
        }
        sink = sink + copy.front().size();
    });
    // Loading only: destroying the catalogue again is not timed.
    TConvCategories catalogue;
    const auto clear = [&] { catalogue.Clear(); };
    const double fileUs = MedianMicroseconds(
        repetitions,
        [&] {
            const TLoadResult result = LoadCatalogueFiles(catalogue, folder, true);
            sink = sink + (result.Ok ? catalogue.Count() : -1);
        },
        clear);
    auto streamLoad = [&](const QByteArray& bytes) {
        return MedianMicroseconds(
            repetitions,
            [&] {
                QByteArray copy = bytes;
                QBuffer buffer(&copy);
                buffer.open(QIODevice::ReadOnly);
                buffer.seek(2);
                catalogue.LoadFromStream(buffer, false);
                sink = sink + catalogue.Count();
            },
            clear);
    };
    const double sortedUs = streamLoad(sorted);
    const double shuffledUs = streamLoad(shuffled);

    std::printf("units.dat: %d categories, %d units, %lld bytes; locale %s; median of %d runs\n", kCategories,
                kCategories * kUnitsPerCategory, static_cast<long long>(sorted.size()),
                qPrintable(QLocale::system().name()), repetitions);
    std::printf("  %-46s %9s     %s\n", "", "median", "vs read+decode");
    Report("baseline: read file + decode names", decodeUs, decodeUs);
    Report("baseline: sort the names (CompareNames)", sortUs, decodeUs);
    Report("LoadCatalogueFiles (units.dat from disk)", fileUs, decodeUs);
    Report("LoadFromStream, file in catalogue order", sortedUs, decodeUs);
    Report("LoadFromStream, file in shuffled order", shuffledUs, decodeUs);
    return 0;
}
