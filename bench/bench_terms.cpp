// Cost of reading a glossary of 20,000 terms (about 5 MB) with ReadTerms, against a baseline
// measured in the same run on the same bytes: find every 0x01 with memchr and decode each
// field from the code page, building nothing. The reader does that work plus the piece
// reads, the number parsing and the table; goal: at most three times the baseline.
// Also times a device that hands out short reads. Prints medians and ratios.
//
//   bench_terms [repetitions]      (default 51)

#include "TermsFile.h"
#include "Win1252.h"

#include "BenchUtil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kTermCount = 20000;

// Names built from syllables, with a few code page characters above 0x7F.
QByteArray RandomWords(QRandomGenerator& random, int words)
{
    static const char* const syllables[] = {"ac",      "bar",  "cen",      "dyn",  "er",   "fo",  "gal", "hec",
                                            "in",      "kil",  "lum",      "me",   "new",  "oh",  "pas", "rad",
                                            "sec",     "ter",  "ul",       "wat",  "xe",   "zet", "mil", "nan",
                                            "caf\xE9", "\x80", "na\xEFve", "\x96", "volt", "joul"};
    QByteArray text;
    for (int w = 0; w < words; ++w) {
        if (w > 0)
            text += ' ';
        const int count = 2 + int(random.bounded(3));
        for (int s = 0; s < count; ++s)
            text += syllables[random.bounded(int(std::size(syllables)))];
    }
    return text;
}

// The layout the writer produces: number, term, definition, each ended by 0x01. Definitions
// of about 200 bytes, some with a line break, as the start-up benchmark's large set has.
QByteArray BuildFile()
{
    QRandomGenerator random(20240611);
    QByteArray bytes;
    for (int t = 1; t <= kTermCount; ++t) {
        QByteArray definition;
        while (definition.size() < 200) {
            definition += RandomWords(random, 3) + ". ";
            if (random.bounded(8) == 0)
                definition += "\r\n";
        }
        bytes += QByteArray::number(t);
        bytes += '\x01';
        bytes += RandomWords(random, 1 + int(random.bounded(2)));
        bytes += '\x01';
        bytes += definition;
        bytes += '\x01';
    }
    return bytes;
}

// Every field found with memchr and decoded; returns the characters decoded.
qint64 ScanAndDecode(const QByteArray& bytes)
{
    qint64 characters = 0;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while (const char* separator = static_cast<const char*>(std::memchr(p, 0x01, std::size_t(end - p)))) {
        characters += Win1252::Decode(QByteArrayView(p, separator - p)).size();
        p = separator + 1;
    }
    return characters;
}

// Hands out at most 64 bytes per read, as a pipe may.
class TShortReadDevice : public QIODevice
{
public:
    explicit TShortReadDevice(const QByteArray& data) : FData(data) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>({maxSize, 64, FData.size() - FPos});
        std::memcpy(data, FData.constData() + FPos, std::size_t(count));
        FPos += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray& FData;
    qint64 FPos = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;

    const QByteArray bytes = BuildFile();
    volatile qint64 sink = 0;

    TTermTable table;
    const auto clear = [&] { table.Clear(); };
    const auto readFrom = [&](QIODevice& device) {
        ReadTerms(device, table);
        sink = sink + qint64(table.Size());
    };

    // Interleaved passes would be fairer under load, but each pass is long enough (several
    // milliseconds) that the median settles; the baseline goes first and last to show drift.
    const double baselineUs = MedianMicroseconds(repetitions, [&] { sink = sink + ScanAndDecode(bytes); });
    const double bufferUs = MedianMicroseconds(
        repetitions,
        [&] {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            readFrom(buffer);
        },
        clear);
    const double shortUs = MedianMicroseconds(
        repetitions,
        [&] {
            TShortReadDevice device(bytes);
            readFrom(device);
        },
        clear);
    const double baselineAgainUs = MedianMicroseconds(repetitions, [&] { sink = sink + ScanAndDecode(bytes); });
    const double baselineBest = std::min(baselineUs, baselineAgainUs);

    // A check that the reader read what was built, so a broken reader cannot look fast.
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        ReadTerms(buffer, table);
        if (table.Entries().size() != std::size_t(kTermCount) || table.Term(kTermCount).Definition.isEmpty()) {
            std::fprintf(stderr, "ReadTerms did not read the %d terms\n", kTermCount);
            return 1;
        }
    }

    std::printf("terms.dat: %d terms, %lld bytes; median of %d runs\n", kTermCount,
                static_cast<long long>(bytes.size()), repetitions);
    std::printf("  %-46s %9s     %s\n", "", "median", "vs baseline");
    std::printf("  %-46s %9.1f us  (again %.1f us)\n", "baseline: memchr + Win1252::Decode per field", baselineUs,
                baselineAgainUs);
    Report("ReadTerms from a QBuffer", bufferUs, baselineBest);
    Report("ReadTerms, device giving 64-byte reads", shortUs, baselineBest);
    const double ratio = bufferUs / baselineBest;
    std::printf("  goal: ReadTerms at most 3x the baseline: %s\n", ratio <= 3.0 ? "met" : "NOT MET");
    return 0;
}
