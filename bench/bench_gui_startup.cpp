// Start-up of the program to its first painted window, beside a bare Qt Widgets window
// started the same way, with the shipped data and with a large synthetic data set; and the
// cost of one type-ahead keystroke in the input unit box with 10,000 units.
//
//   bench_gui_startup [--runs N]     (runs without a display: the offscreen platform)
//   bench_gui_startup --write-large DIR   (only writes the synthetic data set into DIR)
//
// The program is started with --benchmark-startup, which ends it right after the window's
// first paint and prints the milliseconds since main() began; this benchmark started with
// --bare does the same for a plain QWidget of the window's designed size, and with
// --bare-text for one that shows text (the first text makes Qt load its fonts). Every process gets
// its own settings and runtime folders, so nothing of the user's is read or written.
#include "Application.h"
#include "CatUnits.h"
#include "MainForm.h"
#include "TermsFile.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kUnitCount = 10000;
constexpr int kCategoryCount = 100;
constexpr int kTermCount = 20000;

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

// Names built from syllables, so that prefixes spread over the alphabet like real names do.
QString RandomName(QRandomGenerator& random, int words)
{
    static const char* const syllables[] = {"ac",  "bar",  "cen", "dyn", "er",  "fo",  "gal", "hec", "in",  "joul",
                                            "kil", "lum",  "me",  "new", "oh",  "pas", "qu",  "rad", "sec", "ter",
                                            "ul",  "volt", "wat", "xe",  "yar", "zet", "mil", "mic", "nan", "pic"};
    QString name;
    for (int w = 0; w < words; ++w) {
        if (w > 0)
            name += QLatin1Char(' ');
        const int count = 2 + int(random.bounded(3));
        QString word;
        for (int s = 0; s < count; ++s)
            word += QLatin1String(syllables[random.bounded(int(std::size(syllables)))]);
        word[0] = word[0].toUpper();
        name += word;
    }
    return name;
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// units.dat with kUnitCount units in kCategoryCount categories, terms.dat with kTermCount
// terms. Returns the names of the units, for the keystroke measurement.
QStringList WriteLargeData(const QString& folder)
{
    QRandomGenerator random(20240611);
    TConvCategories catalogue;
    QStringList unitNames;
    for (int c = 0; c < kCategoryCount; ++c) {
        TConvCategory* category = catalogue.AddCategory(RandomName(random, 1) + QStringLiteral(" %1").arg(c));
        for (int u = 0; u < kUnitCount / kCategoryCount; ++u) {
            QString name;
            do {
                name = RandomName(random, 1 + int(random.bounded(2)));
            } while (category->IndexOfUnit(name) >= 0);
            category->AddUnit(name, false, 0.001 + random.generateDouble() * 1000.0);
            unitNames << name;
        }
    }
    QBuffer units;
    units.open(QIODevice::WriteOnly);
    units.write("11");
    catalogue.SaveToStream(units, TUnitFilter::ufAll);

    TTermTable terms;
    for (int t = 1; t <= kTermCount; ++t) {
        QString definition;
        while (definition.size() < 200)
            definition += RandomName(random, 3) + QStringLiteral(". ");
        terms.StoreTerm(quint64(t), RandomName(random, 1 + int(random.bounded(2))), definition);
    }
    QBuffer termBytes;
    termBytes.open(QIODevice::WriteOnly);
    WriteTerms(termBytes, terms);

    if (!WriteBytes(folder + QStringLiteral("/units.dat"), units.data()) ||
        !WriteBytes(folder + QStringLiteral("/terms.dat"), termBytes.data()))
        qFatal("cannot write the synthetic data");
    return unitNames;
}

struct TRun
{
    double Internal = 0; // from main() to the first paint, as the process reports it
    double Shown = 0;    // from starting the process to its first paint: what the user waits for
    double External = 0; // from starting the process to its end, tear-down included
};

// Nanoseconds of the system's monotonic clock, which the program reports its first paint in
// too, so that the time from starting the process to that paint can be taken across them.
qint64 MonotonicNs()
{
    return qint64(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

std::optional<TRun> RunOnce(const QString& program, const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    const qint64 startNs = MonotonicNs();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    TRun run;
    run.External = double(timer.nsecsElapsed()) / 1e6;
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("startup-ms "))
            run.Internal = line.mid(11).trimmed().toDouble();
        else if (line.startsWith("first-paint-ns "))
            run.Shown = double(line.mid(15).trimmed().toLongLong() - startNs) / 1e6;
    }
    if (run.Shown <= 0)
        return std::nullopt;
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Types prefixes of unit names into the input unit box, one key event at a time, and
// returns the time of each keystroke in milliseconds (the box's handling included).
std::vector<double> MeasureKeystrokes(const QString& folder, const QStringList& names)
{
    TMainForm form(folder);
    if (form.TerminateRequested())
        qFatal("the synthetic data did not load");
    form.RestoreSettings();
    form.show();
    QCoreApplication::processEvents();
    auto* box = form.findChild<QComboBox*>(QStringLiteral("CmbFromUnit"));

    QRandomGenerator random(7);
    std::vector<double> times;
    QElapsedTimer timer;
    const auto press = [&](int key, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        timer.start();
        QCoreApplication::sendEvent(box, &down);
        QCoreApplication::sendEvent(box, &up);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    };
    for (int word = 0; word < 200; ++word) {
        // Half the words are names that exist, half end in a letter no name continues with,
        // which makes the search run through the whole list.
        QString typed = names[int(random.bounded(names.size()))].left(2 + int(random.bounded(5))).toLower();
        if (word % 2 == 1)
            typed += QLatin1Char('q');
        box->lineEdit()->selectAll();
        for (const QChar c : typed)
            press(c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - u'A') : Qt::Key_Space, QString(c));
        press(Qt::Key_Backspace, QString());
    }
    return times;
}

// The reference window: a plain QWidget of the window's designed size; with text, a label
// and an edit box on it, which makes Qt load its fonts as any window with text must.
int Bare(const QElapsedTimer& started, bool withText)
{
    QWidget window;
    window.resize(611, 297);
    if (withText) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(new QLabel(QStringLiteral("Unit &Category:"), &window));
        layout->addWidget(new QLineEdit(QStringLiteral("1"), &window));
    }
    auto* probe = new TFirstPaintProbe(&window);
    probe->SetStart(started);
    QObject::connect(probe, &TFirstPaintProbe::FirstPainted, &window, [probe](qint64 elapsedMs) {
        Out() << "startup-ms " << elapsedMs << "\nfirst-paint-ns " << probe->PaintedAtNs() << Qt::endl;
        QCoreApplication::quit();
    });
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer started;
    started.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--bare")))
        return Bare(started, false);
    if (arguments.contains(QStringLiteral("--bare-text")))
        return Bare(started, true);
    // Leaves the synthetic data set in a folder, for profiling by hand.
    const int writeAt = int(arguments.indexOf(QStringLiteral("--write-large")));
    if (writeAt > 0 && writeAt + 1 < arguments.size()) {
        QDir().mkpath(arguments[writeAt + 1]);
        WriteLargeData(arguments[writeAt + 1]);
        return 0;
    }

    int runs = 15;
    const int runsAt = int(arguments.indexOf(QStringLiteral("--runs")));
    if (runsAt > 0 && runsAt + 1 < arguments.size())
        runs = std::max(1, arguments[runsAt + 1].toInt());

    const QString binDir = QCoreApplication::applicationDirPath();
    const QString program = binDir + QStringLiteral("/morvextools");
    if (!QFile::exists(program) || !QFile::exists(binDir + QStringLiteral("/units.dat")))
        qFatal("needs morvextools and the shipped data in %s", qPrintable(binDir));

    QTemporaryDir work;
    const QString large = work.filePath(QStringLiteral("large"));
    QDir().mkpath(large);
    QDir().mkpath(work.filePath(QStringLiteral("run")));
    QFile::setPermissions(work.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList unitNames = WriteLargeData(large);
    // The program finds its data beside itself.
    if (!QFile::copy(program, large + QStringLiteral("/morvextools")))
        qFatal("cannot copy the program");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), qEnvironmentVariable("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.filePath(QStringLiteral("run")));

    struct TCase
    {
        const char* Name;
        QString Program;
        QStringList Arguments;
        std::vector<double> Internal = {}, Shown = {}, External = {};
    };
    std::vector<TCase> cases = {
        {"bare QWidget window", QCoreApplication::applicationFilePath(), {QStringLiteral("--bare")}, {}, {}},
        {"bare window with a label and an edit box",
         QCoreApplication::applicationFilePath(),
         {QStringLiteral("--bare-text")},
         {},
         {}},
        {"morvextools, shipped data", program, {QStringLiteral("--benchmark-startup")}, {}, {}},
        {"morvextools, 10,000 units / 20,000 terms",
         large + QStringLiteral("/morvextools"),
         {QStringLiteral("--benchmark-startup")},
         {},
         {}},
    };
    // One warm-up run each, then the cases in turn, so that a slow moment of the machine
    // falls on all of them alike.
    for (TCase& c : cases)
        RunOnce(c.Program, c.Arguments, env);
    for (int r = 0; r < runs; ++r) {
        for (TCase& c : cases) {
            const std::optional<TRun> run = RunOnce(c.Program, c.Arguments, env);
            if (!run)
                qFatal("%s did not start and end cleanly", c.Name);
            c.Internal.push_back(run->Internal);
            c.Shown.push_back(run->Shown);
            c.External.push_back(run->External);
        }
    }

    Out() << "Start-up to the first painted window, median of " << runs << " runs (ms)\n";
    Out() << "  shown: from starting the process to its first paint (the goal's measure);\n"
             "  internal: from main() to the first paint; exit: from starting the process to its end\n";
    const double bareShown = Median(cases[0].Shown);
    const double bareInternal = Median(cases[0].Internal);
    const double bareExternal = Median(cases[0].External);
    for (const TCase& c : cases) {
        const double shown = Median(c.Shown);
        const double internal = Median(c.Internal);
        const double external = Median(c.External);
        Out() << QStringLiteral("  %1  shown %2 (%3x)   internal %4 (%5x)   exit %6 (%7x)\n")
                     .arg(QLatin1String(c.Name), -42)
                     .arg(shown, 6, 'f', 1)
                     .arg(shown / bareShown, 4, 'f', 2)
                     .arg(internal, 5, 'f', 1)
                     .arg(internal / bareInternal, 5, 'f', 2)
                     .arg(external, 6, 'f', 1)
                     .arg(external / bareExternal, 4, 'f', 2);
    }

    const std::vector<double> keys = MeasureKeystrokes(large, unitNames);
    Out() << "Type-ahead keystroke in the input unit box, " << kUnitCount << " units, " << keys.size()
          << " keystrokes (ms)\n";
    Out() << QStringLiteral("  median %1   95th percentile %2   max %3\n")
                 .arg(Median(keys), 0, 'f', 3)
                 .arg(Percentile(keys, 0.95), 0, 'f', 3)
                 .arg(*std::max_element(keys.begin(), keys.end()), 0, 'f', 3);
    Out().flush();
    return 0;
}
