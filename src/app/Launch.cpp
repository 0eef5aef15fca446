#include "Launch.h"

#include "App.h"
#include "RealToolkit.h"

#include <QApplication>
#include <QTimer>

std::vector<char*> Launch::toolkitArguments(int argc, char** argv)
{
    static char fallbackName[] = "planfolio";
    return {argc > 0 && argv && argv[0] ? argv[0] : fallbackName, nullptr};
}

namespace {
// The application has no console: toolkit warnings (a missing file
// manager launcher, a platform plugin's notes) are dropped, not printed.
void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

int Launch::run(int argc, char** argv)
{
    qInstallMessageHandler(discardMessage);
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
