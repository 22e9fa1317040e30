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
  --encoding ENC         the upload files' encoding: auto (the default: each
                         file's own, UTF-8 when it starts with the byte-order
                         mark or is valid UTF-8 holding a byte above 0x7F,
                         else Shift-JIS), sjis or utf-8 (a file whose bytes
                         say it is in the other one is left as it is, status
                         1); list files are read in their own encoding by the
                         same rule and converted to the file's
  --rule PATTERN         a rule: the upload files PATTERN names (wildcards;
                         with "/" matched against the full path, else against
                         the file name) take the --footer-list,
                         --header-list, --encoding, --footer-marker and
                         --header-marker given after it (the ones not given
                         are the main ones, given before the first --rule);
                         the first rule that matches a file decides
  --rules FILE           rules from FILE: "rule = PATTERN" begins a rule,
                         "footer-list = ...", "header-list = ...",
                         "encoding = ...", "footer-marker = ..." and
                         "header-marker = ..." lines give its values; empty
                         lines and lines starting with ";" or "#" are skipped
  --align COLUMN         align footers to end before this column, 0 to 80
                         (default: no alignment)
  --seed N               seed the generator with N, 0 to 4294967295
                         (default: the current time in seconds)
  -h, --help             show this help and end
  --version              show the version and the licence and end
For every file with insertions prints: path TAB footers TAB headers, then TAB
"(rule N)" when rule N chose its lists ("-" goes to standard error).
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

// The options a rule takes; they apply to the main values before the first --rule.
bool isRuleOption(std::string_view name) {
    return name == "--footer-list" || name == "--header-list" || name == "--encoding" ||
           name == "--footer-marker" || name == "--header-marker";
}

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

morvex::EncodingChoice parseEncoding(std::string_view value) {
    std::string lower(value);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "cp932")
        return morvex::EncodingChoice::ShiftJis;
    if (const auto choice = morvex::parseEncodingChoice(lower))
        return *choice;
    throw UsageError{"--encoding takes auto, sjis or utf-8, not \"" + std::string(value) + "\""};
}

// One option of the rule being given.
void applyRuleOption(morvex::ConvRule& rule, std::string_view name, std::string_view value) {
    unsigned char unused = 0;
    if (name == "--footer-list")
        rule.footerListPattern = value;
    else if (name == "--header-list")
        rule.headerListPattern = value;
    else if (name == "--encoding")
        rule.encoding = parseEncoding(value);
    else if (name == "--footer-marker")
        setMarker(unused, rule.footerMarkerField, name, value);
    else
        setMarker(unused, rule.headerMarkerField, name, value);
    if (name.ends_with("-list") && value.empty())
        throw UsageError{std::string(name) + " of a rule needs a pattern"};
}

void readRules(Options& o, const std::string& file);

// Applies one option that takes a value.
void applyOption(Options& o, std::string_view name, std::string_view value) {
    morvex::ConvSettings& s = o.settings;
    if (name == "--rule") {
        if (value.empty())
            throw UsageError{"--rule needs a pattern"};
        s.rules.push_back(morvex::ConvRule{std::string(value), {}, {}, {}, {}, {}});
    } else if (name == "--rules") {
        readRules(o, std::string(value));
    } else if (!s.rules.empty() && isRuleOption(name)) {
        applyRuleOption(s.rules.back(), name, value);
    } else if (name == "--footer-list") {
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
        morvex::setEncodingChoice(s, parseEncoding(value));
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
          "--align", "--seed", "--encoding", "--rule", "--rules"})
        if (name == known)
            return true;
    return false;
}

// "rule = PATTERN" begins a rule; "NAME = VALUE" gives it the value of --NAME.
void readRules(Options& o, const std::string& file) {
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        throw UsageError{"--rules: cannot read \"" + file + "\""};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        text.append(buffer, n);
    std::fclose(in);
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    const auto trim = [](std::string_view v) {
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
            v.remove_prefix(1);
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
            v.remove_suffix(1);
        return v;
    };
    std::size_t lineNumber = 0;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t lf = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, lf));
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        ++lineNumber;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        const std::string where = file + ":" + std::to_string(lineNumber) + ": ";
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            throw UsageError{where + "expected NAME = VALUE"};
        const std::string name = "--" + std::string(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (name != "--rule" && !isRuleOption(name))
            throw UsageError{where + "unknown name \"" + name.substr(2) + "\""};
        if (name != "--rule" && o.settings.rules.empty())
            throw UsageError{where + "\"" + name.substr(2) + "\" before the first \"rule\""};
        try {
            applyOption(o, name, value);
        } catch (const UsageError& e) {
            throw UsageError{where + e.reason};
        }
    }
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
    for (std::size_t i = 0; i < o.settings.rules.size(); ++i) {
        const morvex::ConvRule& rule = o.settings.rules[i];
        const morvex::EncodingChoice choice =
            rule.encoding.value_or(morvex::encodingChoice(o.settings));
        const morvex::TextEncoding encoding = choice == morvex::EncodingChoice::Utf8
                                                  ? morvex::TextEncoding::Utf8
                                                  : morvex::TextEncoding::ShiftJis;
        const std::string footer = rule.footerMarkerField.value_or(
            o.settings.footerMarkerField.value_or(std::string(1, char(o.settings.footerMarker))));
        const std::string header = rule.headerMarkerField.value_or(
            o.settings.headerMarkerField.value_or(std::string(1, char(o.settings.headerMarker))));
        for (const std::string* field : {&footer, &header})
            if (morvex::markerFault(*field, encoding) != morvex::ValueFault::None)
                throw UsageError{"rule " + std::to_string(i + 1) +
                                 ": with --encoding utf-8 a marker must be one ASCII byte"};
    }
}

Options parseArguments(const std::vector<std::string_view>& args) {
    Options o;
    // The lists are looked for where the program's list fields look.
    const std::string lists = morvex::userListFolder();
    o.settings.footerListPattern = lists + std::string(morvex::kFooterListName);
    o.settings.headerListPattern = lists + std::string(morvex::kHeaderListName);
    morvex::setEncodingChoice(o.settings, morvex::EncodingChoice::Auto);
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
