// Running morvex-convert as a child process in a scratch directory, for the end-to-end tests.
#pragma once

#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

/// The scratch folder a run works in.
using Scratch = morvex::test::TempDir;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

constexpr uid_t kNobody = 65534;

/// Gives the folder and everything in it to the unprivileged user when root runs the tests;
/// false when that fails.
inline bool giveToNobody(const Scratch& s) {
    if (::geteuid() != 0)
        return true;
    for (const auto& e : fs::recursive_directory_iterator(s.path()))
        if (::lchown(e.path().c_str(), kNobody, kNobody) != 0)
            return false;
    return ::chown(s.path().c_str(), kNobody, kNobody) == 0;
}

/// What a run may change in the child before the converter starts (limits, descriptors).
using ChildSetup = std::function<void()>;

/// A started converter; finish() waits for it and collects its output.
class ConvertRun {
public:
    // `env` entries ("NAME=value") are added to the child's environment. With `asNobody` a root
    // caller runs it as an unprivileged user, so that permissions apply.
    ConvertRun(const Scratch& s, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}, bool asNobody = false,
               const ChildSetup& setup = {}, bool listsBeside = true) {
        static int counter = 0;
        const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(++counter);
        m_outFile = s.file(".out" + tag);
        m_errFile = s.file(".err" + tag);
        // The build tree may sit below a folder only root can enter; an unprivileged run
        // executes a copy of the converter kept in the scratch directory instead.
        std::string program = MORVEX_CONVERT;
        // Another build of the converter (an older one, to see a test fail) may be named here.
        if (const char* other = std::getenv("MORVEX_CONVERT_UNDER_TEST"))
            program = other;
        if (asNobody && ::geteuid() == 0) {
            const std::string built = program;
            program = s.file(".morvex-convert");
            fs::copy_file(built, program, fs::copy_options::overwrite_existing);
            fs::permissions(program, fs::perms(0755));
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            if (::chdir(s.path().c_str()) != 0)
                ::_exit(120);
            const int out = ::open(m_outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            for (const std::string& e : env)
                ::putenv(const_cast<char*>(e.c_str()));
            if (setup)
                setup();
            if (asNobody && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(122);
            std::vector<char*> argv{program.data()};
            // The tests keep their lists beside the upload files, not in the user's list folder;
            // an option given by the test comes later and wins.
            std::string footers = "--footer-list=*.mfl", headers = "--header-list=*.mhl";
            if (listsBeside)
                argv.insert(argv.end(), {footers.data(), headers.data()});
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(121);
        }
    }

    /// The exit status (-1 for a signal, with the signal in `signal`), standard output and error.
    Outcome finish() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        Outcome r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        r.out = morvex::test::readFile(m_outFile);
        r.err = morvex::test::readFile(m_errFile);
        fs::remove(m_outFile);
        fs::remove(m_errFile);
        return r;
    }
    int signal() const { return m_signal; }

private:
    pid_t m_pid = -1;
    int m_signal = 0;
    std::string m_outFile;
    std::string m_errFile;
};

inline Outcome convert(const Scratch& s, const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {}, bool asNobody = false,
                       const ChildSetup& setup = {}) {
    return ConvertRun(s, args, env, asNobody, setup).finish();
}

inline int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace clitest
