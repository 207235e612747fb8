#include "MainForm.h"
#include "PopupHelp.h"
#include "TermsFile.h"
#include "kestmsgdlg.h"
#include "prefs.h"

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

class TestPrefsForm : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir FDir;
    QString FDataFolder;
    QList<int> FPopups;
    std::unique_ptr<TMainForm> FMainForm;
    std::unique_ptr<TPrefsForm> FPrefs;

    template <typename T> T* Control(const char* name) const
    {
        auto* control = FPrefs->findChild<T*>(QString::fromLatin1(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }

    QString Example() const { return Control<QLabel>("LblFormatEg")->text(); }
    QString PrecisionCaption() const { return Control<QLabel>("LblPrecision")->text(); }
    QLineEdit* PrecisionText() const { return Control<QSpinBox>("SpinPrecision")->findChild<QLineEdit*>(); }

    // Clicks a radio button on its circle, where a click always lands.
    void Click(const QString& radio)
    {
        auto* button = Control<QRadioButton>(radio.toLatin1().constData());
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }

    // Shows the dialog without a modal loop; the buttons close it as exec() would.
    void Open()
    {
        FPrefs->show();
        QVERIFY(QTest::qWaitForWindowExposed(FPrefs.get()));
    }

    void MakeWindow(const QStringList& arguments = {})
    {
        FPrefs.reset();
        FMainForm = std::make_unique<TMainForm>(FDataFolder, arguments);
        QVERIFY(!FMainForm->TerminateRequested());
        FPrefs = std::make_unique<TPrefsForm>(FMainForm.get());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(FDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FDir.filePath(QStringLiteral("settings")));
        FDataFolder = FDir.path() + QLatin1Char('/');

        // A small catalogue and glossary, enough for a working main window.
        TConvCategories catalogue;
        TConvCategory* length = catalogue.AddCategory(QStringLiteral("Length"));
        length->AddUnit(QStringLiteral("Metre"), false, 1.0);
        length->AddUnit(QStringLiteral("Foot"), false, 3.28083989501312);
        QFile units(FDataFolder + QStringLiteral("units.dat"));
        QVERIFY(units.open(QIODevice::WriteOnly));
        units.write("11");
        catalogue.SaveToStream(units, TUnitFilter::ufAll);
        units.close();

        TTermTable terms;
        terms.StoreTerm(1, QStringLiteral("Torque"), QStringLiteral("A turning force."));
        QFile termsFile(FDataFolder + QStringLiteral("terms.dat"));
        QVERIFY(termsFile.open(QIODevice::WriteOnly));
        WriteTerms(termsFile, terms);
        termsFile.close();

        // The main window uses the pop-up help file of its data folder.
        QFile hints(FDataFolder + QStringLiteral("morvexhints.hlp"));
        QVERIFY(hints.open(QIODevice::WriteOnly));
        hints.write("[Topics]\n201=Digits text.\n203=Automatic text.\n207=Reminder text.\n");
        hints.close();
        SetPopupHelpFile(hints.fileName());

        SetMessageDlgHook([](const QString& text, TMsgDlgType) {
            qWarning("unexpected message: %s", qPrintable(text));
            return QMessageBox::Ok;
        });
        SetPopupHelpHook([this](int number, const QPoint&) { FPopups.append(number); });
    }

    void cleanupTestCase()
    {
        FPrefs.reset();
        FMainForm.reset();
        SetMessageDlgHook({});
        SetPopupHelpHook({});
    }

    void init()
    {
        MakeWindow();
        FPopups.clear();
    }

    void cleanup()
    {
        // The dialog goes first, as at shut-down.
        FPrefs.reset();
        FMainForm.reset();
    }

    void formatExample_data()
    {
        QTest::addColumn<QString>("notation");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("example");
        QTest::addColumn<QString>("caption");

        const QString total = QString::fromLatin1(kTotalDigitsCaption);
        const QString decimal = QString::fromLatin1(kDecimalDigitsCaption);
        QTest::newRow("fixed, 2") << "rdoFixedNoThou" << 2 << "123456789.01" << decimal;
        QTest::newRow("fixed, 0") << "rdoFixedNoThou" << 0 << "123456789" << decimal;
        QTest::newRow("fixed, 20") << "rdoFixedNoThou" << 20 << "123456789.01" << decimal;
        QTest::newRow("thousands, 2") << "rdoFixedThou" << 2 << "123,456,789.01" << decimal;
        QTest::newRow("thousands, 4") << "rdoFixedThou" << 4 << "123,456,789.0123" << decimal;
        QTest::newRow("automatic, 7") << "rdoAuto" << 7 << "1.234568E008" << total;
        QTest::newRow("automatic, 15") << "rdoAuto" << 15 << "123456789.012346" << total;
        QTest::newRow("scientific, 7") << "rdoScientific" << 7 << "1.234568E+008" << total;
        QTest::newRow("scientific, 0") << "rdoScientific" << 0 << "1.2E+008" << total;
    }

    void formatExample()
    {
        QFETCH(QString, notation);
        QFETCH(int, precision);
        QFETCH(QString, example);
        QFETCH(QString, caption);
        Open();
        // The dialog's own choice counts, not the window's.
        FMainForm->NumberFormat = 0;
        FMainForm->Precision = 15;
        Click(notation);
        Control<QSpinBox>("SpinPrecision")->setValue(precision);
        QCOMPARE(Example(), example);
        QCOMPARE(PrecisionCaption(), caption);
    }

    void showLoadsTheWindowsValues_data()
    {
        QTest::addColumn<int>("numberFormat");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("updateCheck");
        QTest::addColumn<QString>("notation");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QString>("example");

        QTest::newRow("automatic") << 0 << 7 << 1 << "rdoAuto"
                                   << "RdoUpdateMonthly"
                                   << "1.234568E008";
        QTest::newRow("fixed") << 1 << 3 << 0 << "rdoFixedNoThou"
                               << "RdoUpdateNever"
                               << "123456789.012";
        QTest::newRow("thousands") << 2 << 1 << 2 << "rdoFixedThou"
                                   << "RdoUpdate2Monthly"
                                   << "123,456,789.0";
        QTest::newRow("scientific") << 3 << 3 << 1 << "rdoScientific"
                                    << "RdoUpdateMonthly"
                                    << "1.23E+008";
    }

    void showLoadsTheWindowsValues()
    {
        QFETCH(int, numberFormat);
        QFETCH(int, precision);
        QFETCH(int, updateCheck);
        QFETCH(QString, notation);
        QFETCH(QString, frequency);
        QFETCH(QString, example);
        FMainForm->NumberFormat = quint8(numberFormat);
        FMainForm->Precision = precision;
        FMainForm->UpdateCheck = updateCheck;
        // Left on another page and notation by an earlier showing.
        Control<QRadioButton>(numberFormat == 3 ? "rdoAuto" : "rdoScientific")->setChecked(true);
        Control<QTabWidget>("PageControl1")->setCurrentIndex(1);
        Open();
        QVERIFY(Control<QRadioButton>(notation.toLatin1().constData())->isChecked());
        QVERIFY(Control<QRadioButton>(frequency.toLatin1().constData())->isChecked());
        QCOMPARE(Control<QSpinBox>("SpinPrecision")->value(), precision);
        QCOMPARE(Example(), example);
        QCOMPARE(Control<QTabWidget>("PageControl1")->currentWidget()->objectName(), QStringLiteral("TabFormats"));
    }

    void precisionRefreshesTheExampleAtOnce()
    {
        FMainForm->NumberFormat = 1;
        FMainForm->Precision = 2;
        Open();
        QCOMPARE(Example(), QStringLiteral("123456789.01"));
        QLineEdit* text = PrecisionText();
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("5"));
        QCOMPARE(Example(), QStringLiteral("123456789.01235"));
        // Text that is not a number counts as 0 digits.
        text->clear();
        QCOMPARE(Example(), QStringLiteral("123456789"));
        // The window itself is untouched until OK.
        QCOMPARE(FMainForm->Precision, 2);
    }

    void closingWithoutOkChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close box") << "close";
    }

    void closingWithoutOkChangesNothing()
    {
        QFETCH(QString, how);
        FMainForm->NumberFormat = 2;
        FMainForm->Precision = 4;
        FMainForm->UpdateCheck = 2;
        const TFormatSettings before = FMainForm->FormatSettings();
        Open();
        Click(QStringLiteral("rdoScientific"));
        Control<QSpinBox>("SpinPrecision")->setValue(11);
        Click(QStringLiteral("RdoUpdateNever"));

        if (how == QLatin1String("cancel"))
            QTest::mouseClick(Control<QPushButton>("BtnCancel"), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(FPrefs.get(), Qt::Key_Escape);
        else
            FPrefs->close();
        QVERIFY(!FPrefs->isVisible());
        QCOMPARE(FPrefs->result(), int(QDialog::Rejected));
        QCOMPARE(FMainForm->NumberFormat, quint8(2));
        QCOMPARE(FMainForm->Precision, 4);
        QCOMPARE(FMainForm->UpdateCheck, 2);
        QCOMPARE(FMainForm->FormatSettings().NumberFormat, before.NumberFormat);

        // Opened again, the dialog shows the old values.
        Open();
        QVERIFY(Control<QRadioButton>("rdoFixedThou")->isChecked());
        QVERIFY(Control<QRadioButton>("RdoUpdate2Monthly")->isChecked());
        QCOMPARE(PrecisionText()->text(), QStringLiteral("4"));
        QCOMPARE(Example(), QStringLiteral("123,456,789.0123"));
    }

    void okStoresTheValues_data()
    {
        QTest::addColumn<QString>("notation");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("numberFormat");
        QTest::addColumn<int>("updateCheck");

        QTest::newRow("automatic, monthly") << "rdoAuto"
                                            << "RdoUpdateMonthly" << 7 << 0 << 1;
        QTest::newRow("fixed, never") << "rdoFixedNoThou"
                                      << "RdoUpdateNever" << 0 << 1 << 0;
        QTest::newRow("thousands, two months") << "rdoFixedThou"
                                               << "RdoUpdate2Monthly" << 20 << 2 << 2;
        QTest::newRow("scientific") << "rdoScientific"
                                    << "RdoUpdateMonthly" << 12 << 3 << 1;
    }

    void okStoresTheValues()
    {
        QFETCH(QString, notation);
        QFETCH(QString, frequency);
        QFETCH(int, precision);
        QFETCH(int, numberFormat);
        QFETCH(int, updateCheck);
        FMainForm->NumberFormat = 2;
        FMainForm->Precision = 5;
        FMainForm->UpdateCheck = 2;
        Open();
        Click(notation);
        Click(frequency);
        PrecisionText()->selectAll();
        QTest::keyClicks(PrecisionText(), QString::number(precision));
        QTest::mouseClick(Control<QPushButton>("BtnOK"), Qt::LeftButton);

        QVERIFY(!FPrefs->isVisible());
        QCOMPARE(FPrefs->result(), int(QDialog::Accepted));
        QCOMPARE(int(FMainForm->NumberFormat), numberFormat);
        QCOMPARE(FMainForm->UpdateCheck, updateCheck);
        QCOMPARE(FMainForm->Precision, precision);
        // The window formats with the new values from now on.
        QCOMPARE(int(FMainForm->FormatSettings().NumberFormat), numberFormat);
        QCOMPARE(FMainForm->FormatSettings().Precision, precision);
    }

    void precisionBroughtIntoRangeAtOk_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("precision");
        QTest::newRow("in range") << "9" << 9;
        QTest::newRow("above range") << "25" << 20;
        QTest::newRow("far above range") << "4000000000" << 0; // not a 32-bit number at all
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("not a number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
    }

    void precisionBroughtIntoRangeAtOk()
    {
        // Text typed into the box and OK pressed while the box still has the focus: the box
        // has not yet brought the text into its range.
        QFETCH(QString, typed);
        QFETCH(int, precision);
        FMainForm->Precision = 5;
        Open();
        PrecisionText()->setText(typed);
        QVERIFY(!Example().isEmpty());
        FPrefs->BtnOKClick();
        QCOMPARE(FMainForm->Precision, precision);
    }

    void pages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("customShown");
        QTest::newRow("read/write") << QStringList() << true;
        QTest::newRow("read-only") << QStringList{QStringLiteral("/ReadOnly")} << false;
    }

    void pages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, customShown);
        MakeWindow(arguments);
        QCOMPARE(FMainForm->ReadOnly(), !customShown);
        Open();
        auto* pages = Control<QTabWidget>("PageControl1");
        QStringList shown;
        for (int i = 0; i < pages->count(); ++i) {
            if (pages->isTabVisible(i))
                shown.append(pages->tabText(i));
        }
        QStringList expected = {QStringLiteral("Number Formats"), QStringLiteral("Auto Update")};
        if (customShown)
            expected.append(QStringLiteral("Custom Units"));
        QCOMPARE(shown, expected);
        QVERIFY(FPrefs->CustomHostLayout());
        QCOMPARE(FPrefs->CustomHostLayout()->objectName(), QStringLiteral("CustomHostLayout"));
    }

    void helpTopicOfThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("topic");
        QTest::newRow("formats") << "TabFormats"
                                 << "APrefs";
        QTest::newRow("update") << "TabUpdate"
                                << "APrefsUpdate";
        QTest::newRow("custom") << "TabCustom"
                                << "APrefsCustom";
    }

    void helpTopicOfThePage()
    {
        QFETCH(QString, page);
        QFETCH(QString, topic);
        Open();
        auto* pages = Control<QTabWidget>("PageControl1");
        pages->setCurrentWidget(FPrefs->findChild<QWidget*>(page));
        QCOMPARE(FPrefs->HelpTopic(), topic);
    }

    void whatsThisNumbers_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("number");
        QTest::newRow("precision label") << "LblPrecision" << 201;
        QTest::newRow("automatic") << "rdoAuto" << 203;
        QTest::newRow("scientific") << "rdoScientific" << 204;
        QTest::newRow("fixed") << "rdoFixedNoThou" << 205;
        QTest::newRow("thousands") << "rdoFixedThou" << 206;
        QTest::newRow("never") << "RdoUpdateNever" << 207;
        QTest::newRow("monthly") << "RdoUpdateMonthly" << 207;
        QTest::newRow("two months") << "RdoUpdate2Monthly" << 207;
    }

    void whatsThisNumbers()
    {
        QFETCH(QString, control);
        QFETCH(int, number);
        Open();
        auto* widget = FPrefs->findChild<QWidget*>(control);
        QVERIFY(widget);
        Control<QTabWidget>("PageControl1")->setCurrentWidget(widget->parentWidget());

        // Right click: the help menu opens holding the control's number.
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(widget, &event);
        QMenu* menu = FPrefs->HelpPopup();
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(FPrefs->HelpPopupContext(), number);
        QAction* whatsThis = menu->findChild<QAction*>(QStringLiteral("Whatsthis1"));
        QVERIFY(whatsThis);
        QCOMPARE(whatsThis->text(), QStringLiteral("&What's This?"));
        menu->hide();
        whatsThis->trigger();
        QCOMPARE(FPopups, QList<int>{number});
    }

    void spinBoxKeepsItsOwnMenu()
    {
        // The digits box has help number 201 for the context-help button only.
        Open();
        auto* spin = Control<QSpinBox>("SpinPrecision");
        QCOMPARE(spin->property("helpContext").toInt(), 201);
        QCOMPARE(spin->whatsThis(), QStringLiteral("Digits text."));
        QVERIFY(spin->contextMenuPolicy() != Qt::CustomContextMenu);
        QCOMPARE(Control<QRadioButton>("rdoAuto")->whatsThis(), QStringLiteral("Automatic text."));
    }
};

int main(int argc, char** argv)
{
    // The examples are written with a point and comma separators.
    qputenv("LC_ALL", "C");
    QApplication app(argc, argv);
    TestPrefsForm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestPrefsForm.moc"
