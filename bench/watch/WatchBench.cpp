// Watch-mode benchmark: the cost of one watch tick over unchanged upload files against find
// printing their modification times, the CPU an idle "morvex /o" uses, the delay from a save's
// close to the converted file, a batch of changed files converted by the watch against
// morvex-convert, and the time SIGTERM takes during such a look. Prints its figures; never run
// as a test.
#include "modes/Watch.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kFolders = 10;

struct Options {
    std::string morvex;
    std::string convert; ///< morvex-convert, for the batch against it
    int batch = 20000;
    fs::path dir = "bench-watch-work";
    std::vector<int> sizes = {1000, 10000, 100000};
    int runs = 7;
    int idleSeconds = 60;
    int saves = 20;
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// `files` upload files spread over ten folders; the source entries, one pattern per folder.
std::vector<std::string> makeTree(const fs::path& root, int files) {
    fs::remove_all(root);
    std::vector<std::string> sources;
    for (int folder = 0; folder < kFolders; ++folder) {
        const fs::path dir = root / ("box" + std::to_string(folder));
        fs::create_directories(dir);
        for (int i = folder; i < files; i += kFolders) {
            char name[32];
            std::snprintf(name, sizeof name, "msg%06d.up", i);
            writeFile(dir / name, "plain text\r\n");
        }
        sources.push_back((dir / "*.up").string());
    }
    return sources;
}

pid_t spawn(const std::vector<std::string>& words, const char* out,
            const std::vector<std::string>& extraEnv = {}) {
    std::vector<char*> argv;
    for (const std::string& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
            envText.push_back(entry);
    }
    envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& entry : envText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double ms(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
}

// Wall time, and user and system CPU time, of one measured piece of work.
struct Cost {
    double wallMs = 0;
    double userMs = 0;
    double systemMs = 0;
};

Cost findCost(const fs::path& root) {
    const auto start = Clock::now();
    const pid_t pid =
        spawn({"find", root.string(), "-name", "*.up", "-printf", "%T@ %p\n"}, "/dev/null");
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {msSince(start), ms(usage.ru_utime), ms(usage.ru_stime)};
}

template <typename Work> Cost ownCost(Work work) {
    rusage before{};
    rusage after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    work();
    const double wall = msSince(start);
    ::getrusage(RUSAGE_SELF, &after);
    return {wall, ms(after.ru_utime) - ms(before.ru_utime),
            ms(after.ru_stime) - ms(before.ru_stime)};
}

Cost medianCost(const std::vector<Cost>& costs) {
    std::vector<double> wall, user, system;
    for (const Cost& cost : costs) {
        wall.push_back(cost.wallMs);
        user.push_back(cost.userMs);
        system.push_back(cost.systemMs);
    }
    return {median(wall), median(user), median(system)};
}

struct TickFigures {
    int files;
    Cost tick;
    Cost find;
};

TickFigures measureTick(const Options& options, int files) {
    const fs::path root = options.dir / "tree";
    const std::vector<std::string> sources = makeTree(root, files);
    int conversions = 0;
    morvex::WatchPass watch({.buildPools = {},
                             .convertOne =
                                 [&](const std::string&, bool) {
                                     ++conversions;
                                     return morvex::WatchPass::Outcome::Converted;
                                 },
                             .statFile = {},
                             .beginLook = {},
                             .betweenFiles = {},
                             .writers = {}});
    watch.tick(sources); // the baseline
    std::vector<Cost> ticks;
    std::vector<Cost> finds;
    for (int run = 0; run < options.runs; ++run) {
        ticks.push_back(ownCost([&] { watch.tick(sources); }));
        finds.push_back(findCost(root));
    }
    if (conversions != 0 || watch.records().size() != static_cast<std::size_t>(files)) {
        std::fprintf(stderr, "unexpected: %d conversions, %zu records\n", conversions,
                     watch.records().size());
        std::exit(1);
    }
    return {files, medianCost(ticks), medianCost(finds)};
}

// utime + stime of a process, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoll(field);
        if (i == 15)
            stime = std::stoll(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string regText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

void writeSettings(const fs::path& config, const fs::path& lists,
                   const std::vector<std::string>& sources, bool showResult = false) {
    char count[16];
    std::snprintf(count, sizeof count, "%08zx", sources.size());
    std::string text = "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                       "\"SrcFileCount\"=dword:" +
                       std::string(count) + "\n";
    for (std::size_t i = 0; i < sources.size(); ++i)
        text += "\"SrcFileName" + (i ? std::to_string(i) : std::string()) + "\"=\"" +
                regText(sources[i]) + "\"\n";
    text += "\"FutterFileName\"=\"" + regText((lists / "f.mfl").string()) + "\"\n";
    text += "\"HeaderFileName\"=\"" + regText((lists / "h.mhl").string()) + "\"\n";
    text += std::string("\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]\n") +
            "\"ShowResult\"=dword:0000000" + (showResult ? "1" : "0") +
            "\n\"NotShowResult\"=dword:0000000" + (showResult ? "0" : "1") + "\n";
    fs::create_directories(config / "morvex");
    writeFile(config / "morvex" / "settings.reg", text);
}

struct Watcher {
    pid_t pid = -1;
    fs::path out; ///< its standard output
};

// "morvex /o" over `sources` with lists and settings under the bench folder, past its first look.
Watcher startWatch(const Options& options, const std::vector<std::string>& sources,
                   bool showResult) {
    const fs::path lists = fs::absolute(options.dir / "lists");
    fs::create_directories(lists);
    writeFile(lists / "f.mfl", "-- sig\r\n");
    writeFile(lists / "h.mhl", "Re: \\H\r\n");
    const fs::path config = fs::absolute(options.dir / "config");
    writeSettings(config, lists, sources, showResult);
    Watcher watcher;
    watcher.out = fs::absolute(options.dir / "watch.out");
    watcher.pid = spawn(
        {options.morvex, "/o"}, watcher.out.c_str(),
        {"XDG_CONFIG_HOME=" + config.string(), "TMPDIR=" + fs::absolute(options.dir).string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // past the baseline
    return watcher;
}

// Ends it with SIGTERM; the time to its end in ms.
double stopWatch(const Watcher& watcher) {
    const auto start = Clock::now();
    ::kill(watcher.pid, SIGTERM);
    ::waitpid(watcher.pid, nullptr, 0);
    return msSince(start);
}

void measureIdleAndSaves(const Options& options) {
    const fs::path root = options.dir / "tree";
    const std::vector<std::string> sources = makeTree(root, 10000);
    const Watcher watcher = startWatch(options, sources, false);
    const double before = cpuSeconds(watcher.pid);
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    const double used = cpuSeconds(watcher.pid) - before;
    std::printf("\nidle \"morvex /o\" over 10,000 files for %d s: %.2f s CPU = %.2f %% of one core "
                "(target < 2 %%)\n",
                options.idleSeconds, used, 100.0 * used / options.idleSeconds);
    std::fflush(stdout);

    std::vector<double> delays;
    for (int save = 0; save < options.saves; ++save) {
        const fs::path file = root / "box3" / ("saved" + std::to_string(save) + ".up");
        // Saves land at different points of the two-second look.
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + 170 * (save % 10)));
        writeFile(file, ")\r\n"); // closed when it returns
        const auto closed = Clock::now();
        while (readFile(file) != "-- sig\r\n" && msSince(closed) < 10000)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        delays.push_back(msSince(closed));
    }
    stopWatch(watcher);
    std::printf("save's close to converted file (%d saves): median %.1f ms, longest %.1f ms "
                "(target with notification: median < 200 ms)\n",
                options.saves, median(delays), *std::max_element(delays.begin(), delays.end()));
    std::fflush(stdout);
}

// Puts the marked text back into every file of the batch, as it was before any conversion.
void markAll(const std::vector<fs::path>& files) {
    for (const fs::path& file : files) {
        writeFile(file, "]Hello\r\n)\r\n");
        fs::path backup = file;
        fs::remove(backup.replace_extension(".bak"));
    }
}

// Gives every file a later time, as a save does, in one burst.
void touchAll(const std::vector<fs::path>& files) {
    const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    for (const fs::path& file : files)
        ::utimensat(AT_FDCWD, file.c_str(), now, 0);
}

std::size_t linesIn(const fs::path& file) {
    const std::string text = readFile(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void measureBatch(const Options& options) {
    const fs::path root = options.dir / "batch";
    const std::vector<std::string> sources = makeTree(root, options.batch);
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    const auto count = static_cast<std::size_t>(options.batch);

    // morvex-convert over the same marked files, with the same lists.
    markAll(files);
    const fs::path lists = fs::absolute(options.dir / "lists");
    fs::create_directories(lists);
    writeFile(lists / "f.mfl", "-- sig\r\n");
    writeFile(lists / "h.mhl", "Re: \\H\r\n");
    std::vector<std::string> convertArgs = {options.convert, "--footer-list",
                                            (lists / "f.mfl").string(), "--header-list",
                                            (lists / "h.mhl").string()};
    convertArgs.insert(convertArgs.end(), sources.begin(), sources.end());
    auto start = Clock::now();
    const pid_t convert = spawn(convertArgs, "/dev/null");
    ::waitpid(convert, nullptr, 0);
    const double convertMs = msSince(start);

    // The watch, told of every file at once.
    markAll(files);
    Watcher watcher = startWatch(options, sources, true);
    start = Clock::now();
    touchAll(files);
    while (linesIn(watcher.out) < count && msSince(start) < 600000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double watchMs = msSince(start);
    const std::size_t converted = linesIn(watcher.out);
    stopWatch(watcher);
    std::printf("\n%d changed files: the watch converted %zu in %.0f ms, morvex-convert all in "
                "%.0f ms: ratio %.2f (target <= 2)\n",
                options.batch, converted, watchMs, convertMs, watchMs / convertMs);
    std::fflush(stdout);

    // Again, with SIGTERM once a tenth of them are done.
    markAll(files);
    watcher = startWatch(options, sources, true);
    touchAll(files);
    start = Clock::now();
    while (linesIn(watcher.out) < count / 10 && msSince(start) < 600000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double endMs = stopWatch(watcher);
    std::printf("SIGTERM during that look to the end of \"morvex /o\": %.0f ms, after %zu of %d "
                "files (target < 1000 ms)\n",
                endMs, linesIn(watcher.out), options.batch);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--morvex")
            options.morvex = value();
        else if (arg == "--convert")
            options.convert = value();
        else if (arg == "--batch")
            options.batch = std::stoi(value());
        else if (arg == "--dir")
            options.dir = value();
        else if (arg == "--runs")
            options.runs = std::stoi(value());
        else if (arg == "--idle-seconds")
            options.idleSeconds = std::stoi(value());
        else if (arg == "--sizes") {
            options.sizes.clear();
            std::istringstream list(value());
            for (std::string size; std::getline(list, size, ',');)
                options.sizes.push_back(std::stoi(size));
        } else {
            std::fprintf(stderr,
                         "usage: %s [--morvex PROGRAM] [--convert PROGRAM] [--dir DIR] [--runs N] "
                         "[--sizes A,B,C] [--idle-seconds S] [--batch FILES]\n",
                         argv[0]);
            std::exit(2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    fs::create_directories(options.dir);
    std::printf("one watch tick over unchanged files (%d folders, pattern entries), median of %d, "
                "against find -printf '%%T@ %%p'\n",
                kFolders, options.runs);
    std::printf("%9s | %9s %9s %9s | %9s %9s %9s | %10s %9s | %8s\n", "files", "tick ms", "user ms",
                "sys ms", "find ms", "user ms", "sys ms", "wall ratio", "CPU ratio", "CPU us/f");
    std::vector<TickFigures> figures;
    const auto cpu = [](const Cost& cost) {
        return cost.userMs + cost.systemMs;
    };
    for (int files : options.sizes) {
        figures.push_back(measureTick(options, files));
        const TickFigures& f = figures.back();
        std::printf("%9d | %9.2f %9.2f %9.2f | %9.2f %9.2f %9.2f | %10.2f %9.2f | %8.3f\n", f.files,
                    f.tick.wallMs, f.tick.userMs, f.tick.systemMs, f.find.wallMs, f.find.userMs,
                    f.find.systemMs, f.tick.wallMs / f.find.wallMs, cpu(f.tick) / cpu(f.find),
                    1000.0 * cpu(f.tick) / f.files);
        std::fflush(stdout);
    }
    std::printf("(ratios: the tick against find; target <= 2. Wall times include waiting for a "
                "CPU on a busy machine)\n");
    if (figures.size() >= 2) {
        const TickFigures& small = figures.front();
        const TickFigures& large = figures.back();
        const auto growth = [&](double largeTotal, double smallTotal) {
            return (largeTotal / large.files) / (smallTotal / small.files);
        };
        std::printf("per-file cost at %d against %d files: CPU %.2f, wall %.2f (target <= 1.5)\n",
                    large.files, small.files, growth(cpu(large.tick), cpu(small.tick)),
                    growth(large.tick.wallMs, small.tick.wallMs));
    }
    if (!options.morvex.empty())
        measureIdleAndSaves(options);
    if (!options.morvex.empty() && !options.convert.empty())
        measureBatch(options);
    fs::remove_all(options.dir);
    return 0;
}
