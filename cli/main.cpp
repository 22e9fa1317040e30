// morvex-convert: one conversion pass from the command line.
#include "cli/Modes.h"
#include "engine/Engine.h"
#include "engine/PassValues.h"
#include "engine/TakeBack.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUsage =
    R"usage(Usage: morvex-convert [OPTIONS] SOURCE...
       morvex-convert [OPTIONS] -
       morvex-convert --check [OPTIONS]
       morvex-convert --undo [--backup-ext EXT] FILE...
       morvex-convert --redraw [OPTIONS] FILE...
Rewrites each upload file that a SOURCE (a path or wildcard pattern) names,
replacing footer and header marker lines by entries drawn from the list files;
the previous text goes to a backup. With "-" as the only SOURCE, converts
standard input to standard output and touches no file.
  -n, --dry-run          write nothing; list each insertion as
                         PATH:LINE: footer|header from LISTFILE:LISTLINE and
                         its text, with the draws the same --seed makes
  --check                convert nothing; list problems in the footer and
                         header lists (FILE:LINE: 警告: ...) and end with
                         status 1 when there are any
  --no-repeat            draw no entry of a list twice before every entry
                         has been drawn (rounds kept in $XDG_STATE_HOME/morvex/,
                         default ~/.local/state/morvex/)
  --undo                 exchange each FILE with its backup (again: back as
                         it was)
  --redraw               convert each FILE's backup again into FILE with new
                         draws; the backup stays
  --footer-list PATTERN  footer list pattern (default "*.mfl" in the list
                         folder $XDG_DATA_HOME/morvex/, by default
                         ~/.local/share/morvex/, as in the program morvex)
  --header-list PATTERN  header list pattern (default "*.mhl" in the list
                         folder)
  --footer-marker CHAR   footer marker, one Shift-JIS byte (default ")"; an
                         empty value means the NUL byte)
  --header-marker CHAR   header marker, one Shift-JIS byte (default "]"; an
                         empty value means the NUL byte)
  --backup-ext EXT       backup extension with its dot, at most 4 bytes in
                         Shift-JIS, no "/" (default ".bak"; empty removes the
                         extension)
  --encoding ENC         the upload files' encoding, sjis or utf-8 (default
                         sjis); list files are read in their own encoding
                         (UTF-8 with a byte-order mark or when valid UTF-8
                         throughout, else Shift-JIS) and converted to it
  --align COLUMN         align footers to end before this column, 0 to 80
                         (default: no alignment)
  --seed N               seed the generator with N, 0 to 4294967295
                         (default: the current time in seconds)
  -h, --help             show this help and end
  --version              show the version and the licence and end
For every file with insertions prints: path TAB footers TAB headers ("-" goes
to standard error).
Exit status: 0 no error, 1 an error was reported (the pass went on), 2 usage
error; with --check: 0 nothing found, 1 findings, 2 usage error.
)usage";

constexpr std::string_view kVersion = "morvex-convert " MORVEX_VERSION R"version(
Copyright (c) 2026 The Morvex developers
This is free software under the MIT License: you may use, copy, change and
pass it on. There is NO WARRANTY, to the extent permitted by law.
)version";

struct Options {
    morvex::ConvSettings settings;
    std::optional<std::uint32_t> seed;
    bool help = false;
    bool version = false;
    bool dryRun = false;
    bool check = false;
    bool undo = false;
    bool redraw = false;
};

struct UsageError {
    std::string reason;
};

template <typename T> std::optional<T> parseNumber(std::string_view text, T max) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || ec != std::errc() ||
        end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

// A marker is taken as the window takes its field: one Shift-JIS byte ("ｱ" is 0xB1).
void setMarker(unsigned char& marker, std::optional<std::string>& field, std::string_view name,
               std::string_view value) {
    if (morvex::markerFault(value, morvex::TextEncoding::ShiftJis) != morvex::ValueFault::None)
        throw UsageError{std::string(name) + " takes one Shift-JIS byte, not \"" +
                         std::string(value) + "\""};
    marker = morvex::markerByte(value);
    field = std::string(value);
}

morvex::TextEncoding parseEncoding(std::string_view value) {
    std::string lower(value);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "sjis" || lower == "shift-jis" || lower == "shift_jis" || lower == "cp932")
        return morvex::TextEncoding::ShiftJis;
    if (lower == "utf-8" || lower == "utf8")
        return morvex::TextEncoding::Utf8;
    throw UsageError{"--encoding takes sjis or utf-8, not \"" + std::string(value) + "\""};
}

// Applies one option that takes a value.
void applyOption(Options& o, std::string_view name, std::string_view value) {
    morvex::ConvSettings& s = o.settings;
    if (name == "--footer-list") {
        s.footerListPattern = value;
    } else if (name == "--header-list") {
        s.headerListPattern = value;
    } else if (name == "--footer-marker") {
        setMarker(s.footerMarker, s.footerMarkerField, name, value);
    } else if (name == "--header-marker") {
        setMarker(s.headerMarker, s.headerMarkerField, name, value);
    } else if (name == "--backup-ext") {
        const morvex::ValueFault fault = morvex::backupExtFault(value);
        const char* rule = fault == morvex::ValueFault::Slash ? "no \"/\""
                           : fault == morvex::ValueFault::NoShiftJis
                               ? "only characters Shift-JIS has"
                               : "at most 4 bytes counted in Shift-JIS";
        if (fault != morvex::ValueFault::None)
            throw UsageError{"--backup-ext takes " + std::string(rule) + ", not \"" +
                             std::string(value) + "\""};
        s.backupExt = value;
    } else if (name == "--align") {
        const auto column = parseNumber<int>(value, 80);
        if (!column)
            throw UsageError{"--align takes a column from 0 to 80, not \"" + std::string(value) +
                             "\""};
        s.alignFooters = true;
        s.alignColumn = *column;
    } else if (name == "--encoding") {
        s.encoding = parseEncoding(value);
    } else if (name == "--seed") {
        const auto seed = parseNumber<std::uint32_t>(value, 4294967295u);
        if (!seed)
            throw UsageError{"--seed takes a number from 0 to 4294967295, not \"" +
                             std::string(value) + "\""};
        o.seed = *seed;
    } else {
        throw UsageError{"unknown option " + std::string(name)};
    }
}

bool takesValue(std::string_view name) {
    for (std::string_view known :
         {"--footer-list", "--header-list", "--footer-marker", "--header-marker", "--backup-ext",
          "--align", "--seed", "--encoding"})
        if (name == known)
            return true;
    return false;
}

// The combinations of modes and sources that make sense.
void checkModes(const Options& o) {
    const auto& sources = o.settings.sources;
    const bool filter = std::find(sources.begin(), sources.end(), "-") != sources.end();
    if (o.undo && o.redraw)
        throw UsageError{"--undo and --redraw cannot be used together"};
    if ((o.undo || o.redraw) && (o.check || o.dryRun || filter))
        throw UsageError{std::string(o.undo ? "--undo" : "--redraw") +
                         " does not go with --check, --dry-run or \"-\""};
    if (o.check && (o.dryRun || !sources.empty()))
        throw UsageError{"--check takes no SOURCE and no --dry-run"};
    if (!o.check && sources.empty())
        throw UsageError{o.undo || o.redraw ? "no FILE given (try --help)"
                                            : "no SOURCE given (try --help)"};
    if (filter && sources.size() > 1)
        throw UsageError{"\"-\" must be the only SOURCE"};
    if (filter && o.dryRun)
        throw UsageError{"\"-\" cannot be used with --dry-run"};
    for (const auto* field : {&o.settings.footerMarkerField, &o.settings.headerMarkerField})
        if (*field && morvex::markerFault(**field, o.settings.encoding) != morvex::ValueFault::None)
            throw UsageError{"with --encoding utf-8 a marker must be one ASCII byte"};
}

Options parseArguments(const std::vector<std::string_view>& args) {
    Options o;
    // The lists are looked for where the program's list fields look.
    const std::string lists = morvex::userListFolder();
    o.settings.footerListPattern = lists + std::string(morvex::kFooterListName);
    o.settings.headerListPattern = lists + std::string(morvex::kHeaderListName);
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsDone || arg.size() < 2 || arg.front() != '-') {
            o.settings.sources.emplace_back(arg);
        } else if (arg == "--") {
            optionsDone = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--dry-run" || arg == "-n") {
            o.dryRun = true;
        } else if (arg == "--check") {
            o.check = true;
        } else if (arg == "--no-repeat") {
            o.settings.noRepeat = true;
        } else if (arg == "--undo") {
            o.undo = true;
        } else if (arg == "--redraw") {
            o.redraw = true;
        } else if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
            applyOption(o, arg.substr(0, eq), arg.substr(eq + 1));
        } else if (!takesValue(arg)) {
            throw UsageError{"unknown option " + std::string(arg)};
        } else if (i + 1 == args.size()) {
            throw UsageError{std::string(arg) + " needs a value"};
        } else {
            applyOption(o, arg, args[++i]);
        }
    }
    if (!o.help && !o.version)
        checkModes(o);
    return o;
}

// A help or version text that could not be written (a full disk, a closed pipe) is no success.
int printInfo(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

int runUndo(const Options& o) {
    bool errors = false;
    const morvex::ShowError show = [&](const std::string& text, const std::string& caption) {
        morvex::cli::printError(text, caption);
        errors = true;
    };
    for (const std::string& path : o.settings.sources)
        morvex::undoConversion(path, o.settings.backupExt, show);
    return errors ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN); // a closed reader must not end the pass half way
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    Options options;
    try {
        options = parseArguments(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "morvex-convert: %s\n", e.reason.c_str());
        return 2;
    }
    if (options.help)
        return printInfo(kUsage);
    if (options.version)
        return printInfo(kVersion);
    if (options.check)
        return morvex::cli::runCheck(options.settings);
    if (options.undo)
        return runUndo(options);
    if (options.settings.sources == std::vector<std::string>{"-"})
        return morvex::cli::runFilter(options.settings, options.seed);
    return morvex::cli::runPass(options.settings, options.seed, options.dryRun, options.redraw);
}
