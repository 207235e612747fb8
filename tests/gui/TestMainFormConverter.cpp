// The converter page driven through its controls: categories, the two unit lists, type-ahead,
// the recent list, the value boxes, the factor line, copying, and refreshing after the
// preferences dialog or a reload.
#include "gui/MainFormFixture.h"

#include "CatalogueFiles.h"
#include "NumberFormat.h"

#include <QClipboard>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace Fixture;

namespace {

const QStringList kAllNames = {
    "Degrees Celsius", "Degrees Fahrenheit", "Degrees Kelvin", "Degrees Rankine", "Feet",        "Grams",   "Hours",
    "Kilograms",       "Kilometres",         "Metres",         "Metric tonnes",   "Millimetres", "Minutes", "Pounds",
    "Seconds"};

double FactorOf(const QString& name)
{
    for (const TUnitRow& row : StandardUnits()) {
        if (name == QLatin1String(row.Name))
            return row.Factor;
    }
    qFatal("no unit %s", qPrintable(name));
    return 0;
}

} // namespace

class TestMainFormConverter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TMainForm> FForm;

    QListWidget* FromList() const { return Child<QListWidget>(*FForm, "LstFromUnits"); }
    QListWidget* ToList() const { return Child<QListWidget>(*FForm, "LstToUnits"); }
    QComboBox* Cats() const { return Child<QComboBox>(*FForm, "CmbCats"); }
    QComboBox* FromBox() const { return Child<QComboBox>(*FForm, "CmbFromUnit"); }
    QLineEdit* ToBox() const { return Child<QLineEdit>(*FForm, "EditToUnit"); }
    QLineEdit* FromValue() const { return Child<QLineEdit>(*FForm, "EditFromValue"); }
    QLineEdit* ToValue() const { return Child<QLineEdit>(*FForm, "EditToValue"); }
    QLineEdit* Factor() const { return Child<QLineEdit>(*FForm, "EditFactor"); }
    QString FromName() const { return FForm->FromUnit != nullptr ? FForm->FromUnit->Name : QString(); }
    QString ToName() const { return FForm->ToUnit != nullptr ? FForm->ToUnit->Name : QString(); }
    QString Formatted(double value) const { return FormatValue(value, FForm->FormatSettings()); }
    // "=x" is the number x as the window formats it; anything else is literal text.
    QString Expected(const QString& text) const
    {
        return text.startsWith(QLatin1Char('=')) ? Formatted(text.mid(1).toDouble()) : text;
    }

    void ChoosePair(const QString& from, const QString& to)
    {
        ClickItem(FromList(), from);
        ClickItem(ToList(), to);
        QCOMPARE(FromName(), from);
        QCOMPARE(ToName(), to);
    }

    void ChooseCategory(const QString& text)
    {
        const int index = Cats()->findText(text);
        QVERIFY(index >= 0);
        Cats()->setCurrentIndex(index);
    }

    // Steps on a value box: "clear", "type:TEXT" (typed key by key), "paste:TEXT".
    void RunSteps(QLineEdit* box, const QStringList& steps)
    {
        for (const QString& step : steps) {
            if (step == QLatin1String("clear")) {
                box->selectAll();
                QTest::keyClick(box, Qt::Key_Delete);
            } else if (step.startsWith(QLatin1String("type:"))) {
                QTest::keyClicks(box, step.mid(5));
            } else if (step.startsWith(QLatin1String("paste:"))) {
                QGuiApplication::clipboard()->setText(step.mid(6));
                QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            }
        }
    }

    void LeaveFromBox()
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(FromBox(), &out);
    }

    std::unique_ptr<TSettingsSandbox> FSettings;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        FSettings = std::make_unique<TSettingsSandbox>();
    }

    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        QVERIFY(FDir->isValid());
        WriteStandardData(FDir->path());
        FForm = StartForm(FDir->path());
        QVERIFY(!FForm->TerminateRequested());
    }

    void cleanup()
    {
        FForm.reset();
        FDir.reset();
    }

    void startsWithFirstUnits()
    {
        QCOMPARE(ItemTexts(Cats()), QStringList({"*All units", "Length", "Mass", "Temperature", "Time"}));
        QCOMPARE(Cats()->currentIndex(), 0);
        QCOMPARE(ItemTexts(FromList()), kAllNames);
        QCOMPARE(FromName(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(ItemTexts(ToList()),
                 QStringList({"Degrees Celsius", "Degrees Fahrenheit", "Degrees Kelvin", "Degrees Rankine"}));
        QCOMPARE(ToName(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(FromBox()->currentText(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(ToBox()->text(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(Child<QLabel>(*FForm, "LblCategory")->text(), QStringLiteral("Temperature"));
        QCOMPARE(FromValue()->text(), QStringLiteral("1"));
        QCOMPARE(ToValue()->text(), QStringLiteral("1"));
        QCOMPARE(Factor()->text(), QStringLiteral("1"));
    }

    void namesShownAsPlainText_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("shown");

        QTest::newRow("input unit") << "LblFromUnit"
                                    << "m<sup>2</sup>";
        QTest::newRow("output unit") << "LblToUnit"
                                     << "<i>Acres</i>";
        QTest::newRow("category") << "LblCategory"
                                  << "A<b>rea</b>";
    }

    // Names that look like markup are shown as written.
    void namesShownAsPlainText()
    {
        QFETCH(QString, label);
        QFETCH(QString, shown);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        WriteFile(dir.filePath(QStringLiteral("units.dat")),
                  UnitsFile({{"A<b>rea</b>", "m<sup>2</sup>", 1.0}, {"A<b>rea</b>", "<i>Acres</i>", 0.000247}}));
        WriteFile(dir.filePath(QStringLiteral("terms.dat")), StandardTerms());
        std::unique_ptr<TMainForm> form = StartForm(dir.path());
        QVERIFY(!form->TerminateRequested());
        TConvCategory* area = form->Catalogue().FindCategory(QStringLiteral("A<b>rea</b>"));
        QVERIFY(area != nullptr);
        form->SelectFromUnit(area->Units(area->IndexOfUnit(QStringLiteral("m<sup>2</sup>"))));
        form->SelectToUnit(area->Units(area->IndexOfUnit(QStringLiteral("<i>Acres</i>"))));

        auto* shownBy = form->findChild<QLabel*>(label);
        QVERIFY(shownBy != nullptr);
        QCOMPARE(shownBy->text(), shown);
        QCOMPARE(shownBy->textFormat(), Qt::PlainText);
    }

    void categoryFilter_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("selected");

        const QStringList mass = {"Grams", "Kilograms", "Metric tonnes", "Pounds"};
        QTest::newRow("current unit stays") << "Kilograms"
                                            << "Mass" << mass << "Kilograms";
        QTest::newRow("first unit of the category") << "Metres"
                                                    << "Mass" << mass << "Grams";
        QTest::newRow("back to all units") << "Pounds"
                                           << "*All units" << kAllNames << "Pounds";
    }

    void categoryFilter()
    {
        QFETCH(QString, start);
        QFETCH(QString, category);
        QFETCH(QStringList, listed);
        QFETCH(QString, selected);

        ClickItem(FromList(), start);
        ChooseCategory(QStringLiteral("Mass"));
        ChooseCategory(category);
        QCOMPARE(ItemTexts(FromList()), listed);
        QCOMPARE(SelectedText(FromList()), selected);
        QCOMPARE(FromName(), selected);
    }

    void chooseUnits_data()
    {
        QTest::addColumn<QString>("firstFrom");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("secondFrom");
        QTest::addColumn<QStringList>("toListed");
        QTest::addColumn<QString>("expectedTo");

        const QStringList mass = {"Grams", "Kilograms", "Metric tonnes", "Pounds"};
        const QStringList length = {"Feet", "Kilometres", "Metres", "Millimetres"};
        QTest::newRow("same category keeps the output unit") << "Grams"
                                                             << "Pounds"
                                                             << "Kilograms" << mass << "Pounds";
        QTest::newRow("another category takes its first unit") << "Grams"
                                                               << "Pounds"
                                                               << "Metres" << length << "Feet";
    }

    void chooseUnits()
    {
        QFETCH(QString, firstFrom);
        QFETCH(QString, to);
        QFETCH(QString, secondFrom);
        QFETCH(QStringList, toListed);
        QFETCH(QString, expectedTo);

        ChoosePair(firstFrom, to);
        ClickItem(FromList(), secondFrom);
        QCOMPARE(FromName(), secondFrom);
        QCOMPARE(ItemTexts(ToList()), toListed);
        QCOMPARE(ToName(), expectedTo);
        QCOMPARE(SelectedText(ToList()), expectedTo);
        QCOMPARE(ToBox()->text(), expectedTo);
        QCOMPARE(Child<QLabel>(*FForm, "LblFromUnit")->text(), secondFrom);
        QCOMPARE(Child<QLabel>(*FForm, "LblToUnit")->text(), expectedTo);
        QCOMPARE(ToValue()->text(), Formatted(FactorOf(expectedTo) / FactorOf(secondFrom)));
    }

    void arrowKeysFollowTheLists()
    {
        ClickItem(FromList(), QStringLiteral("Feet"));
        QTest::keyClick(FromList(), Qt::Key_Down);
        QCOMPARE(FromName(), QStringLiteral("Grams"));
        QCOMPARE(ToName(), QStringLiteral("Grams"));
        QTest::keyClick(ToList(), Qt::Key_Down);
        QCOMPARE(ToName(), QStringLiteral("Kilograms"));
        QCOMPARE(ToValue()->text(), Formatted(0.001));
        QTest::keyClick(FromList(), Qt::Key_Up);
        QCOMPARE(FromName(), QStringLiteral("Feet"));
        QCOMPARE(ToName(), QStringLiteral("Feet"));
    }

    void typeAhead_data()
    {
        QTest::addColumn<bool>("outputBox");
        QTest::addColumn<QString>("keys"); // '\b' is Backspace
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<QString>("unit");

        QTest::newRow("lower-case prefix completes") << false << "kil"
                                                     << "Kilograms"
                                                     << "ograms"
                                                     << "Kilograms";
        QTest::newRow("first of a shared prefix") << false << "m"
                                                  << "Metres"
                                                  << "etres"
                                                  << "Metres";
        QTest::newRow("letter no name continues") << false << "kilx"
                                                  << "Kilx"
                                                  << ""
                                                  << "Kilograms";
        QTest::newRow("backspace does not complete") << false << "met\b"
                                                     << "Met"
                                                     << ""
                                                     << "Metres";
        QTest::newRow("next letter completes again") << false << "met\bri"
                                                     << "Metric tonnes"
                                                     << "c tonnes"
                                                     << "Metric tonnes";
        QTest::newRow("output box") << true << "k"
                                    << "Kilometres"
                                    << "ilometres"
                                    << "Kilometres";
        QTest::newRow("output box, other category") << true << "g"
                                                    << "g"
                                                    << ""
                                                    << "Feet";
    }

    void typeAhead()
    {
        QFETCH(bool, outputBox);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QString, highlighted);
        QFETCH(QString, unit);

        ClickItem(FromList(), QStringLiteral("Metres"));
        QWidget* target = outputBox ? static_cast<QWidget*>(ToBox()) : static_cast<QWidget*>(FromBox());
        QLineEdit* edit = outputBox ? ToBox() : FromBox()->lineEdit();
        edit->selectAll();
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                QTest::keyClick(target, Qt::Key_Backspace);
            else
                QTest::keyClicks(target, QString(key));
        }
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->selectedText(), highlighted);
        QCOMPARE(outputBox ? ToName() : FromName(), unit);
        if (!outputBox)
            QCOMPARE(Child<QLabel>(*FForm, "LblFromUnit")->text(), unit);
    }

    void recentList_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<bool>("leave");
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<int>("current");

        const QStringList nine = {"Feet",   "Grams",   "Hours",  "Kilograms", "Kilometres",
                                  "Metres", "Minutes", "Pounds", "Seconds"};
        const QStringList lastEight = {"Seconds",    "Pounds",    "Minutes", "Metres",
                                       "Kilometres", "Kilograms", "Hours",   "Grams"};
        QTest::newRow("nine units keep the last eight") << nine << false << lastEight << 0;
        QTest::newRow("a listed name moves to the top")
            << (nine + QStringList{"Kilograms"}) << false
            << QStringList({"Kilograms", "Seconds", "Pounds", "Minutes", "Metres", "Kilometres", "Hours", "Grams"})
            << 0;
        QTest::newRow("leaving adds the name once more")
            << QStringList{"Feet"} << true << QStringList({"Feet", "Degrees Celsius", "Feet"}) << 2;
        // The appended entry is trimmed again and the box keeps showing the name; the combo
        // box's own end of editing then makes the listed entry of that name current.
        QTest::newRow("leaving a full list changes it not") << nine << true << lastEight << 0;
    }

    void recentList()
    {
        QFETCH(QStringList, clicks);
        QFETCH(bool, leave);
        QFETCH(QStringList, recent);
        QFETCH(int, current);

        for (const QString& name : clicks)
            ClickItem(FromList(), name);
        if (leave)
            LeaveFromBox();
        QCOMPARE(ItemTexts(FromBox()), recent);
        QCOMPARE(FromBox()->currentIndex(), current);
        QCOMPARE(FromBox()->currentText(), clicks.last());
        QCOMPARE(FromName(), clicks.last());
    }

    void leavingShowsTheInputUnit_data()
    {
        QTest::addColumn<QString>("keys"); // '\b' is Backspace
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");

        QTest::newRow("completion cut short") << "met\b"
                                              << "Met"
                                              << "Metres";
        QTest::newRow("letter no name continues") << "kilx"
                                                  << "Kilx"
                                                  << "Kilograms";
        QTest::newRow("prefix only") << "ho"
                                     << "Hours"
                                     << "Hours";
    }

    // Leaving the input unit box with Tab makes the appended recent entry current: the box
    // shows the input unit's name, not the text typed.
    void leavingShowsTheInputUnit()
    {
        QFETCH(QString, keys);
        QFETCH(QString, typed);
        QFETCH(QString, shown);

        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
        ClickItem(FromList(), QStringLiteral("Feet"));
        FromBox()->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(FromBox()->hasFocus());
        FromBox()->lineEdit()->selectAll();
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                QTest::keyClick(FromBox(), Qt::Key_Backspace);
            else
                QTest::keyClicks(FromBox(), QString(key));
        }
        QCOMPARE(FromBox()->lineEdit()->text(), typed);
        QTest::keyClick(FromBox(), Qt::Key_Tab);
        QVERIFY(!FromBox()->hasFocus());

        QCOMPARE(FromName(), shown);
        QCOMPARE(FromBox()->lineEdit()->text(), shown);
        QCOMPARE(FromBox()->currentIndex(), FromBox()->count() - 1);
        QCOMPARE(FromBox()->itemText(FromBox()->count() - 1), shown);
    }

    void recentPickRunsTheSearch()
    {
        ClickItem(FromList(), QStringLiteral("Grams"));
        ClickItem(FromList(), QStringLiteral("Hours"));
        FromBox()->setCurrentIndex(FromBox()->findText(QStringLiteral("Grams")));
        QCOMPARE(FromName(), QStringLiteral("Grams"));
        QCOMPARE(SelectedText(FromList()), QStringLiteral("Grams"));
        QCOMPARE(FromBox()->itemText(0), QStringLiteral("Grams"));
    }

    void valueBoxes_data()
    {
        QTest::addColumn<bool>("outputBox");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("fromText");
        QTest::addColumn<QString>("toText");

        QTest::newRow("typed number") << false << QStringList{"clear", "type:2500"} << "2500"
                                      << "=2.5";
        QTest::newRow("letters and spaces are refused") << false << QStringList{"clear", "type:2a5 0b0Z"} << "2500"
                                                        << "=2.5";
        QTest::newRow("exponent letters pass") << false << QStringList{"clear", "type:2e3"} << "2e3"
                                               << "=2";
        QTest::newRow("pasted letters") << false << QStringList{"clear", "paste:abc"} << "abc"
                                        << "N/A";
        QTest::newRow("empty") << false << QStringList{"clear"} << ""
                               << "N/A";
        QTest::newRow("correction recovers") << false << QStringList{"clear", "paste:abc", "clear", "type:3"} << "3"
                                             << "=0.003";
        QTest::newRow("output drives backwards") << true << QStringList{"clear", "type:2"} << "=2000"
                                                 << "2";
        QTest::newRow("output unreadable") << true << QStringList{"clear", "paste:x1"} << "N/A"
                                           << "x1";
    }

    void valueBoxes()
    {
        QFETCH(bool, outputBox);
        QFETCH(QStringList, steps);
        QFETCH(QString, fromText);
        QFETCH(QString, toText);

        ChoosePair(QStringLiteral("Metres"), QStringLiteral("Kilometres"));
        RunSteps(outputBox ? ToValue() : FromValue(), steps);
        QCOMPARE(FromValue()->text(), Expected(fromText));
        QCOMPARE(ToValue()->text(), Expected(toText));
        QCOMPARE(FForm->Reverse, outputBox);
    }

    void unitChangeAfterTypingInOutput()
    {
        ChoosePair(QStringLiteral("Metres"), QStringLiteral("Kilometres"));
        RunSteps(ToValue(), {"clear", "type:2"});
        QCOMPARE(FromValue()->text(), Formatted(2000));
        ClickItem(ToList(), QStringLiteral("Millimetres"));
        QVERIFY(!FForm->Reverse);
        QCOMPARE(FromValue()->text(), Formatted(2000));
        QCOMPARE(ToValue()->text(), Formatted(2000000));
    }

    void factorLine_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("factor"); // "ratio": the output factor over the input factor

        QTest::newRow("C to F") << "Degrees Celsius"
                                << "Degrees Fahrenheit"
                                << "F = C * 9/5 + 32";
        QTest::newRow("C to R") << "Degrees Celsius"
                                << "Degrees Rankine"
                                << "R = C * 9/5 + 491.67";
        QTest::newRow("F to K") << "Degrees Fahrenheit"
                                << "Degrees Kelvin"
                                << "K = (F - 32) * 5/9 + 273";
        QTest::newRow("K to C") << "Degrees Kelvin"
                                << "Degrees Celsius"
                                << "C = K - 273";
        QTest::newRow("K to R") << "Degrees Kelvin"
                                << "Degrees Rankine"
                                << "R = (K - 273) * 9/5 + 491.67";
        QTest::newRow("R to F") << "Degrees Rankine"
                                << "Degrees Fahrenheit"
                                << "F = R - 459.67";
        QTest::newRow("R to K") << "Degrees Rankine"
                                << "Degrees Kelvin"
                                << "K = (R - 491.67) * 5/9 + 273";
        QTest::newRow("same scale") << "Degrees Kelvin"
                                    << "Degrees Kelvin"
                                    << "1";
        QTest::newRow("linear") << "Metres"
                                << "Kilometres"
                                << "ratio";
        QTest::newRow("linear, inexact") << "Feet"
                                         << "Metres"
                                         << "ratio";
    }

    void factorLine()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, factor);

        ChoosePair(from, to);
        if (factor == QLatin1String("ratio"))
            factor = Formatted(FactorOf(to) / FactorOf(from));
        QCOMPARE(Factor()->text(), factor);
    }

    void temperatureValues_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<double>("expected");

        QTest::newRow("Fahrenheit") << "Degrees Fahrenheit" << 212.0;
        QTest::newRow("Kelvin") << "Degrees Kelvin" << 373.15;
        QTest::newRow("Rankine") << "Degrees Rankine" << 671.67;
    }

    void temperatureValues()
    {
        QFETCH(QString, to);
        QFETCH(double, expected);

        ChoosePair(QStringLiteral("Degrees Celsius"), to);
        RunSteps(FromValue(), {"clear", "type:100"});
        QCOMPARE(ToValue()->text(), Formatted(expected));
    }

    void copyConversion_data()
    {
        QTest::addColumn<bool>("outputBox");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("clipboard");

        QTest::newRow("input drives") << false << "3"
                                      << "3 Metres = 3000 Millimetres";
        QTest::newRow("output drives") << true << "5000"
                                       << "5000 Millimetres = 5 Metres";
    }

    void copyConversion()
    {
        QFETCH(bool, outputBox);
        QFETCH(QString, typed);
        QFETCH(QString, clipboard);

        ChoosePair(QStringLiteral("Metres"), QStringLiteral("Millimetres"));
        RunSteps(outputBox ? ToValue() : FromValue(), {"clear", "type:" + typed});
        FForm->CopyConversion();
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }

    void formResize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("fromWidth");
        QTest::addColumn<int>("toLeft");
        QTest::addColumn<int>("toWidth");
        QTest::addColumn<int>("labelLeft");
        QTest::addColumn<int>("labelWidth");

        QTest::newRow("297") << 297 << 128 << 158 << 129 << 164 << 123;
        QTest::newRow("400") << 400 << 180 << 210 << 180 << 216 << 174;
    }

    void formResize()
    {
        QFETCH(int, width);
        QFETCH(int, fromWidth);
        QFETCH(int, toLeft);
        QFETCH(int, toWidth);
        QFETCH(int, labelLeft);
        QFETCH(int, labelWidth);

        auto* box = Child<QGroupBox>(*FForm, "BoxConversion");
        box->resize(width, box->height());
        QCOMPARE(FromValue()->width(), fromWidth);
        QCOMPARE(ToValue()->x(), toLeft);
        QCOMPARE(ToValue()->width(), toWidth);
        auto* label = Child<QLabel>(*FForm, "LblToUnit");
        QCOMPARE(label->x(), labelLeft);
        QCOMPARE(label->width(), labelWidth);
    }

    // The preferences dialog changes the catalogue; the page then shows it as it is.
    void refreshShowsAddedUnits()
    {
        ChoosePair(QStringLiteral("Metres"), QStringLiteral("Feet"));
        FForm->Catalogue().FindCategory(QStringLiteral("Length"))->AddUnit(QStringLiteral("Cubits"), true, 1 / 0.4572);
        FForm->RefreshAfterPreferences();
        QVERIFY(ItemTexts(FromList()).contains(QStringLiteral("Cubits")));
        QVERIFY(ItemTexts(ToList()).contains(QStringLiteral("Cubits")));
        QCOMPARE(FromName(), QStringLiteral("Metres"));
        QCOMPARE(ToName(), QStringLiteral("Feet"));
        QCOMPARE(SelectedText(ToList()), QStringLiteral("Feet"));

        TConvCategories reread;
        QCOMPARE(LoadCatalogueFiles(reread, FForm->DataFolder(), false).Ok, true);
        TConvCategory* length = reread.FindCategory(QStringLiteral("Length"));
        QVERIFY(length != nullptr);
        const int cubits = length->IndexOfUnit(QStringLiteral("Cubits"));
        QVERIFY(cubits >= 0);
        QVERIFY(length->Units(cubits)->Custom);
    }

    void refreshDropsDeletedUnits_data()
    {
        QTest::addColumn<bool>("deleteInput");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");

        // A deleted input unit gives way to the first listed unit, a deleted output unit to
        // the first unit of the input unit's category.
        QTest::newRow("input unit deleted") << true << "Degrees Celsius"
                                            << "Degrees Celsius";
        QTest::newRow("output unit deleted") << false << "Metres"
                                             << "Feet";
    }

    void refreshDropsDeletedUnits()
    {
        QFETCH(bool, deleteInput);
        QFETCH(QString, from);
        QFETCH(QString, to);

        TConvCategory* length = FForm->Catalogue().FindCategory(QStringLiteral("Length"));
        length->AddUnit(QStringLiteral("Cubits"), true, 1 / 0.4572);
        FForm->RefreshAfterPreferences();
        if (deleteInput)
            ChoosePair(QStringLiteral("Cubits"), QStringLiteral("Metres"));
        else
            ChoosePair(QStringLiteral("Metres"), QStringLiteral("Cubits"));

        length->RemoveUnit(length->Units(length->IndexOfUnit(QStringLiteral("Cubits"))), false);
        FForm->RefreshAfterPreferences();
        QVERIFY(!ItemTexts(FromList()).contains(QStringLiteral("Cubits")));
        QVERIFY(!ItemTexts(ToList()).contains(QStringLiteral("Cubits")));
        QCOMPARE(FromName(), from);
        QCOMPARE(ToName(), to);
        QCOMPARE(SelectedText(ToList()), to);
        QCOMPARE(ToValue()->text(), Formatted(FactorOf(to) / FactorOf(from)));
    }

    void refreshDropsRemovedCategory()
    {
        TConvCategory* own = FForm->Catalogue().AddCategory(QStringLiteral("Widgets"));
        own->AddUnit(QStringLiteral("Wids"), true, 1.0);
        FForm->RefreshAfterPreferences();
        ChooseCategory(QStringLiteral("Widgets"));
        QCOMPARE(FromName(), QStringLiteral("Wids"));

        FForm->Catalogue().RemoveCategory(FForm->Catalogue().FindCategory(QStringLiteral("Widgets")));
        FForm->RefreshAfterPreferences();
        QCOMPARE(Cats()->currentText(), QStringLiteral("*All units"));
        QCOMPARE(ItemTexts(FromList()), kAllNames);
        QCOMPARE(FromName(), kAllNames.first());
    }

    void refreshInReadOnlyModeWritesNothing()
    {
        FForm.reset();
        FForm = StartForm(FDir->path(), {"/ReadOnly"});
        QVERIFY(FForm->ReadOnly());
        FForm->Catalogue().FindCategory(QStringLiteral("Mass"))->AddUnit(QStringLiteral("Stones"), true, 0.157473);
        FForm->RefreshAfterPreferences();
        QVERIFY(ItemTexts(FromList()).contains(QStringLiteral("Stones")));
        QVERIFY(!QFile::exists(FDir->filePath(QStringLiteral("custom.dat"))));
    }

    void failedSaveTellsChangesAreLost_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("customIsFolder");
        QTest::addColumn<QString>("fileError"); // how the message starts; computed for a folder

        QTest::newRow("custom.dat cannot be created") << "Stones" << true << QString();
        QTest::newRow("name outside the code page")
            << QStringLiteral("\u2126 stones") << false
            << QString::fromLatin1(kNameNotStorable).arg(QStringLiteral("\u2126 stones"));
    }

    // custom.dat cannot be written after the dialog: the catalogue is read back from the
    // files, and the user learns both why and that the edits are gone.
    void failedSaveTellsChangesAreLost()
    {
        QFETCH(QString, unit);
        QFETCH(bool, customIsFolder);
        QFETCH(QString, fileError);

        if (customIsFolder) {
            QVERIFY(QDir(FDir->path()).mkdir(QStringLiteral("custom.dat")));
            // The file's message, up to the system's reason.
            fileError = QString::fromLatin1(kCannotCreateFile)
                            .arg(QDir::toNativeSeparators(FDir->filePath(QStringLiteral("custom.dat"))), QString())
                            .trimmed();
        }
        ChoosePair(QStringLiteral("Metres"), QStringLiteral("Feet"));
        FForm->Catalogue().FindCategory(QStringLiteral("Mass"))->AddUnit(unit, true, 0.157473);
        try {
            FForm->RefreshAfterPreferences();
            QFAIL("the save reported success");
        } catch (const EConvError& error) {
            const QStringList lines = error.Message().split(QLatin1Char('\r'));
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines[0].startsWith(fileError), qPrintable(lines[0]));
            QCOMPARE(lines[1], QLatin1String(kCustomUnitsNotSaved));
        }
        QCOMPARE(FForm->Catalogue().FindCategory(QStringLiteral("Mass"))->IndexOfUnit(unit), -1);
        QVERIFY(!ItemTexts(FromList()).contains(unit));
        QVERIFY(!ItemTexts(ToList()).contains(unit));
        // As after any reload: the first unit of all.
        QCOMPARE(Cats()->currentIndex(), 0);
        QCOMPARE(FromName(), kAllNames.first());
        ClickItem(FromList(), QStringLiteral("Pounds"));
        QCOMPARE(FromName(), QStringLiteral("Pounds"));
    }

    void reloadCatalogue()
    {
        ClickItem(FromList(), QStringLiteral("Pounds"));
        std::vector<TUnitRow> rows = StandardUnits();
        rows.push_back({"Mass", "Ounces", 16 / 0.45359237});
        WriteFile(FDir->filePath(QStringLiteral("units.dat")), UnitsFile(rows));
        FForm->ReloadCatalogue();
        QVERIFY(ItemTexts(FromList()).contains(QStringLiteral("Ounces")));
        QCOMPARE(Cats()->currentIndex(), 0);
        QCOMPARE(FromName(), kAllNames.first());
        ClickItem(FromList(), QStringLiteral("Ounces"));
        QCOMPARE(ToName(), QStringLiteral("Grams"));
    }

    // A reload that fails leaves nothing that points into the emptied catalogue.
    void failedReloadLeavesNoUnits()
    {
        TMessageRecorder messages;
        // Announces one category that is not there.
        WriteFile(FDir->filePath(QStringLiteral("units.dat")), QByteArray("11\x01\0\0\0", 6));
        FForm->ReloadCatalogue();
        QCOMPARE(int(messages.Messages.size()), 1);
        QCOMPARE(messages.Messages[0].Text,
                 QLatin1String(kErrorOpeningDataFile) + QLatin1Char('\r') + QLatin1String(kInvalidDataFile));
        QVERIFY(FForm->TerminateRequested());
        QCOMPARE(FromList()->count(), 0);
        QCOMPARE(ToList()->count(), 0);
        QCOMPARE(ItemTexts(Cats()), QStringList{"*All units"});
        QVERIFY(FForm->FromUnit == nullptr && FForm->ToUnit == nullptr);
        // Nothing the user does on the empty page reaches a unit.
        FromBox()->lineEdit()->selectAll();
        QTest::keyClicks(FromBox(), QStringLiteral("me"));
        RunSteps(FromValue(), {"clear", "type:5"});
        LeaveFromBox();
        FForm->CopyConversion();
    }
};

QTEST_MAIN(TestMainFormConverter)
#include "TestMainFormConverter.moc"
