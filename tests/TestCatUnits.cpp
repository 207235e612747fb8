#include "CatUnits.h"

#include <QCollator>
#include <QLocale>
#include <QStringList>
#include <QTest>

namespace {

QStringList UnitNames(const TConvCategory& category)
{
    QStringList names;
    for (int i = 0; i < category.UnitCount(); ++i)
        names << category.Units(i)->Name;
    return names;
}

QStringList CategoryNames(const TConvCategories& catalogue)
{
    QStringList names;
    for (int i = 0; i < catalogue.Count(); ++i)
        names << catalogue.Categories(i)->Name;
    return names;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

// Whether Qt here has a collation library that can order by a real locale.
bool HasLocaleCollation()
{
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator.compare(QStringLiteral("\u00C5ngstr\u00F6m"), QStringLiteral("Bar")) < 0 &&
           collator.compare(QStringLiteral("metre"), QStringLiteral("METRE")) == 0;
}

} // namespace

class TestCatUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void compareNames_data();
    void compareNames();
    void lookupIgnoresCase_data();
    void lookupIgnoresCase();
    void takenNameIsRefused_data();
    void takenNameIsRefused();
    void insertTakesOwnershipOnlyOnSuccess();
    void listsStaySorted_data();
    void listsStaySorted();
    void mergeUnits_data();
    void mergeUnits();
    void mergeCatalogues();
    void removeUnit_data();
    void removeUnit();
    void removeUnitTouchesOnlyThatUnit();
    void rename_data();
    void rename();
};

void TestCatUnits::cleanup()
{
    SetNamesLocale(QLocale::system());
}

void TestCatUnits::compareNames_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");

    // Under the C locale a plain collator compares case too; the catalogue must not.
    const QLocale c = QLocale::c();
    QTest::newRow("C: case ignored") << c << "Metre"
                                     << "METRE" << 0;
    QTest::newRow("C: 8-bit letters fold") << c << QStringLiteral("\u00C4rger") << QStringLiteral("\u00E4RGER") << 0;
    QTest::newRow("C: Windows-1252 letters fold")
        << c << QStringLiteral("\u0160ilo") << QStringLiteral("\u0161ILO") << 0;
    QTest::newRow("C: order ignores case") << c << "acre"
                                           << "Bar" << -1;
    QTest::newRow("C: order ignores case, reversed") << c << "BAR"
                                                     << "acre" << 1;
    QTest::newRow("C: prefix first") << c << "Foot"
                                     << "foot (survey)" << -1;

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("en_US: case ignored") << english << "Metre"
                                         << "METRE" << 0;
    QTest::newRow("en_US: accented letter sorts with its base")
        << english << QStringLiteral("\u00C5ngstr\u00F6m") << "Bar" << -1;
    QTest::newRow("en_US: accent still distinguishes") << english << QStringLiteral("\u00E9cu") << "ECU" << 1;
    QTest::newRow("en_US: order ignores case") << english << "acre"
                                               << "Bar" << -1;
}

void TestCatUnits::compareNames()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    if (locale != QLocale::c() && !HasLocaleCollation())
        QSKIP("Qt has no locale collation here");
    SetNamesLocale(locale);
    QCOMPARE(Sign(CompareNames(a, b)), sign);
    QCOMPARE(Sign(CompareNames(b, a)), -sign);
}

void TestCatUnits::lookupIgnoresCase_data()
{
    QTest::addColumn<QString>("lookup");
    QTest::addColumn<int>("unitIndex");
    QTest::addColumn<int>("categoryIndex");

    // Units: Foot, Metre, Yard; categories: Length, Pressure.
    QTest::newRow("same case") << "Metre" << 1 << -1;
    QTest::newRow("upper") << "METRE" << 1 << -1;
    QTest::newRow("lower") << "yard" << 2 << -1;
    QTest::newRow("first") << "fOOT" << 0 << -1;
    QTest::newRow("category") << "PRESSURE" << -1 << 1;
    QTest::newRow("missing") << "Furlong" << -1 << -1;
    QTest::newRow("prefix only") << "Met" << -1 << -1;
    QTest::newRow("empty") << "" << -1 << -1;
}

void TestCatUnits::lookupIgnoresCase()
{
    QFETCH(QString, lookup);
    QFETCH(int, unitIndex);
    QFETCH(int, categoryIndex);

    TConvCategories catalogue;
    TConvCategory* length = catalogue.AddCategory("Length");
    catalogue.AddCategory("Pressure");
    length->AddUnit("Yard");
    length->AddUnit("Metre");
    length->AddUnit("Foot");

    QCOMPARE(length->IndexOfUnit(lookup), unitIndex);
    QCOMPARE(catalogue.IndexOf(lookup), categoryIndex);
    QCOMPARE(catalogue.FindCategory(lookup), categoryIndex < 0 ? nullptr : catalogue.Categories(categoryIndex));
}

void TestCatUnits::takenNameIsRefused_data()
{
    QTest::addColumn<bool>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    QTest::newRow("unit, other case") << true << "metre"
                                      << "A unit with the name 'metre' already exists.";
    QTest::newRow("unit, same case") << true << "Metre"
                                     << "A unit with the name 'Metre' already exists.";
    QTest::newRow("category, other case") << false << "LENGTH"
                                          << "A category with name 'LENGTH' already exists.";
    QTest::newRow("name holding a placeholder") << true << "metre%2"
                                                << "A unit with the name 'metre%2' already exists.";
}

void TestCatUnits::takenNameIsRefused()
{
    QFETCH(bool, unit);
    QFETCH(QString, name);
    QFETCH(QString, message);

    TConvCategories catalogue;
    TConvCategory* length = catalogue.AddCategory("Length");
    TConvUnit* metre = length->AddUnit("Metre", false, 1.0);
    length->AddUnit("METRE%2", true, 2.0);

    try {
        if (unit)
            length->AddUnit(name, true, 5.0);
        else
            catalogue.AddCategory(name);
        QFAIL("a taken name was accepted");
    } catch (const EConvError& error) {
        QCOMPARE(error.Message(), message);
    }
    // Nothing changed.
    QCOMPARE(catalogue.Count(), 1);
    QCOMPARE(length->UnitCount(), 2);
    QCOMPARE(metre->Factor, 1.0);
    QCOMPARE(metre->Custom, false);
}

void TestCatUnits::insertTakesOwnershipOnlyOnSuccess()
{
    TConvCategories catalogue;
    TConvCategory* length = catalogue.AddCategory("Length");
    length->AddUnit("Metre");

    auto clash = std::make_unique<TConvUnit>(nullptr);
    clash->Name = "METRE";
    QVERIFY_THROWS_EXCEPTION(EConvError, length->InsertUnit(clash));
    QVERIFY(clash != nullptr);
    QCOMPARE(clash->Category, nullptr);

    auto fresh = std::make_unique<TConvUnit>(nullptr);
    fresh->Name = "Inch";
    TConvUnit* raw = fresh.get();
    QCOMPARE(length->InsertUnit(fresh), raw);
    QVERIFY(fresh == nullptr);
    QCOMPARE(raw->Category, length);
    QCOMPARE(length->Units(0), raw);

    auto category = std::make_unique<TConvCategory>(nullptr);
    category->Name = "length";
    QVERIFY_THROWS_EXCEPTION(EConvError, catalogue.InsertCategory(category));
    QVERIFY(category != nullptr);
    category->Name = "Area";
    TConvCategory* area = catalogue.InsertCategory(category);
    QCOMPARE(area->Catalogue, &catalogue);
    QCOMPARE(catalogue.Categories(0), area);
}

void TestCatUnits::listsStaySorted_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("expected");

    const QStringList sorted = {"acre", "Bar", "foot", "Inch", "metre", "Yard"};
    QTest::newRow("in order") << sorted << sorted;
    QTest::newRow("reversed") << QStringList{"Yard", "metre", "Inch", "foot", "Bar", "acre"} << sorted;
    QTest::newRow("mixed") << QStringList{"Inch", "acre", "Yard", "foot", "metre", "Bar"} << sorted;
    QTest::newRow("single") << QStringList{"Bar"} << QStringList{"Bar"};
}

void TestCatUnits::listsStaySorted()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, expected);

    TConvCategories catalogue;
    TConvCategory* category = catalogue.AddCategory("Test");
    for (const QString& name : added) {
        category->AddUnit(name);
        if (catalogue.IndexOf(name) < 0)
            catalogue.AddCategory(name);
    }
    QCOMPARE(UnitNames(*category), expected);
    QStringList categories = expected;
    categories << "Test";
    categories.sort(Qt::CaseInsensitive);
    QCOMPARE(CategoryNames(catalogue), categories);
}

void TestCatUnits::mergeUnits_data()
{
    // Target holds shipped foot (0.3048) and Metre; source brings Foot, Inch, Chain.
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("factor");
    QTest::addColumn<bool>("custom");

    QTest::newRow("shipped unit kept over custom") << "foot" << 3.28084 << false;
    QTest::newRow("untouched unit") << "Metre" << 1.0 << false;
    QTest::newRow("new custom unit copied") << "Inch" << 39.37 << true;
    QTest::newRow("new shipped unit copied") << "Chain" << 0.0497 << false;
}

void TestCatUnits::mergeUnits()
{
    QFETCH(QString, name);
    QFETCH(double, factor);
    QFETCH(bool, custom);

    TConvCategories catalogue;
    TConvCategory* target = catalogue.AddCategory("Length");
    target->AddUnit("foot", false, 3.28084);
    target->AddUnit("Metre", false, 1.0);

    TConvCategories other;
    TConvCategory* source = other.AddCategory("Length");
    source->AddUnit("Foot", true, 99.0);
    source->AddUnit("Inch", true, 39.37);
    source->AddUnit("Chain", false, 0.0497);

    target->MergeUnits(*source);

    QCOMPARE(UnitNames(*target), (QStringList{"Chain", "foot", "Inch", "Metre"}));
    const int at = target->IndexOfUnit(name);
    QVERIFY(at >= 0);
    const TConvUnit* unit = target->Units(at);
    QCOMPARE(unit->Name, name);
    QCOMPARE(unit->Factor, factor);
    QCOMPARE(unit->Custom, custom);
    QCOMPARE(unit->Category, target);
    // The source keeps its own units.
    QCOMPARE(UnitNames(*source), (QStringList{"Chain", "Foot", "Inch"}));
    QCOMPARE(source->Units(1)->Factor, 99.0);
}

void TestCatUnits::mergeCatalogues()
{
    TConvCategories catalogue;
    TConvCategory* pressure = catalogue.AddCategory("Pressure");
    pressure->AddUnit("Pascal", false, 1.0);

    TConvCategories source;
    TConvCategory* lower = source.AddCategory("pressure");
    lower->AddUnit("Torr", true, 0.0075);
    lower->AddUnit("PASCAL", true, 5.0);
    TConvCategory* temperature = source.AddCategory("Temperature");
    temperature->IsTemperature = true;
    temperature->AddUnit("Degrees Celsius", true, 1.0);

    catalogue.Merge(source);

    QCOMPARE(CategoryNames(catalogue), (QStringList{"Pressure", "Temperature"}));
    QCOMPARE(UnitNames(*pressure), (QStringList{"Pascal", "Torr"}));
    QCOMPARE(pressure->Units(0)->Factor, 1.0);
    QCOMPARE(pressure->Units(0)->Custom, false);
    QCOMPARE(pressure->Units(1)->Custom, true);
    // Only reading a file sets the flag, whatever the category is called.
    TConvCategory* merged = catalogue.FindCategory("temperature");
    QVERIFY(merged != nullptr);
    QCOMPARE(merged->IsTemperature, false);
    QCOMPARE(merged->Catalogue, &catalogue);
    QCOMPARE(merged->Units(0)->Category, merged);
    QCOMPARE(catalogue.AddCategory("Temperature (2)")->IsTemperature, false);
    // The source still holds its own objects.
    QCOMPARE(source.Count(), 2);
    QCOMPARE(lower->UnitCount(), 2);
}

void TestCatUnits::removeUnit_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<bool>("dropIfEmpty");
    QTest::addColumn<bool>("categoryStays");

    QTest::newRow("last unit, drop") << 1 << true << false;
    QTest::newRow("last unit, keep") << 1 << false << true;
    QTest::newRow("not last, drop") << 2 << true << true;
}

void TestCatUnits::removeUnit()
{
    QFETCH(int, units);
    QFETCH(bool, dropIfEmpty);
    QFETCH(bool, categoryStays);

    TConvCategories catalogue;
    catalogue.AddCategory("Area");
    TConvCategory* category = catalogue.AddCategory("Custom stuff");
    TConvUnit* doomed = category->AddUnit("Widget", true, 2.0);
    if (units > 1)
        category->AddUnit("Gadget", true, 3.0);

    category->RemoveUnit(doomed, dropIfEmpty);

    QCOMPARE(catalogue.IndexOf("Custom stuff") >= 0, categoryStays);
    QCOMPARE(catalogue.Count(), categoryStays ? 2 : 1);
    if (categoryStays) {
        QCOMPARE(category->IndexOfUnit("Widget"), -1);
        QCOMPARE(category->UnitCount(), units - 1);
    }
}

void TestCatUnits::removeUnitTouchesOnlyThatUnit()
{
    TConvCategories catalogue;
    TConvCategory* length = catalogue.AddCategory("Length");
    TConvCategory* area = catalogue.AddCategory("Area");
    length->AddUnit("Rod");
    TConvUnit* areaRod = area->AddUnit("Rod");

    // A unit that this category does not hold removes nothing here, even by the same name.
    length->RemoveUnit(areaRod, true);
    QCOMPARE(length->UnitCount(), 1);
    QCOMPARE(catalogue.Count(), 2);

    // After an unchecked rename two entries share a name; each removal takes its own unit.
    TConvUnit* first = length->AddUnit("Perch");
    TConvUnit* second = length->AddUnit("Pole");
    second->Rename("PERCH");
    length->RemoveUnit(second, false);
    QCOMPARE(length->UnitCount(), 2);
    QCOMPARE(length->Units(length->IndexOfUnit("perch")), first);
}

void TestCatUnits::rename_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QStringList>("expected");

    // Category holds Bar, Foot, Metre, Yard.
    QTest::newRow("to the front") << "Yard"
                                  << "acre" << QStringList{"acre", "Bar", "Foot", "Metre"};
    QTest::newRow("to the back") << "Bar"
                                 << "Zoll" << QStringList{"Foot", "Metre", "Yard", "Zoll"};
    QTest::newRow("stays in place") << "Foot"
                                    << "Fathom" << QStringList{"Bar", "Fathom", "Metre", "Yard"};
    QTest::newRow("case only") << "Metre"
                               << "METRE" << QStringList{"Bar", "Foot", "METRE", "Yard"};
}

void TestCatUnits::rename()
{
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(QStringList, expected);

    TConvCategories catalogue;
    TConvCategory* category = catalogue.AddCategory("Test");
    for (const char* name : {"Yard", "Foot", "Metre", "Bar"})
        category->AddUnit(name, true, 2.5);
    TConvUnit* unit = category->Units(category->IndexOfUnit(oldName));

    unit->Rename(newName);

    QCOMPARE(unit->Name, newName);
    QCOMPARE(UnitNames(*category), expected);
    QCOMPARE(category->Units(category->IndexOfUnit(newName)), unit);
    if (CompareNames(oldName, newName) != 0)
        QCOMPARE(category->IndexOfUnit(oldName), -1);
    QCOMPARE(unit->Factor, 2.5);
    QCOMPARE(unit->Custom, true);
}

QTEST_GUILESS_MAIN(TestCatUnits)
#include "TestCatUnits.moc"
