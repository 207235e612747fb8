#include "NumberFormat.h"

#include <QTest>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

constexpr quint8 kAuto = quint8(TNumberFormat::nfAutomatic);
constexpr quint8 kFixed = quint8(TNumberFormat::nfFixed);
constexpr quint8 kThousands = quint8(TNumberFormat::nfFixedThousands);
constexpr quint8 kScientific = quint8(TNumberFormat::nfScientific);

const double kDenormMin = std::numeric_limits<double>::denorm_min();

TSeparators Separators(char16_t decimal, char16_t thousands)
{
    TSeparators s;
    s.Decimal = QChar(decimal);
    if (thousands)
        s.Thousands = QChar(thousands);
    else
        s.Thousands.reset();
    return s;
}

TFormatSettings Settings(quint8 notation, int precision, char16_t decimal = u'.', char16_t thousands = u',')
{
    TFormatSettings settings;
    settings.NumberFormat = notation;
    settings.Precision = precision;
    settings.Separators = Separators(decimal, thousands);
    return settings;
}

} // namespace

class TestNumberFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatValue_data();
    void formatValue();
    void formatSeparators_data();
    void formatSeparators();
    void formatNonFinite();
    void parseValue_data();
    void parseValue();
    void parseRefused_data();
    void parseRefused();
    void roundTrip_data();
    void roundTrip();
};

// Every row uses the point as decimal separator and the comma as thousands separator.
void TestNumberFormat::formatValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("notation");
    QTest::addColumn<int>("precision");
    QTest::addColumn<QString>("expected");

    // The reference examples.
    QTest::newRow("1234.5678 auto 7") << 1234.5678 << int(kAuto) << 7 << "1234.568";
    QTest::newRow("1234.5678 fixed 7") << 1234.5678 << int(kFixed) << 7 << "1234.5678000";
    QTest::newRow("1234.5678 thousands 7") << 1234.5678 << int(kThousands) << 7 << "1,234.5678000";
    QTest::newRow("1234.5678 scientific 7") << 1234.5678 << int(kScientific) << 7 << "1.234568E+003";
    QTest::newRow("0.000123 auto 7") << 0.000123 << int(kAuto) << 7 << "0.000123";
    QTest::newRow("0.0000123 auto 7") << 0.0000123 << int(kAuto) << 7 << "1.23E-005";
    QTest::newRow("12345678 auto 7") << 12345678.0 << int(kAuto) << 7 << "1.234568E007";
    QTest::newRow("1000000 auto 7") << 1000000.0 << int(kAuto) << 7 << "1000000";
    QTest::newRow("2.5 fixed 0") << 2.5 << int(kFixed) << 0 << "3";
    QTest::newRow("-0.004 fixed 2") << -0.004 << int(kFixed) << 2 << "0.00";
    QTest::newRow("1234.5678 auto 0") << 1234.5678 << int(kAuto) << 0 << "1.2E003";
    QTest::newRow("1234.5678 auto 1") << 1234.5678 << int(kAuto) << 1 << "1.2E003";
    QTest::newRow("zero auto") << 0.0 << int(kAuto) << 7 << "0";
    QTest::newRow("zero fixed 3") << 0.0 << int(kFixed) << 3 << "0.000";
    QTest::newRow("zero scientific 7") << 0.0 << int(kScientific) << 7 << "0.000000E+000";

    // Precision 19 and 20: 15 significant digits, or 2 decimals in the fixed notations.
    QTest::newRow("1/3 auto 19") << 1.0 / 3 << int(kAuto) << 19 << "0.333333333333333";
    QTest::newRow("1/3 auto 20") << 1.0 / 3 << int(kAuto) << 20 << "0.333333333333333";
    QTest::newRow("1/3 scientific 20") << 1.0 / 3 << int(kScientific) << 20 << "3.33333333333333E-001";
    QTest::newRow("1234.5678 fixed 19") << 1234.5678 << int(kFixed) << 19 << "1234.57";
    QTest::newRow("1234.5678 thousands 20") << 1234.5678 << int(kThousands) << 20 << "1,234.57";
    QTest::newRow("precision above 20 clamps") << 1.0 / 3 << int(kAuto) << 25 << "0.333333333333333";
    QTest::newRow("negative precision clamps") << 2.5 << int(kFixed) << -1 << "3";

    // Rounding works on the 18-digit string, half away from zero.
    QTest::newRow("0.3745 auto 3") << 0.3745 << int(kAuto) << 3 << "0.375";
    QTest::newRow("9.995 fixed 2 stays") << 9.995 << int(kFixed) << 2 << "9.99";
    QTest::newRow("1/3 auto 18") << 1.0 / 3 << int(kAuto) << 18 << "0.333333333333333315";
    QTest::newRow("1/3 auto 17 rounds twice") << 1.0 / 3 << int(kAuto) << 17 << "0.33333333333333332";
    QTest::newRow("0.1 fixed 18") << 0.1 << int(kFixed) << 18 << "0.100000000000000006";
    QTest::newRow("1234.5678 fixed 18") << 1234.5678 << int(kFixed) << 18 << "1234.567800000000030000";
    QTest::newRow("-2.5 fixed 0") << -2.5 << int(kFixed) << 0 << "-3";
    QTest::newRow("0.5 fixed 0") << 0.5 << int(kFixed) << 0 << "1";
    QTest::newRow("0.005 fixed 2") << 0.005 << int(kFixed) << 2 << "0.01";
    QTest::newRow("-0.005 fixed 2") << -0.005 << int(kFixed) << 2 << "-0.01";
    QTest::newRow("0.0004 fixed 2") << 0.0004 << int(kFixed) << 2 << "0.00";
    QTest::newRow("0.04 fixed 3") << 0.04 << int(kFixed) << 3 << "0.040";

    // Carries through every digit.
    QTest::newRow("9.996 fixed 2") << 9.996 << int(kFixed) << 2 << "10.00";
    QTest::newRow("9.996 auto 3") << 9.996 << int(kAuto) << 3 << "10";
    QTest::newRow("999.96 auto 3 to exponent") << 999.96 << int(kAuto) << 3 << "1E003";
    QTest::newRow("999999.5 thousands 0") << 999999.5 << int(kThousands) << 0 << "1,000,000";
    QTest::newRow("0.9999999 scientific 3") << 0.9999999 << int(kScientific) << 3 << "1.00E+000";
    QTest::newRow("9.9999e-5 auto 3 leaves exponent") << 9.9999e-5 << int(kAuto) << 3 << "0.0001";
    QTest::newRow("-9.996 auto 3") << -9.996 << int(kAuto) << 3 << "-10";

    // Automatic: the switch to the exponent form.
    QTest::newRow("0.0001 auto") << 0.0001 << int(kAuto) << 7 << "0.0001";
    QTest::newRow("0.00001 auto") << 0.00001 << int(kAuto) << 7 << "1E-005";
    QTest::newRow("10000000 auto 7") << 10000000.0 << int(kAuto) << 7 << "1E007";
    QTest::newRow("123.456 auto 2") << 123.456 << int(kAuto) << 2 << "1.2E002";
    QTest::newRow("-1234.5678 auto 7") << -1234.5678 << int(kAuto) << 7 << "-1234.568";
    QTest::newRow("negative zero auto") << -0.0 << int(kAuto) << 7 << "0";
    QTest::newRow("negative zero fixed") << -0.0 << int(kFixed) << 3 << "0.000";
    QTest::newRow("negative zero scientific") << -0.0 << int(kScientific) << 2 << "0.0E+000";

    // Scientific: fixed digit count, signed exponent of at least three digits; any
    // notation above 3 is scientific.
    QTest::newRow("-1234.5678 scientific 7") << -1234.5678 << int(kScientific) << 7 << "-1.234568E+003";
    QTest::newRow("1 scientific 0") << 1.0 << int(kScientific) << 0 << "1.0E+000";
    QTest::newRow("0.00123 scientific 4") << 0.00123 << int(kScientific) << 4 << "1.230E-003";
    QTest::newRow("notation 4") << 1234.5678 << 4 << 7 << "1.234568E+003";
    QTest::newRow("notation 255") << 1234.5678 << 255 << 3 << "1.23E+003";

    // Fixed: grouping, and magnitudes of 10^18 and more in exponent form.
    QTest::newRow("1234567.891 thousands 2") << 1234567.891 << int(kThousands) << 2 << "1,234,567.89";
    QTest::newRow("123456 thousands 0") << 123456.0 << int(kThousands) << 0 << "123,456";
    QTest::newRow("123 thousands 2") << 123.0 << int(kThousands) << 2 << "123.00";
    QTest::newRow("-1234 thousands 1") << -1234.0 << int(kThousands) << 1 << "-1,234.0";
    QTest::newRow("0.5 thousands 2") << 0.5 << int(kThousands) << 2 << "0.50";
    QTest::newRow("1234567.891 fixed 2 no groups") << 1234567.891 << int(kFixed) << 2 << "1234567.89";
    QTest::newRow("1.2345678901234568e17 fixed 2")
        << 123456789012345678.0 << int(kFixed) << 2 << "123456789012345680.00";
    QTest::newRow("1.2345678901234568e17 thousands 0")
        << 123456789012345678.0 << int(kThousands) << 0 << "123,456,789,012,345,680";
    QTest::newRow("1e18 fixed 2") << 1e18 << int(kFixed) << 2 << "1E18";
    QTest::newRow("1e18 fixed 0") << 1e18 << int(kFixed) << 0 << "1E18";
    QTest::newRow("1e18 fixed 3") << 1e18 << int(kFixed) << 3 << "1E018";
    QTest::newRow("1e18 thousands 5") << 1e18 << int(kThousands) << 5 << "1E18";
    QTest::newRow("1.5e20 fixed 4") << 1.5e20 << int(kFixed) << 4 << "1.5E0020";
    QTest::newRow("-1.5e20 fixed 1") << -1.5e20 << int(kFixed) << 1 << "-1.5E20";
    QTest::newRow("1.2345678901234568e20 fixed 2")
        << 123456789012345678901.0 << int(kFixed) << 2 << "1.23456789012345684E20";

    // Extremes.
    QTest::newRow("DBL_MAX auto 15") << DBL_MAX << int(kAuto) << 15 << "1.79769313486232E308";
    QTest::newRow("DBL_MAX scientific 18") << DBL_MAX << int(kScientific) << 18 << "1.79769313486231571E+308";
    QTest::newRow("DBL_MAX fixed 2") << DBL_MAX << int(kFixed) << 2 << "1.79769313486231571E308";
    QTest::newRow("-DBL_MAX thousands 0") << -DBL_MAX << int(kThousands) << 0 << "-1.79769313486231571E308";
    QTest::newRow("DBL_MIN auto 7") << DBL_MIN << int(kAuto) << 7 << "2.225074E-308";
    QTest::newRow("denormal auto 15") << kDenormMin << int(kAuto) << 15 << "4.94065645841247E-324";
    QTest::newRow("denormal scientific 3") << kDenormMin << int(kScientific) << 3 << "4.94E-324";
    QTest::newRow("-denormal auto 2") << -kDenormMin << int(kAuto) << 2 << "-4.9E-324";
    QTest::newRow("denormal fixed 18") << kDenormMin << int(kFixed) << 18 << "0.000000000000000000";
    QTest::newRow("1e-19 fixed 18") << 1e-19 << int(kFixed) << 18 << "0.000000000000000000";
    QTest::newRow("6e-19 fixed 18") << 6e-19 << int(kFixed) << 18 << "0.000000000000000001";
}

void TestNumberFormat::formatValue()
{
    QFETCH(double, value);
    QFETCH(int, notation);
    QFETCH(int, precision);
    QFETCH(QString, expected);
    QCOMPARE(FormatValue(value, Settings(quint8(notation), precision)), expected);
}

void TestNumberFormat::formatSeparators_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("notation");
    QTest::addColumn<int>("precision");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands"); // a null character: none
    QTest::addColumn<QString>("expected");

    const QChar none;
    QTest::newRow("comma auto") << 1.5 << int(kAuto) << 7 << QChar(u',') << QChar(u'.') << "1,5";
    QTest::newRow("comma auto exponent") << 1.5e-7 << int(kAuto) << 7 << QChar(u',') << QChar(u'.') << "1,5E-007";
    QTest::newRow("comma auto small") << 0.00015 << int(kAuto) << 7 << QChar(u',') << QChar(u'.') << "0,00015";
    QTest::newRow("comma scientific") << 1.5 << int(kScientific) << 3 << QChar(u',') << QChar(u'.') << "1,50E+000";
    QTest::newRow("comma zero scientific") << 0.0 << int(kScientific) << 3 << QChar(u',') << none << "0,00E+000";
    QTest::newRow("point groups") << 1234567.891 << int(kThousands) << 2 << QChar(u',') << QChar(u'.')
                                  << "1.234.567,89";
    QTest::newRow("space groups") << -1234567.0 << int(kThousands) << 1 << QChar(u',') << QChar(u' ') << "-1 234 567,0";
    QTest::newRow("no-break space groups")
        << 1234.0 << int(kThousands) << 0 << QChar(u'.') << QChar(0x202F) << QString::fromUtf16(u"1\u202F234");
    QTest::newRow("no thousands separator")
        << 1234567.891 << int(kThousands) << 2 << QChar(u'.') << none << "1234567.89";
    QTest::newRow("fixed ignores groups")
        << 1234567.891 << int(kFixed) << 2 << QChar(u',') << QChar(u'.') << "1234567,89";
    QTest::newRow("auto ignores groups") << 1234567.0 << int(kAuto) << 7 << QChar(u',') << QChar(u'.') << "1234567";
    QTest::newRow("huge fixed uses decimal")
        << 1.5e20 << int(kThousands) << 2 << QChar(u',') << QChar(u'.') << "1,5E20";
}

void TestNumberFormat::formatSeparators()
{
    QFETCH(double, value);
    QFETCH(int, notation);
    QFETCH(int, precision);
    QFETCH(QChar, decimal);
    QFETCH(QChar, thousands);
    QFETCH(QString, expected);
    QCOMPARE(FormatValue(value, Settings(quint8(notation), precision, decimal.unicode(), thousands.unicode())),
             expected);
}

void TestNumberFormat::formatNonFinite()
{
    for (const quint8 notation : {kAuto, kFixed, kThousands, kScientific}) {
        const TFormatSettings settings = Settings(notation, 7);
        QCOMPARE(FormatValue(std::numeric_limits<double>::infinity(), settings), QStringLiteral("INF"));
        QCOMPARE(FormatValue(-std::numeric_limits<double>::infinity(), settings), QStringLiteral("-INF"));
        QCOMPARE(FormatValue(std::numeric_limits<double>::quiet_NaN(), settings), QStringLiteral("NAN"));
    }
}

void TestNumberFormat::parseValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands"); // a null character: none
    QTest::addColumn<double>("expected");

    const QChar point(u'.');
    const QChar comma(u',');
    const QChar none;
    const QString zeros(1000, u'0');

    // The reference examples.
    QTest::newRow("grouped") << "1,234.5" << point << comma << 1234.5;
    QTest::newRow("blanks and exponent") << " -2.5e3 " << point << comma << -2500.0;
    QTest::newRow("exponent without digits") << "1E" << point << comma << 1.0;
    QTest::newRow("lone point") << "." << point << comma << 0.0;
    QTest::newRow("sign and point") << "-.E7" << point << comma << -0.0;
    QTest::newRow("comma decimal grouped") << "1.234,5" << comma << point << 1234.5;
    QTest::newRow("point removed as group") << "1.5" << comma << point << 15.0;

    // The grammar's corners.
    QTest::newRow("plus") << "+5" << point << comma << 5.0;
    QTest::newRow("exponent sign without digits") << "1e+" << point << comma << 1.0;
    QTest::newRow("point exponent") << ".e5" << point << comma << 0.0;
    QTest::newRow("trailing point") << "5." << point << comma << 5.0;
    QTest::newRow("leading point") << ".5" << point << comma << 0.5;
    QTest::newRow("negative exponent") << "1E-2" << point << comma << 0.01;
    QTest::newRow("many blanks") << "   7   " << point << comma << 7.0;
    QTest::newRow("groups anywhere") << "1,2,3,4" << point << comma << 1234.0;
    QTest::newRow("group inside exponent") << "1e1,0" << point << comma << 1e10;
    QTest::newRow("point as decimal with comma region") << "1.5" << comma << none << 1.5;
    QTest::newRow("comma decimal") << "1,5" << comma << none << 1.5;
    QTest::newRow("space groups") << "1 234,5" << comma << QChar(u' ') << 1234.5;
    QTest::newRow("no-break space groups") << QString::fromUtf16(u"1\u202F234,5") << comma << QChar(0x202F) << 1234.5;
    QTest::newRow("point typed in space region") << "1 234.5" << comma << QChar(u' ') << 1234.5;
    QTest::newRow("comma kept without groups") << "1,5" << point << none << std::nan("");

    // Correct rounding, including digit strings longer than any double needs.
    QTest::newRow("0.1") << "0.1" << point << comma << 0.1;
    QTest::newRow("tie to even") << "9007199254740993" << point << comma << 9007199254740992.0;
    QTest::newRow("just above the tie") << "9007199254740993.0000000000000000000001" << point << comma
                                        << 9007199254740994.0;
    QTest::newRow("tie after 1000 zeros") << "9007199254740993." + zeros << point << comma << 9007199254740992.0;
    QTest::newRow("above tie after 1000 zeros")
        << "9007199254740993." + zeros + "1" << point << comma << 9007199254740994.0;
    QTest::newRow("1000 leading zeros") << zeros + "1" << point << comma << 1.0;
    QTest::newRow("1000 zeros after the point") << "0." + zeros + "1e1001" << point << comma << 1.0;
    QTest::newRow("long integer scaled down") << "1" + zeros + "e-1000" << point << comma << 1.0;

    // Range: the largest double, denormals, and underflow to zero.
    QTest::newRow("DBL_MAX") << "1.7976931348623157e308" << point << comma << DBL_MAX;
    QTest::newRow("-DBL_MAX") << "-1.7976931348623157E+308" << point << comma << -DBL_MAX;
    QTest::newRow("DBL_MIN") << "2.2250738585072014e-308" << point << comma << DBL_MIN;
    QTest::newRow("smallest denormal") << "4.9406564584124654e-324" << point << comma << kDenormMin;
    QTest::newRow("just above half the smallest denormal") << "2.4703282292062328e-324" << point << comma << kDenormMin;
    QTest::newRow("below half the smallest denormal") << "2e-324" << point << comma << 0.0;
    QTest::newRow("far below") << "1e-400" << point << comma << 0.0;
    QTest::newRow("huge negative exponent") << "1e-99999999999999999999" << point << comma << 0.0;
    QTest::newRow("zero with huge exponent") << "0e99999999999999999999" << point << comma << 0.0;
}

void TestNumberFormat::parseValue()
{
    QFETCH(QString, text);
    QFETCH(QChar, decimal);
    QFETCH(QChar, thousands);
    QFETCH(double, expected);

    const TSeparators separators = Separators(decimal.unicode(), thousands.unicode());
    // Short texts and long ones are read by different means; leading blanks make any text long.
    for (const QString& typed : {text, QString(300, u' ') + text}) {
        if (std::isnan(expected)) {
            QVERIFY_THROWS_EXCEPTION(EParseError, ParseValue(typed, separators));
            QVERIFY(!TryParseValue(typed, separators));
            continue;
        }
        const double value = ParseValue(typed, separators);
        QCOMPARE(value, expected);
        QCOMPARE(std::signbit(value), std::signbit(expected));
        QCOMPARE(TryParseValue(typed, separators), std::optional<double>(expected));
    }
}

void TestNumberFormat::parseRefused_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("two points") << "1.2.3";
    QTest::newRow("letters") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("double sign") << "--1";
    QTest::newRow("blank only") << " ";
    QTest::newRow("sign only") << "-";
    QTest::newRow("exponent only") << "e5";
    QTest::newRow("signed exponent only") << "-E5";
    QTest::newRow("blank inside") << "1 2";
    QTest::newRow("blank after sign") << "- 1";
    QTest::newRow("tab") << "\t1";
    QTest::newRow("trailing letter") << "1e5x";
    QTest::newRow("two exponents") << "1e5e5";
    QTest::newRow("exponent fraction") << "1e2.5";
    QTest::newRow("hex") << "0x10";
    QTest::newRow("infinity") << "inf";
    QTest::newRow("nan") << "nan";
    QTest::newRow("arabic-indic digit") << QString::fromUtf16(u"\u0661");
    QTest::newRow("full-width digit") << QString::fromUtf16(u"\uFF11");
    QTest::newRow("character ending in a digit's byte") << QString::fromUtf16(u"\u0131\u0132");
    QTest::newRow("latin-1 fraction") << QString::fromUtf16(u"\u00BD");
    QTest::newRow("non-ASCII among first digits") << QString::fromUtf16(u"123\u01314567");
    QTest::newRow("non-ASCII among later digits") << QString::fromUtf16(u"12345\u00B978");
    QTest::newRow("non-ASCII last") << QString::fromUtf16(u"1234567\u0131");
    QTest::newRow("leading nul") << QString(QChar(0)) + "1";
    QTest::newRow("trailing nul") << "1" + QString(QChar(0));
    QTest::newRow("minus sign") << QString::fromUtf16(u"\u22121");
    QTest::newRow("infinity word") << "infinity";
    QTest::newRow("overflow") << "1e309";
    QTest::newRow("just above DBL_MAX") << "1.7976931348623159e308";
    QTest::newRow("negative overflow") << "-1e309";
    QTest::newRow("huge exponent") << "1e99999999999999999999";
    QTest::newRow("many digits overflow") << "1" + QString(400, u'0');
}

void TestNumberFormat::parseRefused()
{
    QFETCH(QString, text);
    const TSeparators separators = Separators(u'.', u',');
    for (const QString& typed : {text, QString(300, u' ') + text}) {
        QVERIFY_THROWS_EXCEPTION(EParseError, ParseValue(typed, separators));
        QVERIFY(!TryParseValue(typed, separators));
    }
}

// What the program shows, the program reads back: with 18 digits every double survives,
// in every region's separators.
void TestNumberFormat::roundTrip_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("notation");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands");

    const QList<double> values = {0.1,     1.0 / 3,  -2.0 / 3,   123456.789,     1e-5,          9.87654321e-300,
                                  DBL_MAX, -DBL_MIN, kDenormMin, 3 * kDenormMin, 6.02214076e23, -1e18};
    for (const double v : values) {
        const QByteArray name = QByteArray::number(v, 'g', 17);
        QTest::newRow((name + " auto").constData()) << v << int(kAuto) << QChar(u'.') << QChar(u',');
        QTest::newRow((name + " auto comma").constData()) << v << int(kAuto) << QChar(u',') << QChar(u'.');
        QTest::newRow((name + " scientific").constData()) << v << int(kScientific) << QChar(u'.') << QChar(u',');
    }
    for (const double v : {1234567.25, -98765.5, 0.125, 1e17}) {
        const QByteArray name = QByteArray::number(v, 'g', 17);
        QTest::newRow((name + " thousands").constData()) << v << int(kThousands) << QChar(u'.') << QChar(u',');
        QTest::newRow((name + " thousands space").constData()) << v << int(kThousands) << QChar(u',') << QChar(u' ');
    }
}

void TestNumberFormat::roundTrip()
{
    QFETCH(double, value);
    QFETCH(int, notation);
    QFETCH(QChar, decimal);
    QFETCH(QChar, thousands);
    const TFormatSettings settings = Settings(quint8(notation), 18, decimal.unicode(), thousands.unicode());
    const QString text = FormatValue(value, settings);
    QCOMPARE(ParseValue(text, settings.Separators), value);
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "TestNumberFormat.moc"
