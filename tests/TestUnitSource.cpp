#include "CatUnits.h"
#include "CatalogueBytes.h"
#include "UnitSource.h"
#include "Win1252.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <numbers>

struct TUnitRow
{
    QString Category;
    QString Name;
    double Factor = 1;
};
Q_DECLARE_METATYPE(TUnitRow)

// The text form of unit data: factor expressions, the line format with its escapes and
// annotations, and the dump/build pair that must reproduce a data file byte for byte.
class TestUnitSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void evaluate_data();
    void evaluate();
    void evaluateRejects_data();
    void evaluateRejects();

    void escapeRoundTrip_data();
    void escapeRoundTrip();
    void unescapeRejects_data();
    void unescapeRejects();

    void parseLine_data();
    void parseLine();
    void parseRejects_data();
    void parseRejects();
    void buildRejects_data();
    void buildRejects();
    void buildKeepsNegativeFactors();

    void dumpBuildRoundTrip_data();
    void dumpBuildRoundTrip();
    void dumpReadsOldLayoutInMemory();
    void readRejects_data();
    void readRejects();
};

void TestUnitSource::evaluate_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<double>("expected");

    QTest::newRow("integer") << "1" << 1.0;
    QTest::newRow("decimal point first") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("signed exponent") << "2.5E-3" << 0.0025;
    QTest::newRow("negative number") << "-1.5" << -1.5;
    QTest::newRow("plus sign") << "+2" << 2.0;
    QTest::newRow("left to right minus") << "10 - 4 - 3" << 3.0;
    QTest::newRow("left to right divide") << "8 / 4 / 2" << 1.0;
    QTest::newRow("product before sum") << "1 + 2 * 3" << 7.0;
    QTest::newRow("parentheses") << "(1 + 2) * 3" << 9.0;
    QTest::newRow("power") << "2^10" << 1024.0;
    QTest::newRow("negative power") << "2^-2" << 0.25;
    QTest::newRow("power is right-associative") << "2^3^2" << 512.0;
    QTest::newRow("sign binds looser than power") << "-2^2" << -4.0;
    QTest::newRow("fractional power") << "4^0.5" << 2.0;
    QTest::newRow("pi") << "pi" << std::numbers::pi;
    QTest::newRow("blanks and tabs") << " 3 *\t2 " << 6.0;
    // Each of these comes out one unit in the last place off when worked in doubles.
    QTest::newRow("0.1 * 3 is 0.3") << "0.1 * 3" << 0.3;
    QTest::newRow("cubic foot") << "0.3048^3" << 0.028316846592;
    QTest::newRow("US gallon") << "231 * 0.0254^3" << 0.003785411784;
    QTest::newRow("pound-force") << "0.45359237 * 9.80665" << 4.4482216152605;
    QTest::newRow("inches in a metre") << "1 / 0.0254" << 39.37007874015748;
    QTest::newRow("named numbers") << "foot^2" << 0.09290304;
    // A lone number is read straight into the double it names, so a dump reads back exactly.
    QTest::newRow("smallest denormal") << "5e-324" << std::numeric_limits<double>::denorm_min();
    QTest::newRow("largest double") << "1.7976931348623157e308" << std::numeric_limits<double>::max();
    QTest::newRow("shortest text of a product") << "4.448221615260501" << 4.448221615260501;
}

void TestUnitSource::evaluate()
{
    QFETCH(QString, expression);
    QFETCH(double, expected);
    const QHash<QString, long double> names{{QStringLiteral("foot"), 0.3048L}};
    QCOMPARE(EvaluateExpression(expression, names), expected);
}

void TestUnitSource::evaluateRejects_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("empty") << ""
                           << "empty";
    QTest::newRow("blank") << "   "
                           << "empty";
    QTest::newRow("dangling operator") << "1 +"
                                       << "ends too early";
    QTest::newRow("unclosed parenthesis") << "(1 + 2"
                                          << "missing ')'";
    QTest::newRow("stray parenthesis") << "1 + 2)"
                                       << "unexpected ')'";
    QTest::newRow("two numbers") << "1 2"
                                 << "unexpected '2'";
    QTest::newRow("unknown name") << "2 * furlong"
                                  << "furlong";
    QTest::newRow("double star") << "2 ** 3"
                                 << "unexpected";
    QTest::newRow("division by zero") << "1 / (2 - 2)"
                                      << "division by zero";
    QTest::newRow("out of range") << "1e999"
                                  << "out of range";
    QTest::newRow("decimal comma") << "2,5"
                                   << "unexpected ',5'";
}

void TestUnitSource::evaluateRejects()
{
    QFETCH(QString, expression);
    QFETCH(QString, mentions);
    try {
        const double value = EvaluateExpression(expression);
        QFAIL(qPrintable(QStringLiteral("accepted, gave %1").arg(value)));
    } catch (const EUnitSourceError& e) {
        QVERIFY2(e.Message().contains(mentions), qPrintable(e.Message()));
    }
}

void TestUnitSource::escapeRoundTrip_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << "Pounds per square inch (psi)";
    QTest::newRow("code page letters") << QStringLiteral("Ångströms (Å) € µ ² ‰");
    QTest::newRow("leading hash") << "#5 wire";
    QTest::newRow("leading at") << "@home";
    QTest::newRow("inner hash") << "Gauge #5";
    QTest::newRow("tab") << "a\tb";
    QTest::newRow("line breaks") << "a\r\nb";
    QTest::newRow("backslash") << "C:\\units";
    QTest::newRow("leading and trailing blanks") << " padded ";
    QTest::newRow("only blanks") << "   ";
    QTest::newRow("control and unassigned bytes") << QString(QChar(0x01)) + QChar(0x81) + QChar(0x7F);
    QTest::newRow("no-break space kept") << QString(QChar(0xA0)) + "x" + QChar(0xA0);
}

void TestUnitSource::escapeRoundTrip()
{
    QFETCH(QString, name);
    const QString escaped = EscapeName(name);
    QVERIFY(!escaped.contains(QLatin1Char('\t')));
    QVERIFY(!escaped.contains(QLatin1Char('\n')));
    QCOMPARE(UnescapeName(escaped), name);

    // And as fields of a line, with blanks around them as a hand-written file might have.
    const QString line = QStringLiteral("%1 \t %1 \t 2\n").arg(escaped);
    const TUnitSource source = ParseUnitSource(line.toUtf8(), QStringLiteral("t.txt"));
    QCOMPARE(source.Units.size(), 1);
    QCOMPARE(source.Units[0].Category, name);
    QCOMPARE(source.Units[0].Name, name);
}

void TestUnitSource::unescapeRejects_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("lone backslash at the end") << "abc\\";
    QTest::newRow("unknown escape") << "a\\qb";
    QTest::newRow("short hex") << "a\\x4";
    QTest::newRow("not hex") << "a\\xZZ";
    QTest::newRow("signed hex") << "a\\x+1";
}

void TestUnitSource::unescapeRejects()
{
    QFETCH(QString, field);
    QVERIFY_THROWS_EXCEPTION(EUnitSourceError, UnescapeName(field));
}

void TestUnitSource::parseLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("factor");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QString>("gnu");
    QTest::addColumn<QString>("noCounterpart");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<int>("line");

    QTest::newRow("dump line") << QByteArray("Length\tFeet\t3.280839895013123\n") << "Length"
                               << "Feet" << 3.280839895013123 << false << ""
                               << ""
                               << "" << 1;
    QTest::newRow("comments and blank lines skipped")
        << QByteArray("# header\n\n   # indented\nLength\tFeet\t2\n") << "Length"
        << "Feet" << 2.0 << false << ""
        << ""
        << "" << 4;
    QTest::newRow("several tabs and blanks") << QByteArray("Length\t\t\tFeet  \t  2\n") << "Length"
                                             << "Feet" << 2.0 << false << ""
                                             << ""
                                             << "" << 1;
    QTest::newRow("CRLF and byte order mark") << QByteArray("\xEF\xBB\xBFLength\tFeet\t2\r\n") << "Length"
                                              << "Feet" << 2.0 << false << ""
                                              << ""
                                              << "" << 1;
    QTest::newRow("no final newline") << QByteArray("Length\tFeet\t2") << "Length"
                                      << "Feet" << 2.0 << false << ""
                                      << ""
                                      << "" << 1;
    QTest::newRow("annotations") << QByteArray(
                                        "@define ft = 0.3048\texact\t# international foot\n"
                                        "Length\tFeet (ft)\t1 / ft\texact\tgnu: ft\t# 1 ft = 0.3048 m\twith a tab\n")
                                 << "Length"
                                 << "Feet (ft)" << 1 / 0.3048 << true << "ft"
                                 << ""
                                 << "1 ft = 0.3048 m with a tab" << 2;
    QTest::newRow("no counterpart") << QByteArray("Length\tSpans\t4\tgnu: - (not known there)\n") << "Length"
                                    << "Spans" << 4.0 << false << ""
                                    << "(not known there)"
                                    << "" << 1;
    QTest::newRow("definitions chain") << QByteArray("@define a = 0.1\n@define b = a * 3\nX\tY\tb\n") << "X"
                                       << "Y" << 0.3 << false << ""
                                       << ""
                                       << "" << 3;
    QTest::newRow("UTF-8 name") << QByteArray("Area\tSquare metres (m\xC2\xB2)\t1\n") << "Area"
                                << QStringLiteral("Square metres (m²)") << 1.0 << false << ""
                                << ""
                                << "" << 1;
}

void TestUnitSource::parseLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, category);
    QFETCH(QString, name);
    QFETCH(double, factor);
    QFETCH(bool, exact);
    QFETCH(QString, gnu);
    QFETCH(QString, noCounterpart);
    QFETCH(QString, comment);
    QFETCH(int, line);

    const TUnitSource source = ParseUnitSource(text, QStringLiteral("t.txt"));
    QCOMPARE(source.Units.size(), 1);
    const TSourceUnit& unit = source.Units[0];
    QCOMPARE(unit.Category, category);
    QCOMPARE(unit.Name, name);
    QCOMPARE(unit.Factor, factor);
    QCOMPARE(unit.Exact, exact);
    QCOMPARE(unit.Gnu, gnu);
    QCOMPARE(unit.NoCounterpart, noCounterpart);
    QCOMPARE(unit.Comment, comment);
    QCOMPARE(unit.Line, line);
}

void TestUnitSource::parseRejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("too few fields") << QByteArray("# c\nLength\tFeet 2\n") << "src.txt:2:"
                                    << "found 2";
    QTest::newRow("blanks do not separate") << QByteArray("Length Feet 2\n") << "src.txt:1:"
                                            << "found 1";
    QTest::newRow("bad expression") << QByteArray("Length\tFeet\t1 /\n") << "src.txt:1:"
                                    << "ends too early";
    QTest::newRow("unknown name") << QByteArray("Length\tFeet\t1 / ft\n") << "src.txt:1:"
                                  << "'ft'";
    QTest::newRow("name used before its definition")
        << QByteArray("Length\tFeet\t1 / ft\n@define ft = 0.3048\n") << "src.txt:1:"
        << "'ft'";
    QTest::newRow("unknown field") << QByteArray("Length\tFeet\t2\texcat\n") << "src.txt:1:"
                                   << "'excat'";
    QTest::newRow("counterpart without reason") << QByteArray("Length\tFeet\t2\tgnu: -\n") << "src.txt:1:"
                                                << "reason";
    QTest::newRow("empty counterpart") << QByteArray("Length\tFeet\t2\tgnu:\n") << "src.txt:1:"
                                       << "gnu:";
    QTest::newRow("malformed definition") << QByteArray("@define ft 0.3048\n") << "src.txt:1:"
                                          << "@define";
    QTest::newRow("unknown directive") << QByteArray("@include other.txt\n") << "src.txt:1:"
                                       << "@define";
    QTest::newRow("bad definition name") << QByteArray("@define 2ft = 0.6\n") << "src.txt:1:"
                                         << "'2ft'";
    QTest::newRow("definition twice") << QByteArray("@define ft = 1\n@define ft = 2\n") << "src.txt:2:"
                                      << "already defined";
    QTest::newRow("pi redefined") << QByteArray("@define pi = 3\n") << "src.txt:1:"
                                  << "already defined";
    QTest::newRow("counterpart on a definition") << QByteArray("@define ft = 1\tgnu: ft\n") << "src.txt:1:"
                                                 << "belongs to a unit";
    QTest::newRow("outside Windows-1252") << QByteArray("Resistance\tOhms (\xCE\xA9)\t1\n") << "src.txt:1:"
                                          << "Windows-1252";
    QTest::newRow("bad escape in a name") << QByteArray("Length\tFe\\et\t1\n") << "src.txt:1:"
                                          << "escape";
    QTest::newRow("not UTF-8") << QByteArray("Length\tF\xFF\xFEt\t1\n") << "src.txt:"
                               << "UTF-8";
}

void TestUnitSource::parseRejects()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, location);
    QFETCH(QString, mentions);
    try {
        ParseUnitSource(text, QStringLiteral("src.txt"));
        QFAIL("accepted");
    } catch (const EUnitSourceError& e) {
        QVERIFY2(e.Message().startsWith(location), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(mentions), qPrintable(e.Message()));
    }
}

void TestUnitSource::buildRejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("unit name taken ignoring case")
        << QByteArray("Length\tMetre\t1\nLength\tFoot\t3\nLength\tMETRE\t2\n")
        << "src.txt:3: " + QString::fromLatin1(kUnitExists).arg(QStringLiteral("METRE"));
    QTest::newRow("same name in two categories is fine, a clash is not")
        << QByteArray("Length\tMetre\t1\nArea\tMetre\t1\nArea\tmetre\t1\n")
        << "src.txt:3: " + QString::fromLatin1(kUnitExists).arg(QStringLiteral("metre"));
    QTest::newRow("category spelt in two ways") << QByteArray("Length\tMetre\t1\nlength\tFoot\t3\n")
                                                << "src.txt:2: category 'length' is spelt 'Length' elsewhere";
    QTest::newRow("zero factor") << QByteArray("Length\tNothing\t2 - 2\n")
                                 << "src.txt:1: the factor of 'Nothing' is zero";
    QTest::newRow("negative zero factor")
        << QByteArray("Length\tNothing\t-0\n") << "src.txt:1: the factor of 'Nothing' is zero";
    QTest::newRow("infinite factor") << QByteArray("Length\tHuge\tinf\n")
                                     << "src.txt:1: the factor of 'Huge' is not a finite number";
    QTest::newRow("overflowing product") << QByteArray("Length\tHuge\t1e300 * 1e300 * 1e300 * 1e300 * 1e300\n")
                                         << "src.txt:1: the factor of 'Huge' is not a finite number";
    QTest::newRow("not a number") << QByteArray("Length\tOdd\tnan\n")
                                  << "src.txt:1: the factor of 'Odd' is not a finite number";
}

void TestUnitSource::buildRejects()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    TConvCategories catalogue;
    try {
        BuildCatalogue(ParseUnitSource(text, QStringLiteral("src.txt")), QStringLiteral("src.txt"), catalogue, false);
        QFAIL("accepted");
    } catch (const EUnitSourceError& e) {
        QCOMPARE(e.Message(), message);
    }
}

void TestUnitSource::buildKeepsNegativeFactors()
{
    // The custom units editor accepts negative factors, so a dump of custom.dat can hold one.
    TConvCategories catalogue;
    BuildCatalogue(ParseUnitSource("Odd\tInverted\t-2.5\n", QStringLiteral("t")), QStringLiteral("t"), catalogue, true);
    QCOMPARE(catalogue.Count(), 1);
    QCOMPARE(catalogue.Categories(0)->Units(0)->Factor, -2.5);
    QVERIFY(catalogue.Categories(0)->Units(0)->Custom);
}

void TestUnitSource::dumpBuildRoundTrip_data()
{
    QTest::addColumn<QList<TUnitRow>>("units");
    QTest::addColumn<bool>("custom");

    QTest::newRow("ordinary") << QList<TUnitRow>{{"Length", "Metres", 1},
                                                 {"Length", "Feet", 3.280839895013123},
                                                 {"Length", "Inches", 39.37007874015748},
                                                 {"Mass", "Kilograms", 1},
                                                 {"Mass", "Pounds", 2.2046226218487757}}
                              << false;
    QTest::newRow("awkward doubles") << QList<TUnitRow>{{"Numbers", "a third", 1.0 / 3},
                                                        {"Numbers", "denormal", 5e-324},
                                                        {"Numbers", "largest", 1.7976931348623157e308},
                                                        {"Numbers", "negative", -2.5},
                                                        {"Numbers", "tiny", 1e-300},
                                                        {"Numbers", "tenth", 0.1},
                                                        {"Numbers", "huge", 1e21}}
                                     << false;
    QTest::newRow("awkward names") << QList<TUnitRow>{{"#tag", "@at", 1},
                                                      {"#tag", "a\tb", 2},
                                                      {"#tag", " lead", 3},
                                                      {"#tag", "trail ", 4},
                                                      {QStringLiteral("Code page €µÿ") + QChar(0x81), "back\\slash", 5},
                                                      {"Code page", "line\r\nbreak", 6},
                                                      {"Code page", QString(QChar(1)) + QChar(0x7F), 7},
                                                      {"Code page", "#", 8}}
                                   << false;
    QTest::newRow("custom units") << QList<TUnitRow>{{"Length", "Cubits", 2.1872265966754156},
                                                     {"My own", "Widgets", 12}}
                                  << true;
    QTest::newRow("empty custom file") << QList<TUnitRow>{} << true;
}

void TestUnitSource::dumpBuildRoundTrip()
{
    QFETCH(QList<TUnitRow>, units);
    QFETCH(bool, custom);
    const TUnitFilter filter = custom ? TUnitFilter::ufCustom : TUnitFilter::ufAll;

    // The file as the program writes it.
    TConvCategories original;
    for (const TUnitRow& row : units) {
        TConvCategory* category = original.FindCategory(row.Category);
        if (category == nullptr)
            category = original.AddCategory(row.Category);
        category->AddUnit(row.Name, custom, row.Factor);
    }
    const QByteArray file = CatalogueFileBytes(original, filter);

    TConvCategories read;
    ReadCatalogueFileBytes(file, read, custom);
    const QByteArray text = DumpCatalogue(read);

    TConvCategories built;
    BuildCatalogue(ParseUnitSource(text, QStringLiteral("dump")), QStringLiteral("dump"), built, custom);
    QCOMPARE(CatalogueFileBytes(built, filter), file);
    QCOMPARE(DumpCatalogue(built), text);
}

void TestUnitSource::dumpReadsOldLayoutInMemory()
{
    using namespace Bytes;
    const QByteArray oldUnits =
        OldUnits({OldCategory(7, "Length"), OldCategory(9, "Mass")},
                 {OldUnit(7, "Metres", 1), OldUnit(7, "Feet", 3.280839895013123), OldUnit(9, "Kilograms", 1)});
    const QByteArray oldCustom = OldCustom({OldUnit(9, "Slabs", 0.05)});

    TConvCategories units;
    ReadCatalogueFileBytes(oldUnits, units, false);
    QCOMPARE(DumpCatalogue(units),
             QByteArray("# Category\tUnit\tFactor (number of the unit in one base unit)\n"
                        "Length\tFeet\t3.280839895013123\nLength\tMetres\t1\nMass\tKilograms\t1\n"));

    // An old custom.dat names its categories by the numbers of the old units.dat.
    TConvCategories custom;
    ReadCatalogueFileBytes(oldCustom, custom, true, oldUnits);
    QCOMPARE(custom.Count(), 1);
    QCOMPARE(custom.Categories(0)->Name, QStringLiteral("Mass"));
    QCOMPARE(custom.Categories(0)->UnitCount(), 1);
    QCOMPARE(custom.Categories(0)->Units(0)->Name, QStringLiteral("Slabs"));
    QVERIFY(custom.Categories(0)->Units(0)->Custom);
}

void TestUnitSource::readRejects_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QByteArray>("legacyUnits");

    using namespace Bytes;
    const QByteArray good = File({Category("Length", {Unit("Metres", 1)})});
    QTest::newRow("wrong mark") << QByteArray("12") + good.mid(2) << false << QByteArray();
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
    QTest::newRow("cut inside a record") << good.left(good.size() - 3) << false << QByteArray();
    QTest::newRow("count beyond the records") << File({}).left(2) + I32(3) << false << QByteArray();
    QTest::newRow("name of length zero") << File({Category("", {Unit("Metres", 1)})}) << false << QByteArray();
    QTest::newRow("duplicate unit") << File({Category("Length", {Unit("Metres", 1), Unit("METRES", 2)})}) << false
                                    << QByteArray();
    QTest::newRow("old custom file without the old units file")
        << OldCustom({OldUnit(1, "Slabs", 2)}) << true << QByteArray();
    QTest::newRow("old custom file with a current units file") << OldCustom({OldUnit(1, "Slabs", 2)}) << true << good;
}

void TestUnitSource::readRejects()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, custom);
    QFETCH(QByteArray, legacyUnits);
    TConvCategories catalogue;
    QVERIFY_THROWS_EXCEPTION(EConvError, ReadCatalogueFileBytes(file, catalogue, custom, legacyUnits));
}

QTEST_GUILESS_MAIN(TestUnitSource)
#include "TestUnitSource.moc"
