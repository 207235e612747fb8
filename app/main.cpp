// Program entry: the instance mutex and message, the main window, the message loop.
#include "Application.h"
#include "InstanceLock.h"
#include "MainForm.h"
#include "prefs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Options for the build's own tools, never shown to users: --screenshot DIR renders the
// converter and glossary pages to PNG files and ends; --benchmark-startup ends right after
// the window is first painted and prints the time since the program started and the moment
// of that paint on the system's monotonic clock.
struct TToolOptions
{
    QString ScreenshotFolder;
    bool BenchmarkStartup = false;
};

TToolOptions TakeToolOptions(QStringList& arguments)
{
    TToolOptions options;
    for (int i = 0; i < arguments.size();) {
        if (arguments[i] == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
            options.ScreenshotFolder = arguments[i + 1];
            arguments.remove(i, 2);
        } else if (arguments[i] == QLatin1String("--benchmark-startup")) {
            options.BenchmarkStartup = true;
            arguments.remove(i);
        } else {
            ++i;
        }
    }
    return options;
}

bool SaveScreenshots(TMainForm& form, const QString& folder)
{
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl"));
    if (pages == nullptr || !QDir().mkpath(folder))
        return false;
    bool ok = true;
    const auto grab = [&](const char* page, const char* file) {
        pages->setCurrentWidget(form.findChild<QWidget*>(QLatin1String(page)));
        QCoreApplication::processEvents();
        ok = form.grab().save(QDir(folder).filePath(QLatin1String(file))) && ok;
    };
    grab("SheetUnits", "converter.png");
    grab("SheetRef", "glossary.png");
    pages->setCurrentIndex(0);
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer started;
    started.start();

    TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const TToolOptions tools = TakeToolOptions(arguments);

    // 1. The mutex by which installers see that the program runs; never waited on.
    const TInstanceMutex mutex;
    // 2. The message by which they end it.
    TInstanceMessageServer messages;
    messages.Listen();
    // 3.
    TApplication::ApplyTitle();

    // 4. The main window loads its data; on a data-file problem it has shown the message.
    auto MainForm = std::make_unique<TMainForm>(QString(), arguments);
    QObject::connect(&messages, &TInstanceMessageServer::MessageReceived, MainForm.get(),
                     [form = MainForm.get()](quint32 wParam) { form->HandleRegisteredMessage(wParam); });

    // A program whose data could not be loaded ends here, without showing a window that
    // cannot work, and without writing settings from empty lists over the stored ones.
    if (MainForm->TerminateRequested())
        return MainForm->TerminateExitCode();

    // 5. The preferences dialog object lives until shut-down; its creation restores the
    // settings.
    auto PrefsForm = std::make_unique<TPrefsForm>(MainForm.get());

    if (tools.BenchmarkStartup) {
        auto* probe = new TFirstPaintProbe(MainForm.get());
        probe->SetStart(started);
        QObject::connect(probe, &TFirstPaintProbe::FirstPainted, &app, [probe](qint64 elapsedMs) {
            QTextStream(stdout) << "startup-ms " << elapsedMs << "\nfirst-paint-ns " << probe->PaintedAtNs()
                                << Qt::endl;
            QCoreApplication::quit();
        });
    }
    if (!tools.ScreenshotFolder.isEmpty()) {
        QTimer::singleShot(0, &app, [&] {
            const bool ok = SaveScreenshots(*MainForm, tools.ScreenshotFolder);
            QCoreApplication::exit(ok ? 0 : 1);
        });
    }

    MainForm->show();
    // 6.
    const int exitCode = QApplication::exec();

    // The preferences dialog object goes first and saves the settings while the main window
    // still exists (the window saves nothing after a data file failed to reload).
    PrefsForm.reset();
    MainForm.reset();
    return exitCode;
}
