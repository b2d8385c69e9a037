// quarven-wave-dump [FILE]: the window. Of its own it takes only --help and
// --version, which work without a display, and a file to open as a drop of
// it; Qt takes its usual options.

#include "CommandLineFiles.h"
#include "HelpAndVersion.h"
#include "MessageBoxAlert.h"
#include "MidiExit.h"
#include "MidiService.h"
#include "QuarWindow.h"
#include "Termination.h"
#include "WindowIcon.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kProgram[] = "quarven-wave-dump";

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

QtMessageHandler g_qtHandler = nullptr;

// Qt ends the process with abort() when it can't reach the display it was
// pointed at; while the application starts, say so in one line and exit.
void StartUpMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        g_qtHandler(type, context, message);
        return;
    }
    const char* display = IsSet("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : std::getenv("DISPLAY");
    std::fprintf(stderr, "%s: can't open the window: display \"%s\" is not usable (see above).\n", kProgram,
                 display != nullptr ? display : "");
    // The MIDI systems are opening meanwhile: closed in order, never cut off.
    std::_Exit(CloseMidiAndReturn(1));
}

}  // namespace

int main(int argc, char* argv[])
{
    if (const int status = AnswerHelpOrVersion(argc, argv); status >= 0)
        return status;
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "%s: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
                     kProgram);
        return 1;
    }

    CatchTerminationSignals();
    // The MIDI destinations are looked for while Qt starts up.
    MIDIServicePrepare();

    g_qtHandler = qInstallMessageHandler(StartUpMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    SetApplicationIcon();

    InstallMessageBoxAlerts();
    // A signal quits as the Quit command does.
    QSocketNotifier signalled(TerminationFd(), QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &app, &QApplication::quit);
    int status = 0;
    {
        // Filled before it first shows: no event loop runs while it is made.
        QuarWindow window;
        window.show();
        // Qt has taken its options out of argv: a file left is taken as
        // dropped, once the window is up.
        const QByteArray files = CommandLineUriList(argc, argv);
        if (!files.isEmpty())
            QTimer::singleShot(0, &window, [&window, files] { window.openCommandLineFiles(files); });
        if (TerminationSignal() == 0)
            status = app.exec();
        window.keepBankIfEnded();
    }
    return CloseMidiAndReturn(status);
}
