// morvex-convert --check: problems in the lists, in the form compilers use.
#include "engine/Check.h"

#include "cli/Modes.h"

#include <cstdio>
#include <set>
#include <string>

namespace morvex::cli {

namespace {

// Prints one pair of lists' encodings (each list once in the run), findings and summary, the
// summary after `label`; the finding count.
std::size_t printCheck(const CheckResult& result, const std::string& label,
                       std::set<std::string>& described) {
    for (const ListReading& r : result.readings)
        if (described.insert(r.file).second)
            std::printf("%s: 情報: 文字コード %s\n", r.file.c_str(), r.describe().c_str());
    for (const CheckFinding& f : result.findings) {
        if (f.line > 0)
            std::printf("%s:%zu: 警告: %s\n", f.file.c_str(), f.line, f.message.c_str());
        else
            std::printf("%s: 警告: %s\n", f.file.c_str(), f.message.c_str());
    }
    std::printf(
        "%sフッタリスト %zu ファイル %zu 項目、ヘッダリスト %zu ファイル %zu 項目: ", label.c_str(),
        result.footers.files, result.footers.entries, result.headers.files, result.headers.entries);
    if (result.findings.empty())
        std::printf("問題は見つかりませんでした\n");
    else
        std::printf("警告 %zu 件\n", result.findings.size());
    return result.findings.size();
}

// The encoding lists are checked for: an automatic choice checks for Shift-JIS files, the
// designed encoding, and UTF-8 files take every character a list can hold.
TextEncoding checkedEncoding(EncodingChoice choice) {
    return choice == EncodingChoice::Utf8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

} // namespace

int runCheck(const ConvSettings& settings) {
    const int column = settings.alignFooters ? settings.alignColumn : -1;
    std::set<std::string> described;
    std::size_t findings =
        printCheck(checkLists(settings.footerListPattern, settings.headerListPattern, column,
                              checkedEncoding(encodingChoice(settings))),
                   "", described);
    // Each rule's lists, as the files it chooses would take them.
    for (std::size_t i = 0; i < settings.rules.size(); ++i) {
        const ConvRule& rule = settings.rules[i];
        const std::string& footer =
            rule.footerListPattern.empty() ? settings.footerListPattern : rule.footerListPattern;
        const std::string& header =
            rule.headerListPattern.empty() ? settings.headerListPattern : rule.headerListPattern;
        findings += printCheck(
            checkLists(footer, header, column,
                       checkedEncoding(rule.encoding.value_or(encodingChoice(settings)))),
            "規則 " + std::to_string(i + 1) + " (" + rule.pattern + "): ", described);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return 1;
    return findings == 0 ? 0 : 1;
}

} // namespace morvex::cli
