// Cost of the number formatting and parsing against the standard library's conversions that
// they build on, on the same values in the same run:
//   FormatValue (each notation)  vs  std::to_chars(scientific, 17)
//   ParseValue                   vs  std::from_chars
// Goal: each at most twice its baseline. Prints the time per value and the ratio.

#include "NumberFormat.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kValues = 200000;
constexpr int kRounds = 15;

volatile std::size_t gSink = 0;

double Nanos(const std::function<std::size_t()>& pass)
{
    const auto start = std::chrono::steady_clock::now();
    gSink = gSink + pass();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(stop - start).count() / kValues;
}

// The two passes alternate round by round and each keeps its best time, so that load from
// other programs affects both alike. Prints nanoseconds per value and the ratio.
void Compare(const char* name, const std::function<std::size_t()>& measured, const char* baselineName,
             const std::function<std::size_t()>& baseline)
{
    double best = 1e300;
    double bestBaseline = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        bestBaseline = std::min(bestBaseline, Nanos(baseline));
        best = std::min(best, Nanos(measured));
    }
    const double ratio = best / bestBaseline;
    std::printf("%-34s %8.1f ns   %-26s %8.1f ns   ratio %.2f  %s\n", name, best, baselineName, bestBaseline, ratio,
                ratio <= 2.0 ? "ok" : "ABOVE GOAL");
}

// Values as a converter meets them: mostly moderate magnitudes with full digits, some very
// large and very small ones, a few round numbers.
std::vector<double> MakeValues()
{
    std::mt19937_64 random(20240607);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> moderate(-6, 12);
    std::uniform_int_distribution<int> wide(-300, 300);
    std::uniform_int_distribution<int> kind(0, 9);
    std::vector<double> values;
    values.reserve(kValues);
    for (int i = 0; i < kValues; ++i) {
        const int k = kind(random);
        double v = 0;
        if (k < 7)
            v = mantissa(random) * std::pow(10.0, moderate(random));
        else if (k < 9)
            v = mantissa(random) * std::pow(10.0, wide(random));
        else
            v = double(random() % 100000) / 100;
        values.push_back(random() % 4 == 0 ? -v : v);
    }
    return values;
}

} // namespace

int main()
{
    const std::vector<double> values = MakeValues();
    std::printf("%d values, best of %d rounds, time per value\n\n", kValues, kRounds);

    const auto toChars = [&] {
        std::size_t total = 0;
        char buf[64];
        for (const double v : values) {
            const auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 17);
            total += std::size_t(result.ptr - buf);
        }
        return total;
    };

    const struct
    {
        const char* Name;
        quint8 Notation;
        int Precision;
    } notations[] = {
        {"FormatValue automatic, 15 digits", 0, 15},  {"FormatValue automatic, 7 digits", 0, 7},
        {"FormatValue fixed, 4 decimals", 1, 4},      {"FormatValue thousands, 2 decimals", 2, 2},
        {"FormatValue scientific, 10 digits", 3, 10},
    };
    for (const auto& notation : notations) {
        TFormatSettings settings;
        settings.NumberFormat = notation.Notation;
        settings.Precision = notation.Precision;
        Compare(
            notation.Name,
            [&] {
                std::size_t total = 0;
                for (const double v : values)
                    total += std::size_t(FormatValue(v, settings).size());
                return total;
            },
            "to_chars(scientific, 17)", toChars);
    }
    std::printf("\n");

    // The same texts for both readers, each kind laid out contiguously so that neither
    // pays for scattered memory: what the program writes with 17 decimals, and short
    // texts as a user types them.
    TSeparators separators;
    const struct
    {
        const char* Name;
        const char* BaselineName;
        std::chars_format Format;
        int Precision;
    } textKinds[] = {
        {"ParseValue, 18 digits", "from_chars, 18 digits", std::chars_format::scientific, 17},
        {"ParseValue, 6 digits", "from_chars, 6 digits", std::chars_format::general, 6},
    };
    for (const auto& kind : textKinds) {
        std::string bytes;
        std::u16string units;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
        for (const double v : values) {
            char buf[64];
            const auto result = std::to_chars(buf, buf + sizeof buf, v, kind.Format, kind.Precision);
            spans.emplace_back(bytes.size(), std::size_t(result.ptr - buf));
            bytes.append(buf, result.ptr);
            units.append(buf, result.ptr);
        }
        QList<QString> texts;
        texts.reserve(qsizetype(spans.size()));
        for (const auto& [start, length] : spans)
            texts.push_back(
                QString::fromRawData(reinterpret_cast<const QChar*>(units.data() + start), qsizetype(length)));

        Compare(
            kind.Name,
            [&] {
                double total = 0;
                for (const QString& text : texts)
                    total += ParseValue(text, separators);
                return std::size_t(total != 0);
            },
            kind.BaselineName,
            [&] {
                double total = 0;
                for (const auto& [start, length] : spans) {
                    double v = 0;
                    std::from_chars(bytes.data() + start, bytes.data() + start + length, v);
                    total += v;
                }
                return std::size_t(total != 0);
            });
    }
    return 0;
}
