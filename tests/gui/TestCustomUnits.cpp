#include "CustomUnits.h"

#include "gui/MainFormFixture.h"

#include "CatUnits.h"
#include "CatalogueFiles.h"
#include "PopupHelp.h"
#include "kestmsgdlg.h"
#include "prefs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <new>

namespace {

// Length: two built-in units (one of factor 1) and two custom ones. Mass: built-in units
// none of which has factor 1, one custom unit. Speed: custom units only. Area: built-in
// only. Temperature: the category read from the data files, which takes no custom units.
std::unique_ptr<TConvCategories> MakeCatalogue()
{
    auto catalogue = std::make_unique<TConvCategories>();
    TConvCategory* length = catalogue->AddCategory(QStringLiteral("Length"));
    length->AddUnit(QStringLiteral("Metres"), false, 1.0);
    length->AddUnit(QStringLiteral("Feet"), false, 3.25);
    length->AddUnit(QStringLiteral("Furlong"), true, 0.25);
    length->AddUnit(QStringLiteral("Chain"), true, 0.05);
    TConvCategory* mass = catalogue->AddCategory(QStringLiteral("Mass"));
    mass->AddUnit(QStringLiteral("Tonnes"), false, 0.001);
    mass->AddUnit(QStringLiteral("Grams"), false, 1000.0);
    mass->AddUnit(QStringLiteral("Stone"), true, 0.002);
    TConvCategory* speed = catalogue->AddCategory(QStringLiteral("Speed"));
    speed->AddUnit(QStringLiteral("Knot"), true, 2.0);
    speed->AddUnit(QStringLiteral("Kph"), true, 4.0);
    catalogue->AddCategory(QStringLiteral("Area"))->AddUnit(QStringLiteral("Square metres"), false, 1.0);
    TConvCategory* temperature = catalogue->AddCategory(QStringLiteral("Temperature"));
    temperature->AddUnit(QStringLiteral("Degrees Celsius"), false, 1.0);
    temperature->IsTemperature = true;
    return catalogue;
}

// "Category: unit=factor, ...; ..." for the units the filter selects; with ufAll the custom
// units are marked with *. Categories without such units are left out.
QString Dump(const TConvCategories& catalogue, TUnitFilter filter = TUnitFilter::ufCustom)
{
    QStringList categories;
    for (int c = 0; c < catalogue.Count(); ++c) {
        const TConvCategory* category = catalogue.Categories(c);
        QStringList units;
        for (int u = 0; u < category->UnitCount(); ++u) {
            const TConvUnit* unit = category->Units(u);
            if ((filter == TUnitFilter::ufCustom && !unit->Custom) ||
                (filter == TUnitFilter::ufBuiltIn && unit->Custom))
                continue;
            units << unit->Name + QLatin1Char('=') + QString::number(unit->Factor) +
                         (unit->Custom && filter == TUnitFilter::ufAll ? QStringLiteral("*") : QString());
        }
        if (!units.isEmpty())
            categories << category->Name + QStringLiteral(": ") + units.join(QStringLiteral(", "));
    }
    return categories.join(QStringLiteral("; "));
}

// Whether the unit is one of the catalogue's (compares addresses only: a freed unit is never
// read).
bool IsLive(const TConvCategories& catalogue, const TConvUnit* unit)
{
    for (int c = 0; c < catalogue.Count(); ++c) {
        const TConvCategory* category = catalogue.Categories(c);
        for (int u = 0; u < category->UnitCount(); ++u) {
            if (category->Units(u) == unit)
                return true;
        }
    }
    return false;
}

bool IsLive(const TConvCategories& catalogue, const TConvCategory* category)
{
    for (int c = 0; c < catalogue.Count(); ++c) {
        if (catalogue.Categories(c) == category)
            return true;
    }
    return false;
}

struct TMessage
{
    QString Text;
    TMsgDlgType Type;
};

} // namespace

class TestCustomUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void buildsWorkingCopy();
    void listTexts_data();
    void listTexts();
    void editingFollowsFocusedRow_data();
    void editingFollowsFocusedRow();
    void newUnit_data();
    void newUnit();
    void rename_data();
    void rename();
    void factor_data();
    void factor();
    void referenceUnit_data();
    void referenceUnit();
    void moveUnit_data();
    void moveUnit();
    void deleteUnit_data();
    void deleteUnit();
    void boxesApplyWhenLeft();
    void cancelChangesNothing();
    void commit_data();
    void commit();
    void duplicateNamesKeepDialogOpen_data();
    void duplicateNamesKeepDialogOpen();
    void customFileReadBackOnNextStart();
    void catalogueReloadedWhileOpen();
    void popupMenu();
    void preferencesDialog_data();
    void preferencesDialog();
    void factorBoxUsesMainEditMenu();
    void converterFollowsRenamedUnits_data();
    void converterFollowsRenamedUnits();
    void failedCommitLeavesConverterConsistent_data();
    void failedCommitLeavesConverterConsistent();

private:
    TUnitNode* Row(const QString& path) const;
    QStringList RowNames() const;
    void Focus(const QString& path);
    void Choose(QComboBox* box, const QString& text);
    void Run(const QStringList& actions);

    template <typename T> T* Control(const char* name) const
    {
        T* control = FPage->findChild<T*>(QLatin1String(name));
        Q_ASSERT(control != nullptr);
        return control;
    }
    TUnitsTree* Tree() const { return Control<TUnitsTree>("VSUnits"); }
    QComboBox* CmbCategory() const { return Control<QComboBox>("CmbCategory"); }
    QComboBox* CmbBaseUnit() const { return Control<QComboBox>("CmbBaseUnit"); }
    QLineEdit* EditName() const { return Control<QLineEdit>("EditName"); }
    QLineEdit* EditFactor() const { return Control<QLineEdit>("EditFactor"); }
    QLabel* LblUnitName() const { return Control<QLabel>("LblUnitName"); }

    std::unique_ptr<TConvCategories> FCatalogue;
    std::unique_ptr<TCustomUnitsPage> FPage;
    QList<TMessage> FMessages;
    std::optional<QString> FInputAnswer;
    QStringList FInputPrompts;
    QTemporaryDir FSettingsDir;
};

void TestCustomUnits::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(FSettingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FSettingsDir.path());
}

void TestCustomUnits::init()
{
    FMessages.clear();
    FInputPrompts.clear();
    FInputAnswer.reset();
    SetMessageDlgHook([this](const QString& text, TMsgDlgType type) {
        FMessages.append(TMessage{text, type});
        return QMessageBox::Ok;
    });
    FCatalogue = MakeCatalogue();
    FPage = std::make_unique<TCustomUnitsPage>();
    FPage->Setup(FCatalogue.get(), [] {
        TFormatSettings settings;
        settings.NumberFormat = 0;
        settings.Precision = 7;
        settings.Separators.Decimal = QLatin1Char('.');
        settings.Separators.Thousands = QLatin1Char(',');
        return settings;
    });
    FPage->SetInputBox([this](const QString& title, const QString& prompt) {
        FInputPrompts << title + QLatin1Char('|') + prompt;
        return FInputAnswer;
    });
    FPage->resize(400, 320);
    FPage->show();
    QApplication::setActiveWindow(FPage.get());
    QVERIFY(QTest::qWaitForWindowActive(FPage.get()));
    FPage->BuildWorkingCopy();
}

void TestCustomUnits::cleanup()
{
    FPage.reset();
    FCatalogue.reset();
    SetMessageDlgHook({});
}

// "Length" is the category row, "Length/Furlong" the first unit row of that name under it.
TUnitNode* TestCustomUnits::Row(const QString& path) const
{
    const QStringList parts = path.split(QLatin1Char('/'));
    for (TUnitNode* row : Tree()->Rows()) {
        if (row->IsCategory && row->Name == parts[0]) {
            if (parts.size() == 1)
                return row;
            for (int u = 0; u < row->childCount(); ++u) {
                if (row->UnitRow(u)->Name == parts[1])
                    return row->UnitRow(u);
            }
        }
    }
    return nullptr;
}

QStringList TestCustomUnits::RowNames() const
{
    QStringList names;
    for (const TUnitNode* row : Tree()->Rows())
        names << (row->IsCategory ? row->Name : QStringLiteral("  ") + row->Name);
    return names;
}

void TestCustomUnits::Focus(const QString& path)
{
    TUnitNode* row = path.isEmpty() ? nullptr : Row(path);
    QVERIFY2(path.isEmpty() || row != nullptr, qPrintable(path));
    Tree()->setCurrentItem(row);
}

// As the user picks an entry of a drop-down list.
void TestCustomUnits::Choose(QComboBox* box, const QString& text)
{
    const int at = box->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    QVERIFY2(at >= 0, qPrintable(text));
    box->setCurrentIndex(at);
    Q_EMIT box->activated(at);
}

// Edits written as "action|row|argument": focus, new (an empty row: nothing focused), delete,
// rename, factor, reference, move (to an entry of the category list; "<Add Category>" takes a
// fourth part, the answer of the input box).
void TestCustomUnits::Run(const QStringList& actions)
{
    for (const QString& action : actions) {
        const QStringList part = action.split(QLatin1Char('|'));
        const QString& verb = part[0];
        Focus(part.value(1));
        if (verb == QLatin1String("focus")) {
        } else if (verb == QLatin1String("new")) {
            FPage->BtnNewClick();
        } else if (verb == QLatin1String("delete")) {
            FPage->BtnDeleteClick();
        } else if (verb == QLatin1String("rename")) {
            EditName()->setText(part[2]);
            FPage->EditNameExit();
        } else if (verb == QLatin1String("factor")) {
            EditFactor()->setText(part[2]);
            FPage->EditFactorExit();
        } else if (verb == QLatin1String("reference")) {
            Choose(CmbBaseUnit(), part[2]);
        } else if (verb == QLatin1String("move")) {
            if (part.size() > 3)
                FInputAnswer = part[3];
            Choose(CmbCategory(), part[2]);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown action ") + action));
        }
    }
}

void TestCustomUnits::buildsWorkingCopy()
{
    // Only categories with custom units get a row; catalogue order throughout.
    QCOMPARE(RowNames(), (QStringList{QStringLiteral("Length"), QStringLiteral("  Chain"), QStringLiteral("  Furlong"),
                                      QStringLiteral("Mass"), QStringLiteral("  Stone"), QStringLiteral("Speed"),
                                      QStringLiteral("  Knot"), QStringLiteral("  Kph")}));
    // Every category but temperature; the entry that adds one comes first.
    QStringList entries;
    for (int i = 0; i < CmbCategory()->count(); ++i)
        entries << CmbCategory()->itemText(i);
    QCOMPARE(entries, (QStringList{QStringLiteral("<Add Category>"), QStringLiteral("Area"), QStringLiteral("Length"),
                                   QStringLiteral("Mass"), QStringLiteral("Speed")}));
    QCOMPARE(CmbCategory()->itemData(0).toInt(), kAddCategoryTag);
    QCOMPARE(CmbCategory()->itemData(1).toInt(), kCategoryTag);
    QCOMPARE(Tree()->headerItem()->text(0), QStringLiteral("Unit Name"));
    QCOMPARE(Tree()->headerItem()->text(1), QStringLiteral("Conversion Factor"));

    // The first row is focused; editing starts disabled and empty.
    QCOMPARE(FPage->FocusedRow(), Row(QStringLiteral("Length")));
    QVERIFY(!EditName()->isEnabled());
    QVERIFY(!CmbCategory()->isEnabled());
    QVERIFY(!Control<QPushButton>("BtnDelete")->isEnabled());
    QVERIFY(Control<QPushButton>("BtnNew")->isEnabled());
    QCOMPARE(CmbCategory()->currentText(), QString());
    QCOMPARE(LblUnitName()->text(), QString());
}

void TestCustomUnits::listTexts_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");
    QTest::newRow("against a built-in unit of factor 1") << "Length/Furlong"
                                                         << "4 Metres";
    QTest::newRow("against a built-in unit of another factor") << "Mass/Stone"
                                                               << "0.5 Tonnes";
    QTest::newRow("custom units only, closest to 1 is the reference") << "Speed/Kph"
                                                                      << "0.5 Knot";
    QTest::newRow("the reference itself") << "Speed/Knot"
                                          << "1 Knot";
    QTest::newRow("category row") << "Length"
                                  << "";
}

void TestCustomUnits::listTexts()
{
    QFETCH(QString, row);
    QFETCH(QString, expected);
    QCOMPARE(Row(row)->text(1), expected);
    QCOMPARE(Row(row)->text(0), row.section(QLatin1Char('/'), -1));
}

void TestCustomUnits::editingFollowsFocusedRow_data()
{
    QTest::addColumn<QString>("keys"); // typed into the list; ">" stands for the Down key
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("factor");
    QTest::newRow("down to a unit") << ">"
                                    << "Chain"
                                    << "Length"
                                    << "Metres"
                                    << "0.05";
    QTest::newRow("down again") << ">>"
                                << "Furlong"
                                << "Length"
                                << "Metres"
                                << "0.25";
    QTest::newRow("down to a category row") << ">>>"
                                            << ""
                                            << ""
                                            << ""
                                            << "";
    QTest::newRow("type-ahead into another category") << "kp"
                                                      << "Kph"
                                                      << "Speed"
                                                      << "Knot"
                                                      << "2";
    QTest::newRow("type-ahead, other case") << "STO"
                                            << "Stone"
                                            << "Mass"
                                            << "Tonnes"
                                            << "2";
}

void TestCustomUnits::editingFollowsFocusedRow()
{
    QFETCH(QString, keys);
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, reference);
    QFETCH(QString, factor);

    Tree()->setFocus();
    for (const QChar key : keys) {
        if (key == QLatin1Char('>'))
            QTest::keyClick(Tree(), Qt::Key_Down);
        else
            QTest::keyClicks(Tree(), QString(key));
    }
    QCOMPARE(EditName()->text(), name);
    QCOMPARE(EditName()->isEnabled(), !name.isEmpty());
    QCOMPARE(CmbCategory()->currentText(), category);
    QCOMPARE(CmbBaseUnit()->currentText(), reference);
    QCOMPARE(EditFactor()->text(), factor);
    QCOMPARE(LblUnitName()->text(), name.isEmpty() ? QString() : QStringLiteral("x ") + name);
}

void TestCustomUnits::newUnit_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<bool>("factorEnabled");
    QTest::addColumn<QString>("listText");
    QTest::newRow("reference of factor 1") << "Length"
                                           << "Length"
                                           << "Metres"
                                           << "1" << true << "1 Metres";
    QTest::newRow("from a unit row") << "Length/Furlong"
                                     << "Length"
                                     << "Metres"
                                     << "1" << true << "1 Metres";
    QTest::newRow("reference of another factor") << "Mass"
                                                 << "Mass"
                                                 << "Tonnes"
                                                 << "1000" << true << "0.001 Tonnes";
    // Nothing focused: the first category of the list, which has no row yet.
    QTest::newRow("nothing focused") << ""
                                     << "Area"
                                     << "Square metres"
                                     << "1" << true << "1 Square metres";
    // Among custom units only, the new unit's own factor 1 makes it the reference.
    QTest::newRow("becomes its own reference") << "Speed"
                                               << "Speed"
                                               << "New unit"
                                               << "1" << false << "1 New unit";
}

void TestCustomUnits::newUnit()
{
    QFETCH(QString, focus);
    QFETCH(QString, category);
    QFETCH(QString, reference);
    QFETCH(QString, factor);
    QFETCH(bool, factorEnabled);
    QFETCH(QString, listText);

    Focus(focus);
    FPage->BtnNewClick();

    TUnitNode* row = FPage->FocusedRow();
    QVERIFY(row != nullptr && !row->IsCategory);
    QCOMPARE(row->CategoryRow()->Name, category);
    QCOMPARE(row->CategoryRow()->child(row->CategoryRow()->childCount() - 1), row);
    QCOMPARE(row->Name, QStringLiteral("New unit"));
    QCOMPARE(row->Factor, 1.0);
    QVERIFY(row->LinkName.isEmpty());
    QCOMPARE(row->text(1), listText);
    QCOMPARE(EditName()->text(), QStringLiteral("New unit"));
    QVERIFY(EditName()->hasFocus());
    QCOMPARE(CmbCategory()->currentText(), category);
    QCOMPARE(CmbBaseUnit()->currentText(), reference);
    QCOMPARE(EditFactor()->text(), factor);
    QCOMPARE(EditFactor()->isEnabled(), factorEnabled);
    QCOMPARE(LblUnitName()->text(), QStringLiteral("x New unit"));

    QVERIFY(FPage->ValidateWorkingCopy());
    FPage->CommitCustomUnits();
    const TConvCategory* committed = FCatalogue->FindCategory(category);
    QVERIFY(committed != nullptr);
    const int at = committed->IndexOfUnit(QStringLiteral("New unit"));
    QVERIFY(at >= 0);
    QVERIFY(committed->Units(at)->Custom);
    QCOMPARE(committed->Units(at)->Factor, 1.0);
}

void TestCustomUnits::rename_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message"); // empty: accepted
    const QString taken = QString::fromLatin1(kUnitNameTaken);
    QTest::newRow("free name") << QStringList() << "Length/Furlong"
                               << "Rod"
                               << "";
    QTest::newRow("own name in other case, still in the catalogue") << QStringList() << "Length/Furlong"
                                                                    << "furlong" << taken;
    QTest::newRow("built-in unit, other case") << QStringList() << "Length/Chain"
                                               << "METRES" << taken;
    QTest::newRow("a deleted unit's name") << QStringList{QStringLiteral("delete|Length/Chain")} << "Length/Furlong"
                                           << "chain" << taken;
    QTest::newRow("empty") << QStringList() << "Length/Furlong"
                           << "" << QString::fromLatin1(kEnterUnitName);
    QTest::newRow("not storable in the data file")
        << QStringList() << "Length/Furlong" << QStringLiteral("Furlong \u03A9")
        << QString::fromLatin1(kNameNotStorable).arg(QStringLiteral("Furlong \u03A9"));
    QTest::newRow("built-in name in a category only in the working copy")
        << QStringList{QStringLiteral("move|Length/Furlong|<Add Category>|Flow")} << "Flow/Furlong"
        << "Metres"
        << "";
    QTest::newRow("name of a unit in another category") << QStringList() << "Length/Furlong"
                                                        << "Knot"
                                                        << "";
}

void TestCustomUnits::rename()
{
    QFETCH(QStringList, before);
    QFETCH(QString, row);
    QFETCH(QString, name);
    QFETCH(QString, message);

    Run(before);
    TUnitNode* node = Row(row);
    QVERIFY(node != nullptr);
    const QString oldName = node->Name;
    FMessages.clear();
    Run({QStringLiteral("rename|") + row + QLatin1Char('|') + name});

    if (message.isEmpty()) {
        QVERIFY(FMessages.isEmpty());
        QCOMPARE(node->Name, name);
        QCOMPARE(node->text(0), name);
        QCOMPARE(LblUnitName()->text(), QStringLiteral("x ") + name);
        QVERIFY(CmbBaseUnit()->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0);
        QCOMPARE(CmbBaseUnit()->findText(oldName, Qt::MatchFixedString | Qt::MatchCaseSensitive), -1);
    } else {
        QCOMPARE(FMessages.size(), 1);
        QCOMPARE(FMessages[0].Text, message);
        QCOMPARE(FMessages[0].Type, TMsgDlgType::mtError);
        QCOMPARE(node->Name, oldName);
        QTRY_VERIFY(EditName()->hasFocus());
        // The dialog cannot be closed with the refused text.
        QVERIFY(!FPage->ValidateWorkingCopy());
    }
}

void TestCustomUnits::factor_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("listText");
    QTest::newRow("against factor 1") << "Length/Furlong"
                                      << "2.5" << 2.5 << "" << false << "0.4 Metres";
    QTest::newRow("negative") << "Length/Furlong"
                              << "-2" << -2.0 << "" << false << "-0.5 Metres";
    QTest::newRow("against another factor") << "Mass/Stone"
                                            << "500" << 0.5 << "" << false << "0.002 Tonnes";
    QTest::newRow("zero") << "Length/Furlong"
                          << "0" << 0.25 << QString::fromLatin1(kNonZeroFactor) << true << "4 Metres";
    QTest::newRow("unreadable: a beep only") << "Length/Furlong"
                                             << "abc" << 0.25 << "" << true << "4 Metres";
    QTest::newRow("empty: a beep only") << "Length/Furlong"
                                        << "" << 0.25 << "" << true << "4 Metres";
}

void TestCustomUnits::factor()
{
    QFETCH(QString, row);
    QFETCH(QString, text);
    QFETCH(double, factor);
    QFETCH(QString, message);
    QFETCH(bool, refused);
    QFETCH(QString, listText);

    Run({QStringLiteral("factor|") + row + QLatin1Char('|') + text});
    QCOMPARE(Row(row)->Factor, factor);
    QCOMPARE(Row(row)->text(1), listText);
    QCOMPARE(FMessages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(FMessages[0].Text, message);
    if (refused)
        QTRY_VERIFY(EditFactor()->hasFocus());
    QCOMPARE(FPage->ValidateWorkingCopy(), !refused);
}

void TestCustomUnits::referenceUnit_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<double>("referenceFactor");
    QTest::newRow("itself") << "Furlong" << false << "1" << 1.0;
    QTest::newRow("built-in unit") << "Feet" << true << "0.07692308" << 3.25;
    QTest::newRow("another custom unit") << "Chain" << true << "5" << 0.05;
    QTest::newRow("back to the reference") << "Metres" << true << "0.25" << 1.0;
}

void TestCustomUnits::referenceUnit()
{
    QFETCH(QString, reference);
    QFETCH(bool, enabled);
    QFETCH(QString, factor);
    QFETCH(double, referenceFactor);

    Run({QStringLiteral("reference|Length/Furlong|") + reference});
    QCOMPARE(EditFactor()->isEnabled(), enabled);
    QCOMPARE(EditFactor()->text(), factor);
    QCOMPARE(FPage->ReferenceFactor(), referenceFactor);
    // The unit's own factor does not change by choosing a reference.
    QCOMPARE(Row(QStringLiteral("Length/Furlong"))->Factor, 0.25);

    // A factor typed now is read against the chosen reference.
    if (enabled) {
        Run({QStringLiteral("factor|Length/Furlong|2")});
        QCOMPARE(Row(QStringLiteral("Length/Furlong"))->Factor, 2 * referenceFactor);
    }
}

void TestCustomUnits::moveUnit_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("answer"); // of the input box; "-" for cancel
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("shown"); // category list afterwards
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QString>("message");

    const QString stone = QStringLiteral("  Stone");
    const QStringList length{QStringLiteral("Length"), QStringLiteral("  Chain"), QStringLiteral("  Furlong")};
    const QStringList speed{QStringLiteral("Speed"), QStringLiteral("  Knot"), QStringLiteral("  Kph")};
    const QStringList unchanged = length + QStringList{QStringLiteral("Mass"), stone} + speed;

    QTest::newRow("last unit out of its category") << "Mass/Stone"
                                                   << "Length"
                                                   << "" << (length + QStringList{stone} + speed) << "Length"
                                                   << "0.002"
                                                   << "";
    QTest::newRow("into a catalogue category without a row")
        << "Mass/Stone"
        << "Area"
        << "" << (length + speed + QStringList{QStringLiteral("Area"), stone}) << "Area"
        << "0.002"
        << "";
    QTest::newRow("not the last unit") << "Speed/Knot"
                                       << "Length"
                                       << ""
                                       << (length + QStringList{QStringLiteral("  Knot"), QStringLiteral("Mass"), stone,
                                                                QStringLiteral("Speed"), QStringLiteral("  Kph")})
                                       << "Length"
                                       << "2"
                                       << "";
    QTest::newRow("new category") << "Mass/Stone"
                                  << "<Add Category>"
                                  << "Flow" << (length + speed + QStringList{QStringLiteral("Flow"), stone}) << "Flow"
                                  << ""
                                  << "";
    QTest::newRow("category named again in other case") << "Mass/Stone"
                                                        << "<Add Category>"
                                                        << "length" << (length + QStringList{stone} + speed) << "Length"
                                                        << "0.002"
                                                        << "";
    QTest::newRow("temperature refused") << "Mass/Stone"
                                         << "<Add Category>"
                                         << "temperature" << unchanged << "Mass"
                                         << "2"
                                         << "Sorry, you cannot add units to the Temperature category.";
    QTest::newRow("input cancelled") << "Mass/Stone"
                                     << "<Add Category>"
                                     << "-" << unchanged << "Mass"
                                     << "2"
                                     << "";
    QTest::newRow("input empty") << "Mass/Stone"
                                 << "<Add Category>"
                                 << "" << unchanged << "Mass"
                                 << "2"
                                 << "";
    QTest::newRow("same category") << "Mass/Stone"
                                   << "Mass"
                                   << "" << unchanged << "Mass"
                                   << "2"
                                   << "";
}

void TestCustomUnits::moveUnit()
{
    QFETCH(QString, row);
    QFETCH(QString, entry);
    QFETCH(QString, answer);
    QFETCH(QStringList, rows);
    QFETCH(QString, shown);
    QFETCH(QString, factor);
    QFETCH(QString, message);

    Focus(row);
    TUnitNode* unit = FPage->FocusedRow();
    if (answer != QLatin1String("-"))
        FInputAnswer = answer;
    Choose(CmbCategory(), entry);

    QCOMPARE(RowNames(), rows);
    QCOMPARE(CmbCategory()->currentText(), shown);
    QCOMPARE(FPage->FocusedRow(), unit);
    QCOMPARE(EditName()->text(), unit->Name);
    // The factor box states the factor against the reference of the unit's category now.
    // Stone alone in a new category is its own reference.
    QCOMPARE(EditFactor()->text(), factor.isEmpty() ? QStringLiteral("1") : factor);
    QCOMPARE(EditFactor()->isEnabled(), !factor.isEmpty());
    if (entry == QLatin1String("<Add Category>"))
        QCOMPARE(FInputPrompts, QStringList{QStringLiteral("Add Category|Enter the name of the new category")});
    QCOMPARE(FMessages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(FMessages[0].Text, message);
        QCOMPARE(FMessages[0].Type, TMsgDlgType::mtInformation);
    }
    // A new category joins the category list.
    QVERIFY(CmbCategory()->findText(shown) > 0);
}

void TestCustomUnits::deleteUnit_data()
{
    QTest::addColumn<QStringList>("rows"); // deleted one after the other
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QStringList>("remaining");

    QTest::newRow("unit with a next row")
        << QStringList{QStringLiteral("Length/Chain")} << false << "Furlong"
        << QStringList{QStringLiteral("Length"),  QStringLiteral("  Furlong"), QStringLiteral("Mass"),
                       QStringLiteral("  Stone"), QStringLiteral("Speed"),     QStringLiteral("  Knot"),
                       QStringLiteral("  Kph")};
    QTest::newRow("only unit of its category, by the Delete key")
        << QStringList{QStringLiteral("Mass/Stone")} << true << "Speed"
        << QStringList{QStringLiteral("Length"), QStringLiteral("  Chain"), QStringLiteral("  Furlong"),
                       QStringLiteral("Speed"),  QStringLiteral("  Knot"),  QStringLiteral("  Kph")};
    QTest::newRow("last row") << QStringList{QStringLiteral("Speed/Kph")} << false << "Knot"
                              << QStringList{QStringLiteral("Length"),    QStringLiteral("  Chain"),
                                             QStringLiteral("  Furlong"), QStringLiteral("Mass"),
                                             QStringLiteral("  Stone"),   QStringLiteral("Speed"),
                                             QStringLiteral("  Knot")};
    QTest::newRow("last category emptied from its end")
        << QStringList{QStringLiteral("Speed/Kph"), QStringLiteral("Speed/Knot")} << true << "Stone"
        << QStringList{QStringLiteral("Length"), QStringLiteral("  Chain"), QStringLiteral("  Furlong"),
                       QStringLiteral("Mass"), QStringLiteral("  Stone")};
    QTest::newRow("everything") << QStringList{QStringLiteral("Length/Chain"), QStringLiteral("Length/Furlong"),
                                               QStringLiteral("Mass/Stone"), QStringLiteral("Speed/Knot"),
                                               QStringLiteral("Speed/Kph")}
                                << false << "" << QStringList();
    QTest::newRow("category row: nothing")
        << QStringList{QStringLiteral("Mass")} << true << "Mass"
        << QStringList{QStringLiteral("Length"), QStringLiteral("  Chain"), QStringLiteral("  Furlong"),
                       QStringLiteral("Mass"),   QStringLiteral("  Stone"), QStringLiteral("Speed"),
                       QStringLiteral("  Knot"), QStringLiteral("  Kph")};
}

void TestCustomUnits::deleteUnit()
{
    QFETCH(QStringList, rows);
    QFETCH(bool, byKey);
    QFETCH(QString, focused);
    QFETCH(QStringList, remaining);

    const QString before = Dump(*FCatalogue, TUnitFilter::ufAll);
    for (const QString& row : rows) {
        Focus(row);
        if (byKey) {
            Tree()->setFocus();
            QTest::keyClick(Tree(), Qt::Key_Delete);
        } else {
            FPage->BtnDeleteClick();
        }
    }
    QCOMPARE(RowNames(), remaining);
    QCOMPARE(FPage->FocusedRow() != nullptr ? FPage->FocusedRow()->Name : QString(), focused);
    const bool unitShown = FPage->FocusedRow() != nullptr && !FPage->FocusedRow()->IsCategory;
    QCOMPARE(EditName()->text(), unitShown ? focused : QString());
    QCOMPARE(EditName()->isEnabled(), unitShown);
    QVERIFY(FMessages.isEmpty());
    // Nothing reaches the catalogue before OK.
    QCOMPARE(Dump(*FCatalogue, TUnitFilter::ufAll), before);
}

// Leaving a box applies its text; pressing OK (Enter) while a box is being edited applies it too.
void TestCustomUnits::boxesApplyWhenLeft()
{
    Focus(QStringLiteral("Length/Furlong"));
    EditName()->setFocus();
    EditName()->setText(QStringLiteral("Rod"));
    EditFactor()->setFocus();
    QCOMPARE(Row(QStringLiteral("Length/Rod"))->Factor, 0.25);

    EditFactor()->setText(QStringLiteral("0.5"));
    Tree()->setFocus();
    QCOMPARE(Row(QStringLiteral("Length/Rod"))->Factor, 0.5);

    // Refused on leaving: the message, then the focus back in the box.
    EditName()->setFocus();
    EditName()->setText(QStringLiteral("Feet"));
    Tree()->setFocus();
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages[0].Text, QString::fromLatin1(kUnitNameTaken));
    QTRY_VERIFY(EditName()->hasFocus());
    QVERIFY(Row(QStringLiteral("Length/Rod")) != nullptr);

    // Still in the box, OK applies the corrected text.
    EditName()->setText(QStringLiteral("Perch"));
    QVERIFY(FPage->ValidateWorkingCopy());
    QVERIFY(Row(QStringLiteral("Length/Perch")) != nullptr);
    FPage->CommitCustomUnits();
    QCOMPARE(Dump(*FCatalogue),
             QStringLiteral("Length: Chain=0.05, Perch=0.5; Mass: Stone=0.002; Speed: Knot=2, Kph=4"));
}

void TestCustomUnits::cancelChangesNothing()
{
    const QString before = Dump(*FCatalogue, TUnitFilter::ufAll);
    const QStringList rowsBefore = RowNames();
    Run({QStringLiteral("rename|Length/Furlong|Rod"), QStringLiteral("factor|Length/Rod|9"),
         QStringLiteral("delete|Length/Chain"), QStringLiteral("move|Mass/Stone|<Add Category>|Flow"),
         QStringLiteral("new|Speed"), QStringLiteral("delete|Speed/Knot")});
    QVERIFY(RowNames() != rowsBefore);

    // Cancel commits nothing; the next showing starts again from the catalogue.
    FPage->BuildWorkingCopy();
    QCOMPARE(Dump(*FCatalogue, TUnitFilter::ufAll), before);
    QCOMPARE(RowNames(), rowsBefore);
    QVERIFY(FPage->DeletedUnits().empty());
    QCOMPARE(CmbCategory()->findText(QStringLiteral("Flow")), -1);
    QVERIFY(!EditName()->isEnabled());
}

void TestCustomUnits::commit_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("custom");     // custom units after OK
    QTest::addColumn<QStringList>("absent"); // categories gone from the catalogue

    QTest::newRow("nothing changed") << QStringList()
                                     << "Length: Chain=0.05, Furlong=0.25; Mass: Stone=0.002; Speed: Knot=2, Kph=4"
                                     << QStringList();
    QTest::newRow("rename and factor") << QStringList{QStringLiteral("rename|Length/Furlong|Rod"),
                                                      QStringLiteral("factor|Length/Rod|4")}
                                       << "Length: Chain=0.05, Rod=4; Mass: Stone=0.002; Speed: Knot=2, Kph=4"
                                       << QStringList();
    QTest::newRow("delete, category left empty disappears")
        << QStringList{QStringLiteral("delete|Speed/Knot"), QStringLiteral("delete|Speed/Kph")}
        << "Length: Chain=0.05, Furlong=0.25; Mass: Stone=0.002" << QStringList{QStringLiteral("Speed")};
    QTest::newRow("move into a new category")
        << QStringList{QStringLiteral("move|Mass/Stone|<Add Category>|Flow")}
        << "Flow: Stone=0.002; Length: Chain=0.05, Furlong=0.25; Speed: Knot=2, Kph=4" << QStringList();
    QTest::newRow("move the last custom unit of a custom-only category")
        << QStringList{QStringLiteral("delete|Speed/Kph"), QStringLiteral("move|Speed/Knot|Length")}
        << "Length: Chain=0.05, Furlong=0.25, Knot=2; Mass: Stone=0.002" << QStringList{QStringLiteral("Speed")};
    QTest::newRow("new units in an existing category and a built-in one")
        << QStringList{QStringLiteral("new|"), QStringLiteral("rename|Area/New unit|Acre"),
                       QStringLiteral("factor|Area/Acre|0.0002"), QStringLiteral("new|Length")}
        << "Area: Acre=0.0002; Length: Chain=0.05, Furlong=0.25, New unit=1; Mass: Stone=0.002; Speed: Knot=2, Kph=4"
        << QStringList();
    // The category of a row is emptied during the commit by a unit moved into a row listed
    // before it; the row's units go into a category of that name made again.
    QTest::newRow("linked category emptied by a move into an earlier row")
        << QStringList{QStringLiteral("delete|Speed/Kph"), QStringLiteral("new|Speed"),
                       QStringLiteral("move|Speed/Knot|Length")}
        << "Length: Chain=0.05, Furlong=0.25, Knot=2; Mass: Stone=0.002; Speed: New unit=1" << QStringList();
    QTest::newRow("category deleted and named again")
        << QStringList{QStringLiteral("delete|Speed/Knot"), QStringLiteral("delete|Speed/Kph"),
                       QStringLiteral("move|Mass/Stone|Speed")}
        << "Length: Chain=0.05, Furlong=0.25; Speed: Stone=0.002" << QStringList();
    // A moved unit arrives under a name that a unit of the same category gives up later in
    // the list: the edits are consistent and must be committed whole.
    QTest::newRow("name given up by a unit listed later")
        << QStringList{QStringLiteral("rename|Length/Chain|Rod"), QStringLiteral("move|Length/Rod|Speed"),
                       QStringLiteral("rename|Speed/Knot|Chain"), QStringLiteral("move|Speed/Chain|Length"),
                       QStringLiteral("move|Speed/Rod|Length")}
        << "Length: Chain=2, Furlong=0.25, Rod=0.05; Mass: Stone=0.002; Speed: Kph=4" << QStringList();
}

void TestCustomUnits::commit()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, custom);
    QFETCH(QStringList, absent);

    const QString builtIn = Dump(*FCatalogue, TUnitFilter::ufBuiltIn);
    Run(actions);
    QVERIFY(FMessages.isEmpty());
    QVERIFY(FPage->ValidateWorkingCopy());
    FPage->CommitCustomUnits();

    QCOMPARE(Dump(*FCatalogue), custom);
    for (const QString& name : absent)
        QCOMPARE(FCatalogue->IndexOf(name), -1);
    // Built-in units are never touched.
    QCOMPARE(Dump(*FCatalogue, TUnitFilter::ufBuiltIn), builtIn);

    // The next showing lists exactly what was committed.
    FPage->BuildWorkingCopy();
    QCOMPARE(Dump(*FCatalogue), custom);
}

void TestCustomUnits::duplicateNamesKeepDialogOpen_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("offending"); // position of the row to be selected in its category

    QTest::newRow("two new units") << QStringList{QStringLiteral("new|Length"), QStringLiteral("new|Length")}
                                   << "New unit"
                                   << "Length" << 3;
    QTest::newRow("moved onto a unit renamed in the target")
        << QStringList{QStringLiteral("rename|Length/Chain|Knot"), QStringLiteral("move|Speed/Knot|Length")} << "Knot"
        << "Length" << 2;
    QTest::newRow("moved onto a built-in unit")
        << QStringList{QStringLiteral("rename|Speed/Kph|FEET"), QStringLiteral("move|Speed/FEET|Length")} << "FEET"
        << "Length" << 2;
}

void TestCustomUnits::duplicateNamesKeepDialogOpen()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(int, offending);

    const QString before = Dump(*FCatalogue, TUnitFilter::ufAll);
    Run(actions);
    QVERIFY(FMessages.isEmpty());
    Focus(QStringLiteral("Mass/Stone"));

    QVERIFY(!FPage->ValidateWorkingCopy());
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages[0].Text, QString::fromLatin1(kNameClash).arg(name, category));
    QCOMPARE(FMessages[0].Type, TMsgDlgType::mtError);

    // The offending row is selected and shown for editing.
    TUnitNode* row = FPage->FocusedRow();
    QCOMPARE(row, Row(category)->UnitRow(offending));
    QVERIFY(row->isSelected());
    QCOMPARE(EditName()->text(), name);
    QVERIFY(EditName()->hasFocus());

    // Committing anyway changes nothing at all.
    QVERIFY_THROWS_EXCEPTION(EConvError, FPage->CommitCustomUnits());
    QCOMPARE(Dump(*FCatalogue, TUnitFilter::ufAll), before);

    // Once the name is changed, OK goes through.
    EditName()->setText(QStringLiteral("Unique"));
    QVERIFY(FPage->ValidateWorkingCopy());
    FPage->CommitCustomUnits();
    QVERIFY(FCatalogue->FindCategory(category)->IndexOfUnit(QStringLiteral("Unique")) >= 0);
}

// OK commits, the main window writes custom.dat, and the next start reads the units back.
void TestCustomUnits::customFileReadBackOnNextStart()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    {
        QFile units(folder + QStringLiteral("units.dat"));
        QVERIFY(units.open(QIODevice::WriteOnly));
        units.write("11");
        FCatalogue->SaveToStream(units, TUnitFilter::ufBuiltIn);
    }

    Run({QStringLiteral("delete|Speed/Kph"), QStringLiteral("move|Mass/Stone|<Add Category>|Flow"),
         QStringLiteral("rename|Length/Furlong|Rod"), QStringLiteral("new|")});
    QVERIFY(FPage->ValidateWorkingCopy());
    FPage->CommitCustomUnits();
    SaveCustomUnits(*FCatalogue, folder);

    // custom.dat holds the custom units and nothing else.
    TConvCategories stored;
    {
        QFile custom(folder + QStringLiteral("custom.dat"));
        QVERIFY(custom.open(QIODevice::ReadOnly));
        QCOMPARE(custom.read(2), QByteArray("11"));
        stored.LoadFromStream(custom, true);
        QVERIFY(custom.atEnd());
    }
    const QString expected =
        QStringLiteral("Area: New unit=1; Flow: Stone=0.002; Length: Chain=0.05, Rod=0.25; Speed: Knot=2");
    QCOMPARE(Dump(stored), expected);
    for (int c = 0; c < stored.Count(); ++c) {
        for (int u = 0; u < stored.Categories(c)->UnitCount(); ++u)
            QVERIFY(stored.Categories(c)->Units(u)->Custom);
    }

    TConvCategories restarted;
    const TLoadResult result = LoadCatalogueFiles(restarted, folder, false);
    QVERIFY2(result.Ok, qPrintable(result.Message));
    QCOMPARE(Dump(restarted), expected);
    QCOMPARE(Dump(restarted, TUnitFilter::ufAll), Dump(*FCatalogue, TUnitFilter::ufAll));
}

// The update wizard, opened from the dialog, may reload the catalogue while the working copy
// is open: every catalogue object the page was built from is then gone.
void TestCustomUnits::catalogueReloadedWhileOpen()
{
    Run({QStringLiteral("rename|Length/Furlong|Rod"), QStringLiteral("delete|Speed/Knot"),
         QStringLiteral("move|Mass/Stone|Length")});
    FCatalogue->Clear();
    std::unique_ptr<TConvCategories> fresh = MakeCatalogue();
    fresh->RemoveCategory(fresh->FindCategory(QStringLiteral("Mass")));
    FCatalogue->Merge(*fresh);
    fresh.reset();

    Run({QStringLiteral("focus|Length/Rod"), QStringLiteral("factor|Length/Rod|0.5"), QStringLiteral("new|Speed")});
    QVERIFY(FPage->ValidateWorkingCopy());
    FPage->CommitCustomUnits();
    QCOMPARE(Dump(*FCatalogue), QStringLiteral("Length: Chain=0.05, Rod=0.5, Stone=0.002; Speed: Kph=4, New unit=1"));
}

void TestCustomUnits::popupMenu()
{
    QMenu* popup = FPage->CustomPopup();
    QCOMPARE(popup->objectName(), QStringLiteral("CustomPopup"));
    QStringList texts;
    for (QAction* action : popup->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(texts, (QStringList{QStringLiteral("&New..."), QStringLiteral("&Delete"), QStringLiteral("-"),
                                 QStringLiteral("&What's This?")}));
    QAction* remove = popup->actions().at(1);

    Focus(QStringLiteral("Length"));
    FPage->CustomPopupPopup();
    QVERIFY(!remove->isEnabled());
    Focus(QStringLiteral("Length/Chain"));
    FPage->CustomPopupPopup();
    QVERIFY(remove->isEnabled());
    remove->trigger();
    QCOMPARE(Row(QStringLiteral("Length/Chain")), nullptr);

    popup->actions().at(0)->trigger();
    QCOMPARE(FPage->FocusedRow()->Name, QStringLiteral("New unit"));

    QSignalSpy whatsThis(FPage.get(), &TCustomUnitsPage::WhatsThisRequested);
    popup->actions().at(3)->trigger();
    QCOMPARE(whatsThis.size(), 1);
    QCOMPARE(whatsThis[0][0].toInt(), kUnitListHelpContext);
}

// The page inside the preferences dialog, with the main window doing its part after OK.
void TestCustomUnits::preferencesDialog_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("newUnits");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("written"); // custom.dat

    QTest::newRow("a new unit") << QStringList() << 1 << true << true;
    QTest::newRow("two units of one name") << QStringList() << 2 << false << false;
    QTest::newRow("read-only") << QStringList{QStringLiteral("/readonly")} << 0 << true << false;
}

void TestCustomUnits::preferencesDialog()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, newUnits);
    QFETCH(bool, accepted);
    QFETCH(bool, written);

    FPage.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    Fixture::WriteStandardData(folder);
    std::unique_ptr<TMainForm> window = Fixture::StartForm(folder, arguments);
    QVERIFY(!window->TerminateRequested());
    auto prefs = std::make_unique<TPrefsForm>(window.get());
    prefs->show();
    QVERIFY(QTest::qWaitForWindowExposed(prefs.get()));

    auto* pages = prefs->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    auto* customTab = prefs->findChild<QWidget*>(QStringLiteral("TabCustom"));
    auto* page = prefs->findChild<TCustomUnitsPage*>();
    QVERIFY(pages != nullptr && customTab != nullptr && page != nullptr);
    QCOMPARE(pages->isTabVisible(pages->indexOf(customTab)), !window->ReadOnly());
    for (int i = 0; i < newUnits; ++i)
        page->BtnNewClick();
    const int precision = window->Precision;
    prefs->findChild<QSpinBox*>(QStringLiteral("SpinPrecision"))->setValue(precision == 3 ? 4 : 3);

    QTest::mouseClick(prefs->findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    QCOMPARE(prefs->isVisible(), !accepted);
    if (accepted) {
        QCOMPARE(prefs->result(), int(QDialog::Accepted));
        window->RefreshAfterPreferences();
    } else {
        // Nothing of the dialog was applied; the user sees the page and the row to correct.
        QCOMPARE(FMessages.size(), 1);
        QCOMPARE(FMessages[0].Text,
                 QString::fromLatin1(kNameClash).arg(QStringLiteral("New unit"), QStringLiteral("Length")));
        QCOMPARE(window->Precision, precision);
        QCOMPARE(pages->currentWidget(), customTab);
        QCOMPARE(page->FocusedRow()->Name, QStringLiteral("New unit"));
        QCOMPARE(window->Catalogue().FindCategory(QStringLiteral("Length"))->IndexOfUnit(QStringLiteral("New unit")),
                 -1);
    }
    QCOMPARE(QFile::exists(folder + QStringLiteral("custom.dat")), written);

    if (written) {
        // In the converter at once, and again after a restart.
        auto* units = window->findChild<QListWidget*>(QStringLiteral("LstFromUnits"));
        QVERIFY(Fixture::ItemTexts(units).contains(QStringLiteral("New unit")));
        prefs.reset();
        window.reset();
        std::unique_ptr<TMainForm> restarted = Fixture::StartForm(folder);
        const TConvCategory* length = restarted->Catalogue().FindCategory(QStringLiteral("Length"));
        const int at = length->IndexOfUnit(QStringLiteral("New unit"));
        QVERIFY(at >= 0);
        QVERIFY(length->Units(at)->Custom);
        QVERIFY(Fixture::ItemTexts(restarted->findChild<QListWidget*>(QStringLiteral("LstFromUnits")))
                    .contains(QStringLiteral("New unit")));
    }
}

// The factor box's right click opens the main window's edit menu while the dialog is modal;
// its items act on the factor box and "What's This?" shows the box's number.
void TestCustomUnits::factorBoxUsesMainEditMenu()
{
    FPage.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    Fixture::WriteStandardData(folder);
    std::unique_ptr<TMainForm> window = Fixture::StartForm(folder);
    QVERIFY(!window->TerminateRequested());
    auto prefs = std::make_unique<TPrefsForm>(window.get());
    prefs->setWindowModality(Qt::ApplicationModal);
    prefs->show();
    QVERIFY(QTest::qWaitForWindowExposed(prefs.get()));
    auto* pages = prefs->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentWidget(prefs->findChild<QWidget*>(QStringLiteral("TabCustom")));
    auto* page = prefs->findChild<TCustomUnitsPage*>();
    QVERIFY(page != nullptr);
    page->BtnNewClick();
    auto* factor = page->findChild<QLineEdit*>(QStringLiteral("EditFactor"));
    QVERIFY(factor != nullptr && factor->isEnabled());
    factor->setText(QStringLiteral("2.5"));
    factor->deselect();

    QList<int> popups;
    SetPopupHelpHook([&popups](int number, const QPoint&) { popups.append(number); });
    QMenu* menu = window->EditHelpPopup();
    // Right-clicks the box and clicks the menu's item, as the user does.
    const auto choose = [&](const char* item) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), factor->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(factor, &event);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(window->PopupControl(), static_cast<QWidget*>(factor));
        auto* action = window->findChild<QAction*>(QLatin1String(item));
        QVERIFY(action != nullptr && action->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        QTRY_VERIFY(!menu->isVisible());
    };
    choose("WhatsThis2");
    SetPopupHelpHook({});
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(popups, QList<int>{212});
    choose("SelectAll1");
    QCOMPARE(factor->selectedText(), QStringLiteral("2.5"));
    QGuiApplication::clipboard()->clear();
    choose("Copy1");
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2.5"));
    prefs->reject();
}

void TestCustomUnits::converterFollowsRenamedUnits_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("renames");
    QTest::addColumn<QString>("shownFrom");
    QTest::addColumn<QString>("shownTo");

    const auto row = [](const char* name, const QStringList& values, const QStringList& renames) {
        QTest::newRow(name) << values[0] << values[1] << renames << values[2] << values[3];
    };
    // From, to, and the units then shown; the renames as "old name>new name", made in order,
    // each on the row of that name before any rename.
    row("input unit", {"Cubits", "Feet", "Ells", "Feet"}, {"Cubits>Ells"});
    // A new name that no longer sorts first, so that a fallback to the first unit shows.
    row("output unit", {"Feet", "Cubits", "Feet", "Spans"}, {"Cubits>Spans"});
    row("both units", {"Cubits", "Cubits", "Spans", "Spans"}, {"Cubits>Spans"});
    row("another unit", {"Cubits", "Feet", "Cubits", "Feet"}, {"Rods>Poles"});
    row("swap", {"Cubits", "Rods", "Rods", "Cubits"}, {"Cubits>Rods", "Rods>Cubits"});
    row("swap, listed the other way", {"Cubits", "Rods", "Rods", "Cubits"}, {"Rods>Cubits", "Cubits>Rods"});
    row("chain", {"Cubits", "Rods", "Rods", "Poles"}, {"Rods>Poles", "Cubits>Rods"});
    row("chain, output first", {"Rods", "Cubits", "Poles", "Rods"}, {"Rods>Poles", "Cubits>Rods"});
}

// A unit renamed in the custom units editor stays selected in the converter under its new
// name after OK: the converter shows the same unit objects.
void TestCustomUnits::converterFollowsRenamedUnits()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, renames);
    QFETCH(QString, shownFrom);
    QFETCH(QString, shownTo);

    FPage.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    Fixture::WriteStandardData(folder);
    Fixture::WriteFile(
        folder + QStringLiteral("custom.dat"),
        Fixture::UnitsFile({{"Length", "Cubits", 1.0 / 0.4572}, {"Length", "Rods", 1.0 / 5.0292}}, true));
    std::unique_ptr<TMainForm> window = Fixture::StartForm(folder);
    QVERIFY(!window->TerminateRequested());
    // The dialog object's creation restores the settings, which selects the first units.
    auto prefs = std::make_unique<TPrefsForm>(window.get());
    TConvCategory* length = window->Catalogue().FindCategory(QStringLiteral("Length"));
    QVERIFY(length != nullptr && length->IndexOfUnit(QStringLiteral("Cubits")) >= 0);
    TConvUnit* const fromUnit = length->Units(length->IndexOfUnit(from));
    TConvUnit* const toUnit = length->Units(length->IndexOfUnit(to));
    window->SelectFromUnit(fromUnit);
    window->SelectToUnit(toUnit);
    auto* fromLabel = Fixture::Child<QLabel>(*window, "LblFromUnit");
    auto* toLabel = Fixture::Child<QLabel>(*window, "LblToUnit");
    QCOMPARE(fromLabel->text(), from);
    QCOMPARE(toLabel->text(), to);

    prefs->show();
    QVERIFY(QTest::qWaitForWindowExposed(prefs.get()));
    auto* page = prefs->findChild<TCustomUnitsPage*>();
    QVERIFY(page != nullptr);
    auto* tree = page->findChild<TUnitsTree*>(QStringLiteral("VSUnits"));
    auto* name = page->findChild<QLineEdit*>(QStringLiteral("EditName"));
    QList<std::pair<TUnitNode*, QString>> edits;
    for (const QString& rename : renames) {
        const QStringList names = rename.split(QLatin1Char('>'));
        const QList<QTreeWidgetItem*> rows = tree->findItems(names[0], Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(rows.size(), 1);
        edits.append({static_cast<TUnitNode*>(rows.first()), names[1]});
    }
    for (const auto& [row, newName] : edits) {
        if (length->IndexOfUnit(newName) >= 0) {
            // The name box refuses a name the catalogue still has; the working copy holds it
            // all the same, so it is written into the row.
            row->Name = newName;
            continue;
        }
        tree->setCurrentItem(row);
        name->setText(newName);
        QVERIFY(page->EditNameExit());
    }
    QTest::mouseClick(prefs->findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    QCOMPARE(prefs->result(), int(QDialog::Accepted));
    window->RefreshAfterPreferences();
    QVERIFY(FMessages.isEmpty());

    QCOMPARE(fromLabel->text(), shownFrom);
    QCOMPARE(toLabel->text(), shownTo);
    QCOMPARE(window->FromUnit, fromUnit);
    QCOMPARE(window->ToUnit, toUnit);
    QCOMPARE(window->FromUnit->Name, shownFrom);
    QCOMPARE(window->ToUnit->Name, shownTo);
    QCOMPARE(Fixture::SelectedText(Fixture::Child<QListWidget>(*window, "LstFromUnits")), shownFrom);
    QCOMPARE(Fixture::SelectedText(Fixture::Child<QListWidget>(*window, "LstToUnits")), shownTo);
}

void TestCustomUnits::failedCommitLeavesConverterConsistent_data()
{
    QTest::addColumn<bool>("outOfMemory");
    QTest::newRow("a unit refused") << false;
    QTest::newRow("out of memory") << true;
}

// A commit that fails after it has freed and renamed units leaves the converter pointing at
// nothing of the old catalogue: it shows the catalogue of the files again, and the user
// cancels the dialog without the converter reaching a freed unit.
void TestCustomUnits::failedCommitLeavesConverterConsistent()
{
    QFETCH(bool, outOfMemory);

    FPage.reset();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    Fixture::WriteStandardData(folder);
    const QByteArray custom = Fixture::UnitsFile(
        {{"Length", "Cubits", 1.0 / 0.4572}, {"Length", "Rods", 1.0 / 5.0292}, {"Widgets", "Wids", 1.0}}, true);
    Fixture::WriteFile(folder + QStringLiteral("custom.dat"), custom);
    std::unique_ptr<TMainForm> window = Fixture::StartForm(folder);
    QVERIFY(!window->TerminateRequested());
    auto prefs = std::make_unique<TPrefsForm>(window.get());
    auto* cats = Fixture::Child<QComboBox>(*window, "CmbCats");
    cats->setCurrentIndex(cats->findText(QStringLiteral("Length")));
    auto* fromList = Fixture::Child<QListWidget>(*window, "LstFromUnits");
    auto* toList = Fixture::Child<QListWidget>(*window, "LstToUnits");
    Fixture::ClickItem(fromList, QStringLiteral("Cubits"));
    Fixture::ClickItem(toList, QStringLiteral("Rods"));
    QCOMPARE(window->ToUnit->Name, QStringLiteral("Rods"));

    prefs->show();
    QVERIFY(QTest::qWaitForWindowExposed(prefs.get()));
    auto* page = prefs->findChild<TCustomUnitsPage*>();
    QVERIFY(page != nullptr);
    auto* tree = page->findChild<TUnitsTree*>(QStringLiteral("VSUnits"));
    // Cubits goes, Rods is renamed, and the Widgets category goes with its only unit.
    for (const char* deleted : {"Cubits", "Wids"}) {
        const QList<QTreeWidgetItem*> rows =
            tree->findItems(QLatin1String(deleted), Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(rows.size(), 1);
        tree->setCurrentItem(rows.first());
        page->BtnDeleteClick();
    }
    const QList<QTreeWidgetItem*> rods = tree->findItems(QStringLiteral("Rods"), Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(rods.size(), 1);
    tree->setCurrentItem(rods.first());
    auto* name = page->findChild<QLineEdit*>(QStringLiteral("EditName"));
    name->setText(QStringLiteral("Poles"));
    QVERIFY(page->EditNameExit());
    // The commit does its work and then fails, as a unit refused at the end would.
    page->SetCommit(
        [outOfMemory](TConvCategories& catalogue, const TWorkingCopy& copy, std::vector<TUnitRename>* renames) {
            CommitWorkingCopy(catalogue, copy, renames);
            QVERIFY(catalogue.FindCategory(QStringLiteral("Widgets")) == nullptr);
            if (outOfMemory)
                throw std::bad_alloc();
            throw EConvError(QString::fromLatin1(kUnitExists).arg(QStringLiteral("Spans")));
        });
    if (outOfMemory)
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, prefs->BtnOKClick());
    else
        QVERIFY_THROWS_EXCEPTION(EConvError, prefs->BtnOKClick());
    QVERIFY(prefs->isVisible());
    // Cancel: the converter is not refreshed.
    prefs->reject();

    const TConvCategories& catalogue = window->Catalogue();
    QVERIFY(window->FromUnit == nullptr || IsLive(catalogue, window->FromUnit));
    QVERIFY(window->ToUnit == nullptr || IsLive(catalogue, window->ToUnit));
    QVERIFY(window->CategoryFilter == nullptr || IsLive(catalogue, window->CategoryFilter));
    // Nothing half-committed is left: the catalogue is the one of the files.
    TConvCategories reread;
    QVERIFY(LoadCatalogueFiles(reread, folder, false).Ok);
    QCOMPARE(Dump(catalogue, TUnitFilter::ufAll), Dump(reread, TUnitFilter::ufAll));
    QFile file(folder + QStringLiteral("custom.dat"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), custom);

    // Every row of every list leads to a unit of the catalogue.
    for (int c = 0; c < cats->count(); ++c) {
        const auto* category = reinterpret_cast<const TConvCategory*>(cats->itemData(c).value<quintptr>());
        QVERIFY(category == nullptr || IsLive(catalogue, category));
    }
    for (const QString& category : {QStringLiteral("Widgets"), QStringLiteral("Length")}) {
        const int at = cats->findText(category);
        QVERIFY2(at >= 0, qPrintable(category));
        cats->setCurrentIndex(at);
        for (const QString& unit : Fixture::ItemTexts(fromList)) {
            Fixture::ClickItem(fromList, unit);
            QVERIFY(IsLive(catalogue, window->FromUnit));
            QCOMPARE(window->FromUnit->Name, unit);
            for (const QString& other : Fixture::ItemTexts(toList)) {
                Fixture::ClickItem(toList, other);
                QVERIFY(IsLive(catalogue, window->ToUnit));
                QCOMPARE(window->ToUnit->Name, other);
            }
        }
    }
}

QTEST_MAIN(TestCustomUnits)
#include "TestCustomUnits.moc"
