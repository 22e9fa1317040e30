#include "modes/QuitSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace morvex {
namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the signal handler, read on the GUI thread. One pair per process.
int g_pipe[2] = {-1, -1};

extern "C" void onQuitSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    // A full socket already holds a pending request; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kQuitSignals)
        ::sigaction(number, &action, nullptr);
}

// A parent (a test, a service manager) may start us with these blocked; they must reach us.
void unblockQuitSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : kQuitSignals)
        sigaddset(&set, number);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent) {
    if (g_pipe[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPending);
    setHandler(onQuitSignal);
    unblockQuitSignals();
}

QuitSignals::~QuitSignals() {
    if (!m_notifier)
        return;
    setHandler(SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void QuitSignals::readPending() {
    char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1)
        Q_EMIT quitRequested(static_cast<unsigned char>(byte));
}

} // namespace morvex
