// morvex-convert --check: problems in the lists, in the form compilers use.
#include "engine/Check.h"

#include "cli/Modes.h"

#include <cstdio>

namespace morvex::cli {

int runCheck(const ConvSettings& settings) {
    const CheckResult result =
        checkLists(settings.footerListPattern, settings.headerListPattern,
                   settings.alignFooters ? settings.alignColumn : -1, settings.encoding);
    for (const ListReading& r : result.readings)
        std::printf("%s: 情報: 文字コード %s\n", r.file.c_str(), r.describe().c_str());
    for (const CheckFinding& f : result.findings) {
        if (f.line > 0)
            std::printf("%s:%zu: 警告: %s\n", f.file.c_str(), f.line, f.message.c_str());
        else
            std::printf("%s: 警告: %s\n", f.file.c_str(), f.message.c_str());
    }
    std::printf("フッタリスト %zu ファイル %zu 項目、ヘッダリスト %zu ファイル %zu 項目: ",
                result.footers.files, result.footers.entries, result.headers.files,
                result.headers.entries);
    if (result.findings.empty())
        std::printf("問題は見つかりませんでした\n");
    else
        std::printf("警告 %zu 件\n", result.findings.size());
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return 1;
    return result.findings.empty() ? 0 : 1;
}

} // namespace morvex::cli
