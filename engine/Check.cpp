#include "engine/Check.h"

#include "engine/Draw.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"
#include "engine/Pool.h"
#include "engine/detail/Columns.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace morvex {
namespace {

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

// What the escapes of one entry do, read by the grammar the expansion reads them by.
struct EntryScan {
    bool headerOnly = false;   // \H or \I
    bool unclosedDate = false; // \D{ without its }
    std::string cutShort;      // the escape cut short by the end of the entry, as written
    bool emptyRange = false;   // \R0000
    std::string shortest;      // the entry with every \R replaced by its smallest number
    std::string longest;       // ... and by its largest
};

EntryScan scanEntry(std::string_view entry, TextEncoding encoding) {
    EntryScan scan;
    std::size_t pos = 0;
    while (pos < entry.size()) {
        const EntryToken token = readEntryToken(entry, pos, encoding);
        if (token.cutShort)
            scan.cutShort = std::string(token.written);
        if (token.kind == EntryToken::Kind::Escape && token.letter == 0)
            break; // a lone final backslash ends the entry and stands for nothing
        if (token.letter == 'H' || token.letter == 'I')
            scan.headerOnly = true;
        scan.unclosedDate = scan.unclosedDate || token.unclosed;
        if (token.letter == 'R') {
            scan.emptyRange = scan.emptyRange || token.value == 0;
            if (token.value > 0) {
                scan.shortest += '1';
                scan.longest += std::to_string(token.value);
            }
            continue;
        }
        scan.shortest.append(token.written);
        scan.longest.append(token.written);
    }
    return scan;
}

// True when AlignFooter gives the footer back as it is instead of ending it before the column.
bool cannotAlign(std::string_view entry, int column, TextEncoding encoding) {
    DrawGenerator unused; // the entry holds no \R any more
    const std::string footer = ExpandEntry(entry, EntryKind::Footer, {}, unused, encoding);
    const std::string aligned = AlignFooter(footer, column, encoding);
    const std::size_t columns =
        encoding == TextEncoding::Utf8 ? utf8Columns(aligned) : aligned.size();
    return columns + 1 != static_cast<std::size_t>(column) ||
           aligned.find('\t') != std::string::npos;
}

// What an unconvertible line holds that the target cannot take.
std::string unconvertibleText(std::string_view line, TextEncoding from, TextEncoding to) {
    const Converted converted = convertLine(line, from, to);
    if (from == TextEncoding::Utf8 && utf8CharLength(line, converted.at) > 0) {
        const std::size_t n = std::max<std::size_t>(1, utf8CharLength(line, converted.at));
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X",
                      static_cast<unsigned>(utf8CodePoint(line, converted.at, n)));
        return std::string(code) + " \"" + std::string(line.substr(converted.at, n)) + "\"";
    }
    return hexBytes(
        line.substr(converted.at, std::max<std::size_t>(1, sjisCharLength(line, converted.at))));
}

class PoolChecker {
public:
    PoolChecker(std::string pattern, EntryKind kind, int alignColumn, TextEncoding encoding,
                CheckResult& result)
        : m_pattern(std::move(pattern))
        , m_kind(kind)
        , m_alignColumn(alignColumn)
        , m_encoding(encoding)
        , m_findings(result.findings)
        , m_readings(result.readings) {}

    PoolSummary run();

private:
    void add(const std::string& file, std::size_t line, std::string message) {
        m_byFile[file].push_back({file, line, std::move(message)});
    }
    void checkFile(const ListText& list, const ListText* next);
    void checkEncoding(const ListText& list);
    void checkDirectives(const ListText& list);
    void checkLeftOut(const std::vector<ListText>& lists, const std::vector<LeftOutEntry>& left);
    void checkEntry(std::string_view entry, const PoolSources::Origin& origin);
    const char* poolName() const {
        return m_kind == EntryKind::Footer ? "フッタリスト" : "ヘッダリスト";
    }

    std::string m_pattern;
    EntryKind m_kind;
    int m_alignColumn;
    TextEncoding m_encoding;
    std::vector<CheckFinding>& m_findings;
    std::vector<ListReading>& m_readings;
    std::map<std::string, std::vector<CheckFinding>> m_byFile;
};

PoolSummary PoolChecker::run() {
    const bool footers = m_kind == EntryKind::Footer;
    const std::vector<ListText> lists =
        readLists(m_pattern, footers ? kMsgFooterListOpen : kMsgHeaderListOpen, {}, m_encoding);
    Pool pool;
    PoolSources sources;
    std::vector<LeftOutEntry> left;
    joinLists(lists, pool, sources, &left);
    checkLeftOut(lists, left);
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
    m_readings.push_back({list.path, list.encoding, list.byteOrderMark});
    checkEncoding(list);
    checkDirectives(list);
    if (list.ctrlZLine > 0 && list.entriesAfterCtrlZ > 0)
        add(list.path, list.ctrlZLine,
            "Shift-JIS のリストは Ctrl-Z (0x1A) で終わるため、その後の " +
                std::to_string(list.entriesAfterCtrlZ) + " 項目は読まれません");
    if (list.openLine)
        add(list.path, list.lines.size(),
            next ? "最後の行に改行がないため、次のファイル " + next->path +
                       " の 1 行目とつながって 1 つの項目になります"
                 : std::string("最後の行に改行がありません（後にリストが続くと、その 1 行目と"
                               "つながって 1 つの項目になります）"));
}

void PoolChecker::checkEncoding(const ListText& list) {
    // Shift-JIS lines going into Shift-JIS files are bytes, kept whatever they hold; going into
    // UTF-8 files, a byte that begins no character leaves its line out (checkLeftOut).
    if (list.encoding != TextEncoding::ShiftJis || m_encoding != TextEncoding::ShiftJis)
        return;
    for (std::size_t i = 0; i < list.lines.size(); ++i)
        if (const std::size_t at = firstInvalidSjis(list.lines[i]); at != std::string::npos)
            add(list.path, i + 1,
                "Shift-JIS でないバイトがあります（" + std::to_string(at + 1) +
                    " バイト目: " + hexBytes(std::string_view(list.lines[i]).substr(at, 2)) + "）");
}

void PoolChecker::checkDirectives(const ListText& list) {
    for (std::size_t i = 0; i < list.lines.size(); ++i)
        if (const auto directive = readWeightDirective(list.lines[i]);
            directive && !directive->valid)
            add(list.path, i + 1,
                "重みの指定が正しくないため、無視されます（;@weight の後に 1 から " +
                    std::to_string(kMaxWeight) + " の数）");
}

void PoolChecker::checkLeftOut(const std::vector<ListText>& lists,
                               const std::vector<LeftOutEntry>& left) {
    for (const LeftOutEntry& entry : left) {
        const auto list = std::find_if(lists.begin(), lists.end(),
                                       [&](const ListText& l) { return l.path == entry.file; });
        if (list == lists.end() || entry.line > list->lines.size())
            continue;
        const std::string& line = list->lines[entry.line - 1];
        if (entry.notUtf8) {
            const std::size_t at = firstInvalidUtf8(line);
            add(entry.file, entry.line,
                "UTF-8 でないバイトがあるため、この項目は挿入されません（" +
                    std::to_string(at + 1) + " バイト目: " + hexBytes(line.substr(at, 1)) + "）");
            continue;
        }
        const char* what = list->encoding == TextEncoding::Utf8 ? "文字" : "バイト";
        add(entry.file, entry.line,
            std::string(encodingName(m_encoding)) + " に変換できない" + what + " " +
                unconvertibleText(line, list->encoding, m_encoding) +
                " を含むため、この項目は挿入されません");
    }
}

void PoolChecker::checkEntry(std::string_view entry, const PoolSources::Origin& origin) {
    if (!origin.file)
        return;
    const std::string& file = *origin.file;
    const EntryScan scan = scanEntry(entry, m_encoding);
    const bool footer = m_kind == EntryKind::Footer;
    if (footer && scan.headerOnly)
        add(file, origin.line, "\\H と \\I はフッタでは何も挿入しません");
    if (!scan.cutShort.empty())
        add(file, origin.line,
            "エスケープ \"" + scan.cutShort + "\" が項目の終わりで途切れています");
    if (scan.unclosedDate)
        add(file, origin.line, "\\D{ を閉じる } がないため、日付にならずにそのまま挿入されます");
    if (scan.emptyRange)
        add(file, origin.line, "\\R0000 は範囲がなく、数を挿入しません");
    if (!footer || m_alignColumn < 0)
        return;
    const std::string column = std::to_string(m_alignColumn);
    if (cannotAlign(scan.shortest, m_alignColumn, m_encoding))
        add(file, origin.line, "桁 " + column + " に揃えられないため、そのまま挿入されます");
    else if (cannotAlign(scan.longest, m_alignColumn, m_encoding))
        add(file, origin.line,
            "\\R の数によっては桁 " + column + " に揃えられず、そのまま挿入されます");
}

} // namespace

std::string ListReading::describe() const {
    if (encoding == TextEncoding::ShiftJis)
        return "Shift-JIS";
    return byteOrderMark ? "UTF-8（BOM 付き）" : "UTF-8";
}

CheckResult checkLists(const std::string& footerPattern, const std::string& headerPattern,
                       int alignColumn, TextEncoding encoding) {
    CheckResult result;
    result.footers =
        PoolChecker(footerPattern, EntryKind::Footer, alignColumn, encoding, result).run();
    result.headers =
        PoolChecker(headerPattern, EntryKind::Header, alignColumn, encoding, result).run();
    return result;
}

} // namespace morvex
