// A stand-in for the before, after and watched programs: waits if asked, then appends one line
// to a log saying when it ran, whether it leads its own session, which descriptors it holds,
// its directory, one environment probe and its arguments:
//   morvex_test_child --log=PATH [--sleep=MS] ARGS...
// Fields are separated by tabs: start and end (ms since the epoch), session leader (0/1),
// descriptors (comma list), working directory, $MORVEX_CHILD_PROBE, then each argument.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string descriptors() {
    std::string list;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return "?";
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
            continue;
        list += (list.empty() ? "" : ",") + std::string(entry->d_name);
    }
    ::closedir(dir);
    return list;
}

} // namespace

int main(int argc, char** argv) {
    const long long start = nowMs();
    // Before anything of ours is open.
    const std::string fds = descriptors();
    std::string log;
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strncmp(argv[i], "--log=", 6) == 0)
            log = argv[i] + 6;
        else if (std::strncmp(argv[i], "--sleep=", 8) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i] + 8)));
        else
            break;
    }
    char cwd[4096] = "?";
    if (!::getcwd(cwd, sizeof cwd))
        std::strcpy(cwd, "?");
    const char* probe = std::getenv("MORVEX_CHILD_PROBE");
    std::string line = std::to_string(start) + '\t' + std::to_string(nowMs()) + '\t' +
                       (::getsid(0) == ::getpid() ? "1" : "0") + '\t' + fds + '\t' + cwd + '\t' +
                       (probe ? probe : "");
    for (; i < argc; ++i)
        line += '\t' + std::string(argv[i]);
    line += '\n';
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1;
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return written ? 0 : 1;
}
