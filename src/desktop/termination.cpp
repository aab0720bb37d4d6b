#include "desktop/termination.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalSocket[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalSocket[0], &byte, 1);
}
} // namespace

void closeOnTerminationSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalSocket[1], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

void endProgramAfterUnload(bool mainLoopRunning) {
    // Inside a dialog's own loop (a termination signal while a box is up, or
    // during start-up), returning would resume the handler that opened the box
    // after the window has ended: it would go on working and save again. The
    // state was saved just before, so the process ends here.
    if (!mainLoopRunning || QThread::currentThread()->loopLevel() > 1) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    QCoreApplication::exit(0);
}
