#include "Launch.h"

#include "App.h"
#include "RealToolkit.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <mutex>

std::vector<char*> Launch::toolkitArguments(int argc, char** argv)
{
    static char fallbackName[] = "planfolio";
    return {argc > 0 && argv && argv[0] ? argv[0] : fallbackName, nullptr};
}

namespace {
// The application has no console of its own: the toolkit's notes (a missing
// file manager launcher, a platform plugin's remarks) are not printed. The
// last few warnings are kept, so that when the toolkit cannot go on (no
// display to connect to, no platform plugin) standard error says why,
// instead of the process ending with a bare abort.
std::mutex noteMutex;
std::deque<QString> notes;
constexpr std::size_t keptNotes = 8;

void handleMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const std::lock_guard lock(noteMutex);
    if (type == QtWarningMsg) {
        notes.push_back(text);
        if (notes.size() > keptNotes)
            notes.pop_front();
        return;
    }
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    for (const QString& note : notes)
        std::fprintf(stderr, "planfolio: %s\n", qUtf8Printable(note));
    notes.clear();
    std::fprintf(stderr, "planfolio: %s\n", qUtf8Printable(text));
    std::fflush(stderr);
}
} // namespace

int Launch::run(int argc, char** argv)
{
    qInstallMessageHandler(handleMessage);
    std::vector<char*> arguments = toolkitArguments(argc, argv);
    // QApplication keeps a reference to the count for its lifetime.
    int count = 1;
    QApplication application(count, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Planfolio"));
    QGuiApplication::setDesktopFileName(QStringLiteral("planfolio"));

    App delegate(std::make_unique<RealToolkit>());
    // Launching has finished once the event loop runs.
    QTimer::singleShot(0, &delegate, &App::applicationDidFinishLaunching);
    return QApplication::exec();
}
