#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
}

}  // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    if (gPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    ::fcntl(gPipe[1], F_SETFL, O_NONBLOCK);
    FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::ReadPipe);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

void TTerminationSignals::ReadPipe() {
    char buffer[16];
    [[maybe_unused]] const ssize_t read = ::read(gPipe[0], buffer, sizeof buffer);
    emit TerminationRequested();
}
