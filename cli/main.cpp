#include "Commands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>

namespace {

void PrintUsage(FILE* out)
{
    QTextStream s(out);
    s << "Usage: morvex <command> [options] [arguments]\n"
         "\n"
         "Commands:\n"
         "  convert VALUE FROM TO     convert a value between two units of one category\n"
         "  categories                list the categories\n"
         "  units [CATEGORY]          list units with their factors\n"
         "  format [VALUE...]         format numbers as the window shows them\n"
         "  parse [TEXT...]           read numbers as the window reads them\n"
         "  data dump|build|build-terms ...  convert data files to and from text\n"
         "  running                   exit 0 when an instance of the program runs\n"
         "  quit-running              ask every running instance to end\n"
         "\n"
         "Run 'morvex <command> --help' for the options of a command.\n";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvex"));

    const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {QStringLiteral("convert"), CmdConvert}, {QStringLiteral("categories"), CmdCategories},
        {QStringLiteral("units"), CmdUnits},     {QStringLiteral("format"), CmdFormat},
        {QStringLiteral("parse"), CmdParse},     {QStringLiteral("data"), CmdData},
        {QStringLiteral("running"), CmdRunning}, {QStringLiteral("quit-running"), CmdQuitRunning},
    };

    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h")) {
        PrintUsage(args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? ExitUsage : ExitOk;
    }
    const auto it = commands.find(args[1]);
    if (it == commands.end()) {
        QTextStream(stderr) << "morvex: unknown command '" << args[1] << "'\n";
        PrintUsage(stderr);
        return ExitUsage;
    }
    args[0] = QStringLiteral("morvex ") + args[1];
    args.removeAt(1);
    const int code = it->second(args);
    // Output that did not reach its file or pipe (a full disk, a closed pipe) is a failure,
    // not a success with nothing written.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        QTextStream(stderr) << "morvex: cannot write to standard output\n";
        return code == ExitOk ? ExitDataFile : code;
    }
    return code;
}
