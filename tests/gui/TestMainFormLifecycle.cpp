// The program's start and end: read-only mode, the window's size and state at start, data
// files that end the program, the instance lock and the quit message, and the reporting of
// errors that escape an event handler.
#include "gui/MainFormFixture.h"

#include "Application.h"
#include "CatalogueFiles.h"
#include "InstanceLock.h"
#include "lrgfonts.h"

#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

using namespace Fixture;

namespace {

// Throws from its event handler, as a faulty handler of the program would.
class TThrowingObject : public QObject
{
public:
    int Handled = 0;
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User) {
            ++Handled;
            throw std::runtime_error("Something broke.");
        }
        if (event->type() == QEvent::Type(QEvent::User + 1)) {
            ++Handled;
            throw EConvError(QStringLiteral("A unit with the name 'Feet' already exists."));
        }
        if (event->type() == QEvent::Type(QEvent::User + 2)) {
            ++Handled;
            return true;
        }
        return QObject::event(event);
    }
};

enum class TFileState
{
    Missing,
    Writable,
    ReadOnly
};

void SetState(const QString& path, TFileState state, const QByteArray& content)
{
    if (state == TFileState::Missing)
        return;
    WriteFile(path, content);
    if (state == TFileState::ReadOnly)
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther));
}

} // namespace

Q_DECLARE_METATYPE(TFileState)

class TestMainFormLifecycle : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString BinDir() const { return QCoreApplication::applicationDirPath(); }

    // A process environment whose runtime and settings folders are inside the test folder.
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FDir->filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), FDir->filePath(QStringLiteral("config")));
        return env;
    }

    int RunTool(const QStringList& arguments, QString* output = nullptr)
    {
        QProcess tool;
        tool.setProcessEnvironment(Environment());
        tool.start(BinDir() + QStringLiteral("/morvex"), arguments);
        if (!tool.waitForFinished(30000))
            return -1;
        if (output != nullptr)
            *output = QString::fromLocal8Bit(tool.readAllStandardOutput());
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
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
    }

    void cleanup() { FDir.reset(); }

    void detectReadOnly_data()
    {
        QTest::addColumn<TFileState>("custom");
        QTest::addColumn<TFileState>("units");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("readOnly");

        const auto missing = TFileState::Missing;
        const auto writable = TFileState::Writable;
        const auto readOnly = TFileState::ReadOnly;
        QTest::newRow("writable units, no custom") << missing << writable << QStringList{} << false;
        QTest::newRow("read-only custom, writable units") << readOnly << writable << QStringList{} << true;
        QTest::newRow("writable custom, read-only units") << writable << readOnly << QStringList{} << false;
        QTest::newRow("read-only units, no custom") << missing << readOnly << QStringList{} << true;
        QTest::newRow("no data files") << missing << missing << QStringList{} << true;
        QTest::newRow("switch in capitals") << missing << writable << QStringList{"/READONLY"} << true;
        QTest::newRow("switch among others") << writable << writable << QStringList{"-x", "/ReadOnly", "file"} << true;
        QTest::newRow("similar arguments")
            << writable << writable << QStringList{"readonly", "/readonly2", "-readonly"} << false;
    }

    void detectReadOnly()
    {
        QFETCH(TFileState, custom);
        QFETCH(TFileState, units);
        QFETCH(QStringList, arguments);
        QFETCH(bool, readOnly);

        TMessageRecorder messages;
        WriteFile(FDir->filePath(QStringLiteral("terms.dat")), StandardTerms());
        SetState(FDir->filePath(QStringLiteral("units.dat")), units, UnitsFile(StandardUnits()));
        SetState(FDir->filePath(QStringLiteral("custom.dat")), custom, QByteArray("11\0\0\0\0", 6));
        TMainForm form(FDir->path(), arguments);
        QCOMPARE(form.ReadOnly(), readOnly);
    }

    void scaledClientSize_data()
    {
        QTest::addColumn<double>("scaleX");
        QTest::addColumn<double>("scaleY");
        QTest::addColumn<QSize>("client");

        QTest::newRow("96 dpi") << 1.0 << 1.0 << QSize(611, 297);
        QTest::newRow("120 dpi") << 1.25 << 1.25 << QSize(763, 371);
        QTest::newRow("144 by 96 dpi") << 1.5 << 1.0 << QSize(916, 297);
    }

    void scaledClientSize()
    {
        QFETCH(double, scaleX);
        QFETCH(double, scaleY);
        QFETCH(QSize, client);

        QCOMPARE(ScaledClientSize(QSize(611, 297), scaleX, scaleY), client);
    }

    // The application is titled "Morvex Tools" without pinning Qt's display name, which Qt
    // would append to the caption of every window.
    void applicationTitleLeavesCaptionsAlone()
    {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Morvex Tools"));
        // An unpinned display name follows the application's name.
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        const QString displayName = QGuiApplication::applicationDisplayName();
        TApplication::ApplyTitle();
        QCOMPARE(displayName, QStringLiteral("probe"));
    }

    void windowAtStart()
    {
        WriteStandardData(FDir->path());
        TMainForm form(FDir->path());
        QVERIFY(!form.TerminateRequested());
        QVERIFY(form.windowTitle().startsWith(QLatin1String("Morvex Tools - http")));
        QVERIFY(form.DataFolder().endsWith(QLatin1Char('/')));
        QCOMPARE(QDir(form.DataFolder()), QDir(FDir->path()));
        auto* pages = Child<QTabWidget>(form, "PageControl");
        QCOMPARE(pages->count(), 3);
        QCOMPARE(pages->tabText(0), QStringLiteral("Unit Converter"));
        QCOMPARE(pages->tabText(1), QStringLiteral("Terminology Reference Guide"));
        QCOMPARE(pages->tabText(2), QStringLiteral("About Morvex"));
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("SheetUnits"));
        QVERIFY(Child<QWidget>(form, "PBoxBrand")->isHidden());
        QVERIFY(!Child<QLabel>(form, "ImgLogo2")->pixmap().isNull());
        QCOMPARE(form.minimumWidth(), 611);
        // Until the first conversion the value boxes drive nothing.
        QCOMPARE(Child<QLineEdit>(form, "EditFromValue")->text(), QStringLiteral("1"));

        // The client area is the window without its menu bar.
        form.ResizeClient(900, 500);
        const int menu =
            form.menuWidget() != nullptr && !form.menuWidget()->isHidden() ? form.menuWidget()->sizeHint().height() : 0;
        QCOMPARE(form.size(), QSize(900, 500 + menu));
    }

    void registeredMessage_data()
    {
        QTest::addColumn<quint32>("wParam");
        QTest::addColumn<bool>("ends");

        QTest::newRow("1 ends the program") << quint32(1) << true;
        QTest::newRow("0 does nothing") << quint32(0) << false;
        QTest::newRow("2 does nothing") << quint32(2) << false;
    }

    void registeredMessage()
    {
        QFETCH(quint32, wParam);
        QFETCH(bool, ends);

        WriteStandardData(FDir->path());
        TMainForm form(FDir->path());
        TInstanceMessageServer server(FDir->path());
        QVERIFY(server.Listen());
        QObject::connect(&server, &TInstanceMessageServer::MessageReceived, &form,
                         [&form](quint32 value) { form.HandleRegisteredMessage(value); });
        QSignalSpy received(&server, &TInstanceMessageServer::MessageReceived);
        const TSendResult sent = SendInstanceMessage(wParam, 0, FDir->path());
        QCOMPARE(sent.Reached, 1);
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).value<quint32>(), wParam);
        QCOMPARE(form.TerminateRequested(), ends);
    }

    void instanceMutex()
    {
        QVERIFY(!IsInstanceRunning(FDir->path()));
        {
            const TInstanceMutex first(FDir->path());
            QVERIFY(first.Held());
            // A second instance takes it as well: nobody waits on it.
            const TInstanceMutex second(FDir->path());
            QVERIFY(second.Held());
            QVERIFY(IsInstanceRunning(FDir->path()));
        }
        QVERIFY(!IsInstanceRunning(FDir->path()));
    }

    // A data-file problem at start: the message, no data, and the message loop, once it
    // runs, ends at once.
    void fatalDataFile_data()
    {
        QTest::addColumn<bool>("unitsPresent");
        QTest::addColumn<QByteArray>("units");
        QTest::addColumn<QByteArray>("terms");
        QTest::addColumn<QString>("message");

        const QByteArray units = UnitsFile(StandardUnits());
        const QString invalid =
            QLatin1String(kErrorOpeningDataFile) + QLatin1Char('\r') + QLatin1String(kInvalidDataFile);
        QTest::newRow("units.dat missing")
            << false << QByteArray() << StandardTerms() << QString::fromLatin1(kErrorOpeningDataFile);
        QTest::newRow("units.dat damaged") << true << units.left(units.size() - 3) << StandardTerms() << invalid;
        QTest::newRow("terms.dat damaged")
            << true << units << QByteArray("one\x01T\x01") << QString::fromLatin1(kUnableToOpenTerms);
    }

    void fatalDataFile()
    {
        QFETCH(bool, unitsPresent);
        QFETCH(QByteArray, units);
        QFETCH(QByteArray, terms);
        QFETCH(QString, message);

        TMessageRecorder messages;
        if (unitsPresent)
            WriteFile(FDir->filePath(QStringLiteral("units.dat")), units);
        WriteFile(FDir->filePath(QStringLiteral("terms.dat")), terms);
        TMainForm form(FDir->path());
        QCOMPARE(int(messages.Messages.size()), 1);
        QVERIFY2(messages.Messages[0].Text.startsWith(message), qPrintable(messages.Messages[0].Text));
        QCOMPARE(messages.Messages[0].Type, TMsgDlgType::mtError);
        QVERIFY(form.TerminateRequested());
        QCOMPARE(form.Catalogue().Count(), 0);
        QCOMPARE(Child<QListWidget>(form, "LstFromUnits")->count(), 0);
        // The request was made before the loop ran; the loop ends as soon as it starts.
        QTimer stuck;
        stuck.setSingleShot(true);
        QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        stuck.start(10000);
        QCOMPARE(QCoreApplication::exec(), TMainForm::kExitDataFile);
    }

    // The whole program: started, found by "morvex running", ended by "morvex quit-running".
    void quitRunningEndsTheProgram()
    {
        const QString appDir = FDir->filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir));
        QVERIFY(QDir().mkpath(FDir->filePath(QStringLiteral("run"))));
        QVERIFY(QFile::setPermissions(FDir->filePath(QStringLiteral("run")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::copy(BinDir() + QStringLiteral("/morvextools"), appDir + QStringLiteral("/morvextools")));
        WriteStandardData(appDir);

        QCOMPARE(RunTool({QStringLiteral("running")}), 1);
        QProcess program;
        program.setProcessEnvironment(Environment());
        program.start(appDir + QStringLiteral("/morvextools"), {});
        QVERIFY(program.waitForStarted());
        const QString runtime = FDir->filePath(QStringLiteral("run"));
        const QString socket = runtime + QStringLiteral("/MorvexToolsMessage-") + QString::number(program.processId());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);
        QCOMPARE(RunTool({QStringLiteral("running")}), 0);

        QString output;
        QCOMPARE(RunTool({QStringLiteral("quit-running"), QStringLiteral("--wait"), QStringLiteral("20")}, &output), 0);
        QVERIFY2(output.contains(QLatin1String("1 ended")), qPrintable(output));
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(socket));
        // Ended like File, Exit: the settings of the first run were written.
        QSettings saved(FDir->filePath(QStringLiteral("config/Morvex/Tools.conf")), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("Precision")).toInt(), 15);
        QCOMPARE(saved.value(QStringLiteral("FromUnitName")).toString(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(saved.value(QStringLiteral("MRU/From0")).toString(), QStringLiteral("Degrees Celsius"));
        QCOMPARE(RunTool({QStringLiteral("running")}), 1);
        // Nobody left to ask.
        QCOMPARE(RunTool({QStringLiteral("quit-running"), QStringLiteral("--wait"), QStringLiteral("0")}, &output), 0);
        QVERIFY2(output.contains(QLatin1String("asked 0")), qPrintable(output));
    }

    void uncaughtErrorsAreReported_data()
    {
        QTest::addColumn<int>("eventType");
        QTest::addColumn<QString>("message");

        QTest::newRow("standard error") << int(QEvent::User) << "Something broke.";
        QTest::newRow("catalogue error") << int(QEvent::User + 1) << "A unit with the name 'Feet' already exists.";
    }

    void uncaughtErrorsAreReported()
    {
        QFETCH(int, eventType);
        QFETCH(QString, message);

        TMessageRecorder messages;
        TThrowingObject target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(eventType)));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 2)));
        QCoreApplication::processEvents();
        // The error is shown, and the next event is handled as usual.
        QCOMPARE(target.Handled, 2);
        QCOMPARE(int(messages.Messages.size()), 1);
        QCOMPARE(messages.Messages[0].Text, message);
        QCOMPARE(messages.Messages[0].Type, TMsgDlgType::mtError);
    }
};

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    TApplication::ApplyTitle();
    TestMainFormLifecycle test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestMainFormLifecycle.moc"
