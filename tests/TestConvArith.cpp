#include "CatUnits.h"
#include "ConvArith.h"

#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* const kScales[] = {"Degrees Celsius", "Degrees Fahrenheit", "Degrees Kelvin", "Degrees Rankine"};

// A category of the given name holding units "A" (factor a) and "B" (factor b), or the
// named units when given.
struct TPair
{
    TConvCategories Catalogue;
    TConvUnit* From = nullptr;
    TConvUnit* To = nullptr;

    TPair(const QString& category, const QString& fromName, double fromFactor, const QString& toName, double toFactor)
    {
        TConvCategory* c = Catalogue.AddCategory(category);
        From = c->AddUnit(fromName, false, fromFactor);
        To = fromName.compare(toName, Qt::CaseInsensitive) == 0 ? From : c->AddUnit(toName, false, toFactor);
    }
};

QString Bits(double value)
{
    return QString::number(value, 'g', 17) +
           QStringLiteral(" (0x%1)").arg(std::bit_cast<quint64>(value), 16, 16, QLatin1Char('0'));
}

} // namespace

class TestConvArith : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void temperatureScale_data();
    void temperatureScale();
    void temperatureTable_data();
    void temperatureTable();
    void linearUsesRatio();
    void recalculate_data();
    void recalculate();
};

void TestConvArith::temperatureScale_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("scale"); // -1: none

    QTest::newRow("Celsius") << "Degrees Celsius" << 0;
    QTest::newRow("Fahrenheit, small letters") << "degrees fahrenheit" << 1;
    QTest::newRow("Kelvin, capitals") << "DEGREES KELVIN" << 2;
    QTest::newRow("Rankine") << "Degrees Rankine" << 3;
    QTest::newRow("short name") << "Celsius" << -1;
    QTest::newRow("other scale") << QStringLiteral("Degrees R\u00E9aumur") << -1;
    QTest::newRow("trailing space") << "Degrees Kelvin " << -1;
}

void TestConvArith::temperatureScale()
{
    QFETCH(QString, name);
    QFETCH(int, scale);
    TConvUnit unit(nullptr);
    unit.Name = name;
    const std::optional<TemperatureScale> found = TemperatureScaleOf(unit);
    QCOMPARE(found ? int(*found) : -1, scale);
}

void TestConvArith::temperatureTable_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    const QString t = "Temperature";
    QTest::newRow("100 C in F") << t << 0 << 1 << 100.0 << 212.0;
    QTest::newRow("100 C in K") << t << 0 << 2 << 100.0 << 373.15;
    QTest::newRow("100 C in R") << t << 0 << 3 << 100.0 << 671.6700000000001;
    QTest::newRow("-40 C in F") << t << 0 << 1 << -40.0 << -40.0;
    QTest::newRow("0 K in C") << t << 2 << 0 << 0.0 << -273.15;
    QTest::newRow("0 R in C") << t << 3 << 0 << 0.0 << -273.15;
    QTest::newRow("0 R in F") << t << 3 << 1 << 0.0 << -459.67;
    QTest::newRow("212 F in C") << t << 1 << 0 << 212.0 << 100.0;
    QTest::newRow("373.15 K in F") << t << 2 << 1 << 373.15 << 212.0;
    QTest::newRow("671.67 R in K") << t << 3 << 2 << 671.67 << 373.15;
    QTest::newRow("32 F in K") << t << 1 << 2 << 32.0 << 273.15;
    QTest::newRow("0 F in R") << t << 1 << 3 << 0.0 << 459.67;

    // Values where another grouping of the same formula gives other last digits.
    QTest::newRow("F to C, times 5 then divided by 9") << t << 1 << 0 << -143.05 << -97.25;
    QTest::newRow("R to C, 459.67 then 32") << t << 3 << 0 << 986.48 << 274.8944444444444;
    QTest::newRow("C to R, 32 then 459.67") << t << 0 << 3 << 280.11 << 995.8680000000002;
    QTest::newRow("K to R, 32 then 459.67") << t << 2 << 3 << 540.56 << 973.008;

    for (int scale = 0; scale < 4; ++scale)
        QTest::addRow("%s unchanged", kScales[scale]) << t << scale << scale << 12.34 << 12.34;

    // The category's name decides, whatever its case and its flag.
    QTest::newRow("category in capitals") << "TEMPERATURE" << 0 << 1 << 100.0 << 212.0;
}

void TestConvArith::temperatureTable()
{
    QFETCH(QString, category);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(double, value);
    QFETCH(double, expected);

    // Factors that a linear conversion would use, to show that they are ignored.
    TPair pair(category, kScales[from], 7.0, kScales[to], 3.0);
    QCOMPARE(pair.From->Category->IsTemperature, false);
    const double result = ConvertValue(*pair.From, *pair.To, value, 1000.0);
    QVERIFY2(std::bit_cast<quint64>(result) == std::bit_cast<quint64>(expected),
             qPrintable(Bits(result) + " != " + Bits(expected)));
}

void TestConvArith::linearUsesRatio()
{
    // A category not named exactly like the temperature one converts linearly, even with
    // the scale names.
    TPair pair("Temperatures", "Degrees Celsius", 1.0, "Degrees Fahrenheit", 1.0);
    QCOMPARE(ConvertValue(*pair.From, *pair.To, 100.0, 0.5), 50.0);

    // A temperature unit without a scale has no result.
    TPair odd("Temperature", "Degrees Celsius", 1.0, "Gas mark", 1.0);
    QVERIFY(std::isnan(ConvertValue(*odd.From, *odd.To, 100.0, 1.0)));
    QVERIFY(std::isnan(ConvertValue(*odd.To, *odd.From, 100.0, 1.0)));
}

void TestConvArith::recalculate_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("fromName");
    QTest::addColumn<double>("fromFactor");
    QTest::addColumn<QString>("toName");
    QTest::addColumn<double>("toFactor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<bool>("comma"); // regional decimal comma, no thousands separator
    QTest::addColumn<QString>("expected");

    const QString na = QString::fromLatin1(kNotAvailable);
    const QString t = "Temperature";
    const QString c = kScales[0];
    const QString f = kScales[1];

    QTest::newRow("base to a thousandfold unit") << "Length"
                                                 << "m" << 1.0 << "km" << 0.001 << "1" << false << false << "0.001";
    QTest::newRow("typed into the output") << "Length"
                                           << "m" << 1.0 << "km" << 0.001 << "2" << true << false << "2000";
    QTest::newRow("regional decimal comma") << "Length"
                                            << "m" << 1.0 << "cm" << 100.0 << "1,5" << false << true << "150";
    QTest::newRow("same unit") << "Length"
                               << "m" << 1.0 << "m" << 1.0 << "42" << false << false << "42";
    QTest::newRow("empty input") << "Length"
                                 << "m" << 1.0 << "km" << 0.001 << "" << false << false << na;
    QTest::newRow("letters") << "Length"
                             << "m" << 1.0 << "km" << 0.001 << "abc" << false << false << na;
    QTest::newRow("letters in the output") << "Length"
                                           << "m" << 1.0 << "km" << 0.001 << "2x" << true << false << na;
    QTest::newRow("result beyond a double") << "Length"
                                            << "m" << 1.0 << "big" << 1e300 << "1e10" << false << false << na;

    // Factors a damaged file may hold.
    QTest::newRow("input factor 0") << "Length"
                                    << "m" << 0.0 << "km" << 0.001 << "1" << false << false << na;
    QTest::newRow("input factor 0, reverse") << "Length"
                                             << "m" << 0.0 << "km" << 0.001 << "1" << true << false << na;
    QTest::newRow("output factor 0") << "Length"
                                     << "m" << 1.0 << "km" << 0.0 << "1" << false << false << na;
    QTest::newRow("output factor 0, reverse") << "Length"
                                              << "m" << 1.0 << "km" << 0.0 << "1" << true << false << na;
    QTest::newRow("infinite factor") << "Length"
                                     << "m" << 1.0 << "km" << kInf << "1" << false << false << na;
    QTest::newRow("NaN factor") << "Length"
                                << "m" << kNaN << "km" << 1.0 << "1" << true << false << na;

    QTest::newRow("100 C in F") << t << c << 1.0 << f << 1.0 << "100" << false << false << "212";
    QTest::newRow("212 typed as F") << t << c << 1.0 << f << 1.0 << "212" << true << false << "100";
    QTest::newRow("100 C in R") << t << c << 1.0 << QString(kScales[3]) << 1.0 << "100" << false << false << "671.67";
    QTest::newRow("temperature ignores a zero factor") << t << c << 0.0 << f << 0.0 << "100" << false << false << "212";
    QTest::newRow("temperature unit without a scale")
        << t << c << 1.0 << "Gas mark" << 1.0 << "100" << false << false << na;
    QTest::newRow("temperature, letters") << t << c << 1.0 << f << 1.0 << "hot" << false << false << na;
}

void TestConvArith::recalculate()
{
    QFETCH(QString, category);
    QFETCH(QString, fromName);
    QFETCH(double, fromFactor);
    QFETCH(QString, toName);
    QFETCH(double, toFactor);
    QFETCH(QString, text);
    QFETCH(bool, reverse);
    QFETCH(bool, comma);
    QFETCH(QString, expected);

    TPair pair(category, fromName, fromFactor, toName, toFactor);
    TFormatSettings format;
    if (comma) {
        format.Separators.Decimal = QLatin1Char(',');
        format.Separators.Thousands = std::nullopt;
    }
    QCOMPARE(Recalculate(text, *pair.From, *pair.To, reverse, format), expected);
}

QTEST_GUILESS_MAIN(TestConvArith)
#include "TestConvArith.moc"
