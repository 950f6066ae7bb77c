#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};
volatile sig_atomic_t gLastSignal = 0;

void OnSignal(int signal) {
    gLastSignal = signal;
    const int saved = errno;
    const char byte = 1;
    // Only async-signal-safe calls here.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

void SetHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

bool TTerminationSignals::InstallHandlers() {
    if (gPipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) {
            gPipe[0] = gPipe[1] = -1;
            return false;
        }
        ::fcntl(gPipe[1], F_SETFL, O_NONBLOCK);
    }
    SetHandler(OnSignal);
    return true;
}

void TTerminationSignals::RestoreDefaultHandlers() {
    SetHandler(SIG_DFL);
    if (gLastSignal != 0) {
        ::raise(gLastSignal);
    }
}

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    if (!InstallHandlers()) {
        return;
    }
    // A byte already waiting (a signal before this object existed) makes the notifier fire as
    // soon as the event loop runs.
    FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::ReadPipe);
}

TTerminationSignals::~TTerminationSignals() {
    SetHandler(SIG_DFL);
}

void TTerminationSignals::ReadPipe() {
    char buffer[16];
    [[maybe_unused]] const ssize_t read = ::read(gPipe[0], buffer, sizeof buffer);
    emit TerminationRequested();
}
