// quarven-wave-dump: the window. It takes no options of its own.

#include "EventLoopMidiWait.h"
#include "MessageBoxAlert.h"
#include "MidiService.h"
#include "QuarWindow.h"

#include <QApplication>

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
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "%s: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
                     kProgram);
        return 1;
    }

    // The MIDI destinations are looked for while Qt starts up.
    MIDIServicePrepare();

    g_qtHandler = qInstallMessageHandler(StartUpMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);

    InstallMessageBoxAlerts();
    InstallEventLoopMidiWaiter();
    int status = 0;
    {
        QuarWindow window;
        window.show();
        status = app.exec();
    }
    // A MIDI system stuck in a call must not hold up quitting, and exit
    // handlers must not run under it.
    MIDIServiceSetWaiter(nullptr);
    if (!MIDIServiceShutDown()) {
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}
