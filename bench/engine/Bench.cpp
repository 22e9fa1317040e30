// Conversion benchmark: morvex-convert against cp and GNU sed on a generated upload file, pool
// building from large lists, and a pass over many files under rules against one without. Prints its
// figures; never run as a test.
#include "engine/Engine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    std::string convert;
    fs::path dir = "bench-work";
    double megabytes = 200;
    int runs = 5;
    bool keep = false;
    std::string only; ///< one part: conversion, utf8, pools or rules; empty: all
};

// Shift-JIS text: ASCII words and two-byte characters from the kanji rows.
class TextMaker {
public:
    std::string sjis(std::size_t chars) {
        std::string s;
        for (std::size_t i = 0; i < chars; ++i) {
            if (m_pick(m_rng) % 5 == 0) {
                s += static_cast<char>('a' + m_pick(m_rng) % 26);
                continue;
            }
            s += static_cast<char>(0x88 + m_pick(m_rng) % 0x18);
            const unsigned trail = 0x40 + m_pick(m_rng) % 0xBC;
            s += static_cast<char>(trail == 0x7F ? 0x80 : trail);
        }
        return s;
    }
    // UTF-8 text: ASCII letters and kana (three bytes each), which a Shift-JIS pool takes too.
    std::string utf8(std::size_t chars) {
        std::string s;
        for (std::size_t i = 0; i < chars; ++i) {
            if (m_pick(m_rng) % 5 == 0) {
                s += static_cast<char>('a' + m_pick(m_rng) % 26);
                continue;
            }
            const unsigned code = 0x3041 + m_pick(m_rng) % 0x53; // ぁ to ん
            s += static_cast<char>(0xE0 | (code >> 12));
            s += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (code & 0x3F));
        }
        return s;
    }
    unsigned percent() { return m_pick(m_rng) % 1000; }

private:
    std::mt19937 m_rng{20240101u};
    std::uniform_int_distribution<unsigned> m_pick{0, 1u << 30};
};

void writeAll(const fs::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

using MakeText = std::string (TextMaker::*)(std::size_t);

void makeLists(const fs::path& dir, TextMaker& text, MakeText make = &TextMaker::sjis) {
    std::string footers = "; benchmark footers\r\n\r\n", headers = "; benchmark headers\r\n\r\n";
    for (int i = 0; i < 1000; ++i) {
        footers += "-- \\N" + (text.*make)(8) + " \\R0100\\S04" + (text.*make)(6) + "\r\n";
        headers += "Re: \\H\\N\\S02" + (text.*make)(10) + " #\\R9999\r\n";
    }
    fs::create_directories(dir);
    writeAll(dir / "bench.mfl", footers);
    writeAll(dir / "bench.mhl", headers);
}

// About 2% footer lines and 1% header lines, CR LF, streamed out in blocks.
std::uint64_t makeUpload(const fs::path& path, std::uint64_t bytes, TextMaker& text,
                         std::uint64_t& lineCount, MakeText make = &TextMaker::sjis) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::string block;
    std::uint64_t written = 0;
    while (written < bytes) {
        block.clear();
        while (block.size() < (1 << 20)) {
            const unsigned p = text.percent();
            if (p < 20)
                block += ")";
            else if (p < 30)
                block += "]Re: " + (text.*make)(12);
            else
                block += (text.*make)(20 + p % 20);
            block += "\r\n";
            ++lineCount;
        }
        std::fwrite(block.data(), 1, block.size(), f);
        written += block.size();
    }
    std::fclose(f);
    return written;
}

struct Sample {
    double seconds = 0;
    long peakKb = 0;
};

// Runs one program to its end; stdout to `out` (or /dev/null). Wall time and peak memory.
Sample runProgram(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::setenv("LC_ALL", "C", 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Figures {
    std::vector<double> convert, cp, sed;
    long peakKb = 0;
};

// One timed conversion of a fresh copy of `source` with the lists in `lists`.
Sample convertCopy(const Options& o, const fs::path& source, const fs::path& lists,
                   const std::string& encoding) {
    const fs::path conv = o.dir / "conv.up";
    fs::remove(o.dir / "conv.bak");
    fs::copy_file(source, conv, fs::copy_options::overwrite_existing);
    ::sync(); // nobody pays for another's write-back
    return runProgram({o.convert, "--seed", "1", "--encoding", encoding, "--footer-list",
                       (lists / "*.mfl").string(), "--header-list", (lists / "*.mhl").string(),
                       conv.string()});
}

Sample sedAndSync(const Options& o, const fs::path& source) {
    const fs::path sedOut = o.dir / "out.sed";
    ::sync();
    const Sample s1 = runProgram({"sed", "-e", "s/^)/FOOTER/", source.string()}, sedOut.string());
    const Sample s2 = runProgram({"sync", sedOut.string()});
    return {s1.seconds + s2.seconds, s1.peakKb};
}

void runOnce(const Options& o, const fs::path& source, Figures& fig) {
    const fs::path cpOut = o.dir / "out.cp";
    fs::remove(cpOut);
    const Sample c = convertCopy(o, source, o.dir, "sjis");
    fig.convert.push_back(c.seconds);
    fig.peakKb = std::max(fig.peakKb, c.peakKb);
    ::sync();
    const Sample cp1 = runProgram({"cp", source.string(), cpOut.string()});
    const Sample cp2 = runProgram({"sync", cpOut.string()});
    fig.cp.push_back(cp1.seconds + cp2.seconds);
    fig.sed.push_back(sedAndSync(o, source).seconds);
}

void benchConversion(const Options& o) {
    TextMaker text;
    makeLists(o.dir, text);
    const fs::path source = o.dir / "source.up";
    std::uint64_t lines = 0;
    const std::uint64_t bytes =
        makeUpload(source, static_cast<std::uint64_t>(o.megabytes * 1e6), text, lines);
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("Upload file: %.1f MB, %llu lines (about 2%% footer and 1%% header markers); "
                "lists of 1000 entries; %d runs each, medians\n",
                mb, static_cast<unsigned long long>(lines), o.runs);
    Figures fig;
    for (int r = 0; r < o.runs; ++r)
        runOnce(o, source, fig);
    const double tc = median(fig.convert), tcp = median(fig.cp), ts = median(fig.sed);
    std::printf("  %-22s %7.3f s  %8.1f MB/s\n", "morvex-convert", tc, mb / tc);
    std::printf("  %-22s %7.3f s  %8.1f MB/s\n", "cp + sync", tcp, mb / tcp);
    std::printf("  %-22s %7.3f s  %8.1f MB/s\n", "sed + sync (LC_ALL=C)", ts, mb / ts);
    std::printf("  throughput vs sed: %.2fx (target at least 3x)\n", ts / tc);
    std::printf("  time vs cp:        %.2fx (target at most 2x)\n", tc / tcp);
    std::printf("  peak memory:       %.1f MB (target under 16 MB)\n", fig.peakKb / 1024.0);
    if (!o.keep)
        for (const char* name : {"source.up", "conv.up", "conv.bak", "out.cp", "out.sed"})
            fs::remove(o.dir / name);
}

// The same UTF-8 upload file converted in both modes: the UTF-8 mode's binary byte loop against
// the designed text mode, and against sed.
void benchUtf8(const Options& o) {
    TextMaker text;
    const fs::path lists = o.dir / "utf8-lists";
    makeLists(lists, text, &TextMaker::utf8);
    const fs::path source = o.dir / "source-utf8.up";
    std::uint64_t lines = 0;
    const std::uint64_t bytes = makeUpload(source, static_cast<std::uint64_t>(o.megabytes * 1e6),
                                           text, lines, &TextMaker::utf8);
    const double mb = static_cast<double>(bytes) / 1e6;
    // Shift-JIS mode refuses a UTF-8 file, so it is timed on a Shift-JIS file of the same size.
    const fs::path sjisSource = o.dir / "source-sjis.up";
    std::uint64_t sjisLines = 0;
    makeUpload(sjisSource, bytes, text, sjisLines);
    std::printf("UTF-8 upload file: %.1f MB, %llu lines, CR LF, kana and ASCII; UTF-8 lists of "
                "1000 entries (Shift-JIS mode: a Shift-JIS file of the same size); %d runs "
                "each, medians\n",
                mb, static_cast<unsigned long long>(lines), o.runs);
    std::vector<double> sjis, utf8, automatic, sed;
    long peakKb = 0;
    for (int r = 0; r < o.runs; ++r) {
        sjis.push_back(convertCopy(o, sjisSource, lists, "sjis").seconds);
        const Sample u = convertCopy(o, source, lists, "utf-8");
        utf8.push_back(u.seconds);
        peakKb = std::max(peakKb, u.peakKb);
        automatic.push_back(convertCopy(o, source, lists, "auto").seconds);
        sed.push_back(sedAndSync(o, source).seconds);
    }
    const double ts = median(sjis), tu = median(utf8), ta = median(automatic), tsed = median(sed);
    std::printf("  %-32s %7.3f s  %8.1f MB/s\n", "morvex-convert --encoding sjis", ts, mb / ts);
    std::printf("  %-32s %7.3f s  %8.1f MB/s\n", "morvex-convert --encoding utf-8", tu, mb / tu);
    std::printf("  %-32s %7.3f s  %8.1f MB/s\n", "morvex-convert --encoding auto", ta, mb / ta);
    std::printf("  %-32s %7.3f s  %8.1f MB/s\n", "sed + sync (LC_ALL=C)", tsed, mb / tsed);
    std::printf("  UTF-8 mode vs Shift-JIS mode: %.2fx the time (target at most 1.2x)\n", tu / ts);
    std::printf("  UTF-8 mode throughput vs sed: %.2fx (target at least 3x)\n", tsed / tu);
    std::printf("  UTF-8 mode peak memory:       %.1f MB\n", peakKb / 1024.0);
    if (!o.keep) {
        for (const char* name :
             {"source-utf8.up", "source-sjis.up", "conv.up", "conv.bak", "out.sed"})
            fs::remove(o.dir / name);
        fs::remove_all(lists);
    }
}

void benchPools(const Options& o) {
    const fs::path dir = o.dir / "pools";
    fs::create_directories(dir);
    TextMaker text;
    for (int f = 0; f < 10; ++f) {
        std::string list;
        for (int i = 0; i < 100000; ++i) {
            if (i % 50 == 0)
                list += ';'; // a comment now and then
            list += text.sjis(8 + i % 16);
            list += " \\R0100\r\n";
        }
        writeAll(dir / ("list" + std::to_string(f) + ".mfl"), list);
    }
    std::vector<double> times;
    std::size_t lines = 0;
    for (int r = 0; r < o.runs; ++r) {
        morvex::ConvEngine engine([](const std::string& message, const std::string&) {
            std::fprintf(stderr, "%s\n", message.c_str());
        });
        const auto start = Clock::now();
        engine.MakeFooterPool((dir / "*.mfl").string());
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        lines = engine.footerPool().size();
    }
    std::printf("Pool building: %zu lines from 10 list files: %.3f s median (target under 1 s)\n",
                lines, median(times));
    if (!o.keep)
        fs::remove_all(dir);
}

// A pass over 1,000 small upload files with the main lists, and the same pass under 10 rules,
// each rule a name pattern with lists of its own; one file in 11 matches no rule. In process, so
// that the figures are the pass's own; the files are put back between passes, untimed.
void benchRules(const Options& o) {
    const fs::path dir = o.dir / "rules";
    const fs::path originals = dir / "originals", up = dir / "up";
    TextMaker text;
    makeLists(dir, text);
    for (int k = 0; k < 10; ++k) {
        std::string footers, headers;
        for (int i = 0; i < 200; ++i) {
            footers += "-- " + std::to_string(k) + text.sjis(10) + "\r\n";
            headers += "Re" + std::to_string(k) + ": \\H " + text.sjis(6) + "\r\n";
        }
        writeAll(dir / ("r" + std::to_string(k) + ".mfl"), footers);
        writeAll(dir / ("r" + std::to_string(k) + ".mhl"), headers);
    }
    fs::create_directories(originals);
    constexpr int kFiles = 1000;
    std::uint64_t bytes = 0;
    for (int i = 0; i < kFiles; ++i) {
        // Every file has a header and a footer at least, so that every file is converted.
        std::string body = "]" + text.sjis(12) + "\r\n";
        for (int line = 0; line < 58; ++line) {
            const unsigned p = text.percent();
            body += p < 30 ? ")" : p < 50 ? "]Re: " + text.sjis(12) : text.sjis(20 + p % 20);
            body += "\r\n";
        }
        body += ")\r\n";
        bytes += body.size();
        writeAll(originals / ("b" + std::to_string(i % 11) + "-" + std::to_string(i) + ".up"),
                 body);
    }
    morvex::ConvSettings plain;
    plain.sources = {(up / "*.up").string()};
    plain.footerListPattern = (dir / "bench.mfl").string();
    plain.headerListPattern = (dir / "bench.mhl").string();
    morvex::setEncodingChoice(plain, morvex::EncodingChoice::Auto);
    morvex::ConvSettings ruled = plain;
    for (int k = 0; k < 10; ++k) {
        const std::string n = std::to_string(k);
        ruled.rules.push_back({"b" + n + "-*.up",
                               (dir / ("r" + n + ".mfl")).string(),
                               (dir / ("r" + n + ".mhl")).string(),
                               {},
                               {},
                               {}});
    }
    const auto pass = [&](const morvex::ConvSettings& settings) {
        fs::remove_all(up);
        fs::copy(originals, up);
        ::sync();
        int converted = 0;
        morvex::ConvEngine engine(
            [](const std::string& message, const std::string&) {
                std::fprintf(stderr, "%s\n", message.c_str());
            },
            [&](const morvex::FileResult&) { ++converted; });
        const auto start = Clock::now();
        engine.ConvertAll(settings);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (converted != kFiles) {
            std::fprintf(stderr, "rules benchmark: %d of %d files converted\n", converted, kFiles);
            std::exit(1);
        }
        return seconds;
    };
    std::vector<double> without, with;
    for (int r = 0; r < o.runs; ++r) {
        without.push_back(pass(plain));
        with.push_back(pass(ruled));
    }
    const double tw = median(without), tr = median(with);
    std::printf("Rules: %d upload files, %.1f MB, 60 lines each; 10 rules by name, 11 lists of "
                "200 to 1000 entries; %d runs each, medians\n",
                kFiles, static_cast<double>(bytes) / 1e6, o.runs);
    std::printf("  %-22s %7.3f s  %8.0f files/s\n", "no rules", tw, kFiles / tw);
    std::printf("  %-22s %7.3f s  %8.0f files/s\n", "10 rules", tr, kFiles / tr);
    std::printf("  10 rules vs none: %.2fx the time (target at most 1.2x)\n", tr / tw);
    if (!o.keep)
        fs::remove_all(dir);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--convert" && hasValue)
            o.convert = argv[++i];
        else if (a == "--dir" && hasValue)
            o.dir = argv[++i];
        else if (a == "--size" && hasValue)
            o.megabytes = std::atof(argv[++i]);
        else if (a == "--runs" && hasValue)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            o.keep = true;
        else if (a == "--only" && hasValue)
            o.only = argv[++i];
        else {
            std::fprintf(stderr, "usage: morvex-bench --convert PATH [--dir DIR] [--size MB] "
                                 "[--runs N] [--keep] [--only PART]\n");
            std::exit(2);
        }
    }
    if (o.convert.empty()) {
        std::fprintf(stderr, "morvex-bench: --convert PATH is required\n");
        std::exit(2);
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    fs::create_directories(o.dir);
    const auto part = [&](const char* name, void (*bench)(const Options&)) {
        if (o.only.empty() || o.only == name)
            bench(o);
    };
    part("conversion", benchConversion);
    part("utf8", benchUtf8);
    part("pools", benchPools);
    part("rules", benchRules);
    return 0;
}
