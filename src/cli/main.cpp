// planfolio-cli: the drawing-set engine from the command line. Every command
// goes through the same engine calls as the window, with the same checks
// and messages; see Usage.cpp for the commands.

#include "CliFailure.h"
#include "Commands.h"
#include "InputEcho.h"
#include "PlanfolioVersion.h"
#include "Session.h"
#include "SignalCancellation.h"
#include "Usage.h"
#include "Workflow.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>

namespace {

void printError(const QString& message)
{
    std::fprintf(stderr, "planfolio-cli: %s\n", message.toUtf8().constData());
}

int printText(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    return std::fflush(stream) == 0 ? 0 : 1;
}

using Command = std::function<int(const QStringList&, Session&)>;

const std::map<QString, Command>& commands()
{
    static const std::map<QString, Command> table{
        {QStringLiteral("inspect"), Commands::inspect}, {QStringLiteral("words"), Commands::words},
        {QStringLiteral("read"), Commands::read},       {QStringLiteral("export"), Commands::exportRows},
        {QStringLiteral("split"), Commands::split},     {QStringLiteral("suggest"), Commands::suggest},
    };
    return table;
}

int run(const QStringList& args)
{
    if (args.isEmpty()) {
        printText(stderr, Usage::tool());
        return 2;
    }
    const QString name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        if (args.size() > 1 && commands().count(args.at(1)))
            return printText(stdout, Usage::command(args.at(1)));
        return printText(stdout, Usage::tool());
    }
    if (name == QLatin1String("--version"))
        return printText(stdout, QStringLiteral("planfolio-cli ") + QLatin1String(Planfolio::version) +
                                     QLatin1Char('\n'));
    const auto command = commands().find(name);
    if (command == commands().end()) {
        printError(QStringLiteral("unknown command '") + InputEcho::bounded(name) + QStringLiteral("'"));
        std::fprintf(stderr, "Try 'planfolio-cli --help'.\n");
        return 2;
    }

    WorkCancellation token;
    const SignalCancellation watcher(token);
    Session session(token);
    try {
        return command->second(args.mid(1), session);
    } catch (const CliFailure& failure) {
        session.endProgress();
        printError(failure.message());
        switch (failure.kind()) {
        case CliFailure::Refused:
            return 1;
        case CliFailure::Usage:
            std::fprintf(stderr, "Try 'planfolio-cli %s --help'.\n", name.toUtf8().constData());
            return 2;
        case CliFailure::Cancelled:
            return 128 + (watcher.signalNumber() != 0 ? watcher.signalNumber() : SIGINT);
        }
    } catch (const std::bad_alloc&) {
        session.endProgress();
        printError(QStringLiteral("out of memory"));
    } catch (const std::exception& error) {
        // Nothing the engine documents ends here; say so rather than exit
        // as if the work had been done.
        session.endProgress();
        printError(QStringLiteral("unexpected failure: ") + QString::fromUtf8(error.what()));
    }
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread exists, so that every thread inherits the mask and
    // only the signal thread ever receives SIGINT or SIGTERM.
    SignalCancellation::blockSignals();

    // The tool's arguments are its own: Qt gets only the program name.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QFile::decodeName(argv[i]));
    return run(args);
}
