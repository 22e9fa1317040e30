#include "modes/DisplayProbe.h"

#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace morvex {
namespace {

// A connection attempt that gives up after this long: a dead forwarded display must not
// make the program hang before it can say anything.
constexpr int kConnectTimeoutMs = 1500;

bool connectWithTimeout(int fd, const sockaddr* address, socklen_t length) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd waiting{fd, POLLOUT, 0};
    if (::poll(&waiting, 1, kConnectTimeoutMs) != 1)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool unixSocketAnswers(const std::string& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.empty() || path.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               path.size() + (abstract ? 0 : 1));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connectWithTimeout(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::close(fd);
    return answered;
}

bool tcpAnswers(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool answered = false;
    for (addrinfo* entry = found; entry && !answered; entry = entry->ai_next) {
        const int fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        answered = connectWithTimeout(fd, entry->ai_addr, entry->ai_addrlen);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return answered;
}

// "[host]:display[.screen]"; an empty host or "unix" means the local socket.
bool x11Answers(const QByteArray& display) {
    const qsizetype colon = display.lastIndexOf(':');
    if (colon < 0)
        return false;
    const QByteArray host = display.left(colon);
    QByteArray number = display.mid(colon + 1);
    number.truncate(number.indexOf('.') < 0 ? number.size() : number.indexOf('.'));
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 0)
        return false;
    if (host.isEmpty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
        return unixSocketAnswers(path, true) || unixSocketAnswers(path, false);
    }
    return tcpAnswers(host.toStdString(), 6000 + n);
}

bool waylandAnswers(const QByteArray& display, const QByteArray& runtimeDir) {
    if (display.startsWith('/'))
        return unixSocketAnswers(display.toStdString(), false);
    if (runtimeDir.isEmpty())
        return false;
    return unixSocketAnswers((runtimeDir + '/' + display).toStdString(), false);
}

} // namespace

DisplayEnvironment DisplayEnvironment::fromProcess() {
    return {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_RUNTIME_DIR")};
}

bool displayReachable(const DisplayEnvironment& environment) {
    if (!environment.waylandDisplay.isEmpty() &&
        waylandAnswers(environment.waylandDisplay, environment.runtimeDir))
        return true;
    return !environment.x11Display.isEmpty() && x11Answers(environment.x11Display);
}

bool platformChosenByUser(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

} // namespace morvex
