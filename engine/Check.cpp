#include "engine/Check.h"

#include "engine/Draw.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"
#include "engine/Pool.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace morvex {
namespace {

constexpr std::size_t kDrawReach = 32768; // a draw yields at most 0x7FFF

std::string hexBytes(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%s0x%02X", out.empty() ? "" : " ",
                      static_cast<unsigned char>(c));
        out += buffer;
    }
    return out;
}

// What the escapes of one entry do, found by the walk ExpandEntry makes.
struct EntryScan {
    bool headerOnly = false; // \H or \I
    std::string cutShort;    // the escape cut short by the end of the entry, as written
    bool emptyRange = false; // \R0000
    std::string shortest;    // the entry with every \R replaced by its smallest number
    std::string longest;     // ... and by its largest
};

int readDigits(std::string_view text, std::size_t pos, int width, int fallback) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const std::size_t at = pos + static_cast<std::size_t>(i);
        const char c = at < text.size() ? text[at] : 'x';
        value = value * 10 + ((c >= '0' && c <= '9') ? c - '0' : fallback);
    }
    return value;
}

EntryScan scanEntry(std::string_view entry) {
    EntryScan scan;
    std::size_t pos = 0;
    while (pos < entry.size()) {
        const std::size_t start = pos;
        if (isLeadByte(static_cast<unsigned char>(entry[pos]))) {
            pos += std::min<std::size_t>(2, entry.size() - pos);
        } else if (entry[pos] != '\\') {
            ++pos;
        } else if (pos + 1 >= entry.size()) {
            scan.cutShort.assign(1, '\\');
            break;
        } else {
            const char letter = entry[pos + 1];
            pos += 2;
            const int width = (letter == 'S' || letter == 's')   ? 2
                              : (letter == 'R' || letter == 'r') ? 4
                                                                 : 0;
            if (letter == 'H' || letter == 'h' || letter == 'I' || letter == 'i')
                scan.headerOnly = true;
            if (width > 0 && pos + static_cast<std::size_t>(width) > entry.size())
                scan.cutShort = std::string(entry.substr(start));
            if (width == 4) {
                const int range = readDigits(entry, pos, 4, 9);
                scan.emptyRange = scan.emptyRange || range == 0;
                pos = std::min(entry.size(), pos + 4);
                if (range > 0) {
                    scan.shortest += '1';
                    scan.longest += std::to_string(range);
                }
                continue;
            }
            pos = std::min(entry.size(), pos + static_cast<std::size_t>(width));
        }
        scan.shortest.append(entry.substr(start, pos - start));
        scan.longest.append(entry.substr(start, pos - start));
    }
    return scan;
}

// True when AlignFooter gives the footer back as it is instead of ending it before the column.
bool cannotAlign(std::string_view entry, int column) {
    DrawGenerator unused; // the entry holds no \R any more
    const std::string footer = ExpandEntry(entry, EntryKind::Footer, {}, unused);
    const std::string aligned = AlignFooter(footer, column);
    return aligned.size() + 1 != static_cast<std::size_t>(column) ||
           aligned.find('\t') != std::string::npos;
}

class PoolChecker {
public:
    PoolChecker(std::string pattern, EntryKind kind, int alignColumn,
                std::vector<CheckFinding>& findings)
        : m_pattern(std::move(pattern))
        , m_kind(kind)
        , m_alignColumn(alignColumn)
        , m_findings(findings) {}

    PoolSummary run();

private:
    void add(const std::string& file, std::size_t line, std::string message) {
        m_byFile[file].push_back({file, line, std::move(message)});
    }
    void checkFile(const ListText& list, const ListText* next);
    void checkEncoding(const ListText& list);
    void checkEntry(std::string_view entry, const PoolSources::Origin& origin);
    const char* poolName() const {
        return m_kind == EntryKind::Footer ? "フッタリスト" : "ヘッダリスト";
    }

    std::string m_pattern;
    EntryKind m_kind;
    int m_alignColumn;
    std::vector<CheckFinding>& m_findings;
    std::map<std::string, std::vector<CheckFinding>> m_byFile;
};

PoolSummary PoolChecker::run() {
    const bool footers = m_kind == EntryKind::Footer;
    const std::vector<ListText> lists =
        ReadLists(m_pattern, footers ? kMsgFooterListOpen : kMsgHeaderListOpen, {});
    Pool pool;
    PoolSources sources;
    JoinLists(lists, pool, sources);
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const ListText* next = nullptr;
        for (std::size_t j = i + 1; j < lists.size() && !next; ++j)
            if (!lists[j].lines.empty())
                next = &lists[j];
        checkFile(lists[i], next);
    }
    PoolSummary summary;
    summary.files = lists.size();
    std::map<const std::string*, std::pair<std::size_t, std::size_t>> unreachable;
    std::size_t reachable = 0;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        if (!isEligible(pool[i]))
            continue;
        ++summary.entries;
        const PoolSources::Origin origin = sources.find(i);
        checkEntry(pool[i], origin);
        if (i < kDrawReach) {
            ++reachable;
        } else if (origin.file) {
            auto [at, added] = unreachable.try_emplace(origin.file, origin.line, 0);
            ++at->second.second;
        }
    }
    for (const auto& [file, where] : unreachable)
        add(*file, where.first,
            "プールの 32768 行目より後にあるため、選ばれることがありません（このファイルでは" +
                std::string("この行から ") + std::to_string(where.second) + " 項目）");
    for (const ListText& list : lists) {
        auto found = m_byFile.find(list.path);
        if (found == m_byFile.end())
            continue;
        std::stable_sort(
            found->second.begin(), found->second.end(),
            [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
        m_findings.insert(m_findings.end(), found->second.begin(), found->second.end());
        m_byFile.erase(found);
    }
    if (reachable == 0)
        m_findings.push_back(
            {m_pattern, 0,
             std::string(poolName()) +
                 (lists.empty() ? "に当てはまるファイルがなく、挿入できる項目がありません"
                                : "に挿入できる項目がありません")});
    return summary;
}

void PoolChecker::checkFile(const ListText& list, const ListText* next) {
    if (!list.opened) {
        add(list.path, 0, m_kind == EntryKind::Footer ? kMsgFooterListOpen : kMsgHeaderListOpen);
        return;
    }
    checkEncoding(list);
    if (list.openLine)
        add(list.path, list.lines.size(),
            next ? "最後の行に改行がないため、次のファイル " + next->path +
                       " の 1 行目とつながって 1 つの項目になります"
                 : std::string("最後の行に改行がありません（後にリストが続くと、その 1 行目と"
                               "つながって 1 つの項目になります）"));
}

void PoolChecker::checkEncoding(const ListText& list) {
    std::vector<std::pair<std::size_t, std::size_t>> bad; // line index, byte offset
    for (std::size_t i = 0; i < list.lines.size(); ++i)
        if (const std::size_t at = firstInvalidSjis(list.lines[i]); at != std::string::npos)
            bad.emplace_back(i, at);
    if (bad.empty())
        return;
    const bool utf8 = std::all_of(list.lines.begin(), list.lines.end(),
                                  [](const std::string& line) { return isUtf8(line); });
    if (utf8) {
        add(list.path, bad.front().first + 1,
            "Shift-JIS ではありません: ファイル全体が UTF-8 として読めます（" +
                std::to_string(bad.size()) + " 行）。Shift-JIS で保存し直してください");
        return;
    }
    for (const auto& [line, at] : bad)
        add(list.path, line + 1,
            "Shift-JIS でないバイトがあります（" + std::to_string(at + 1) +
                " バイト目: " + hexBytes(std::string_view(list.lines[line]).substr(at, 2)) + "）");
}

void PoolChecker::checkEntry(std::string_view entry, const PoolSources::Origin& origin) {
    if (!origin.file)
        return;
    const std::string& file = *origin.file;
    const EntryScan scan = scanEntry(entry);
    const bool footer = m_kind == EntryKind::Footer;
    if (footer && scan.headerOnly)
        add(file, origin.line, "\\H と \\I はフッタでは何も挿入しません");
    if (!scan.cutShort.empty())
        add(file, origin.line,
            "エスケープ \"" + scan.cutShort + "\" が項目の終わりで途切れています");
    if (scan.emptyRange)
        add(file, origin.line, "\\R0000 は範囲がなく、数を挿入しません");
    if (!footer || m_alignColumn < 0)
        return;
    const std::string column = std::to_string(m_alignColumn);
    if (cannotAlign(scan.shortest, m_alignColumn))
        add(file, origin.line, "桁 " + column + " に揃えられないため、そのまま挿入されます");
    else if (cannotAlign(scan.longest, m_alignColumn))
        add(file, origin.line,
            "\\R の数によっては桁 " + column + " に揃えられず、そのまま挿入されます");
}

} // namespace

CheckResult CheckLists(const std::string& footerPattern, const std::string& headerPattern,
                       int alignColumn) {
    CheckResult result;
    result.footers =
        PoolChecker(footerPattern, EntryKind::Footer, alignColumn, result.findings).run();
    result.headers =
        PoolChecker(headerPattern, EntryKind::Header, alignColumn, result.findings).run();
    return result;
}

} // namespace morvex
