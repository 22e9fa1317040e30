#include "engine/Pool.h"

#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/TextStream.h"
#include "engine/detail/FileOps.h"
#include "engine/detail/Sys.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unistd.h>

namespace morvex {
namespace {

using namespace fileops;

void show(const ShowError& showError, const std::string& text) {
    if (showError)
        showError(text, kErrorCaption);
}

// "_Morvex_.tmp" becomes the prefix "_Morvex_" and the suffix ".tmp" around the unique part.
std::pair<std::string, std::string> splitTempName(const std::string& tempName) {
    const std::size_t dot = tempName.rfind('.');
    if (dot == std::string::npos)
        return {tempName, std::string()};
    return {tempName.substr(0, dot), tempName.substr(dot)};
}

// Every byte of a file; false when reading failed.
bool readRaw(int fd, std::string& bytes) {
    struct stat st {};
    if (sys::calls().fstat(fd, &st) == 0 && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    FdSource source(fd);
    char block[64 * 1024];
    for (;;) {
        const long n = source.read(block, sizeof block);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(block, static_cast<std::size_t>(n));
    }
}

// Lines as a UTF-8 upload file has them: each ends at LF, a CR right before it belonging to the
// line end; every other byte (a lone CR, a Ctrl-Z) is text.
std::string binaryLines(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t pos = 0; pos < raw.size();) {
        const std::size_t crlf = raw.find("\r\n", pos);
        const std::size_t end = crlf == std::string_view::npos ? raw.size() : crlf;
        text.append(raw.substr(pos, end - pos));
        if (crlf == std::string_view::npos)
            break;
        text += '\n';
        pos = crlf + 2;
    }
    return text;
}

// Lines as a Windows text file has them: every CR dropped (the text ends before any Ctrl-Z).
std::string textModeLines(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t pos = 0; pos < raw.size();) {
        const std::size_t cr = std::min(raw.find('\r', pos), raw.size());
        text.append(raw.substr(pos, cr - pos));
        pos = cr + 1;
    }
    return text;
}

// A list file's text ready for a pool: its encoding found, a byte-order mark dropped, the line
// rules of its encoding applied and, with a target, every line converted; a line that cannot be
// is kept as it was and noted, and so is a line of a UTF-8 list that is not UTF-8.
struct PreparedList {
    std::string text;
    TextEncoding encoding = TextEncoding::ShiftJis;
    bool byteOrderMark = false;
    std::vector<std::size_t> unconvertible;
    std::vector<std::size_t> notUtf8;
    std::size_t ctrlZLine = 0;
    std::size_t entriesAfterCtrlZ = 0;
};

// Notes where a Ctrl-Z ends a Shift-JIS list and how many entries it hides.
void noteCtrlZ(std::string_view raw, std::size_t at, PreparedList& list) {
    list.ctrlZLine = static_cast<std::size_t>(
                         std::count(raw.begin(), raw.begin() + static_cast<long>(at), '\n')) +
                     1;
    const bool lineStart = at == 0 || raw[at - 1] == '\n';
    std::string_view rest = raw.substr(at + 1);
    for (bool first = true; !rest.empty(); first = false) {
        const std::size_t lf = rest.find('\n');
        const std::string line = textModeLines(rest.substr(0, lf));
        if ((!first || lineStart) && isEligible(line))
            ++list.entriesAfterCtrlZ;
        if (lf == std::string_view::npos)
            break;
        rest.remove_prefix(lf + 1);
    }
}

PreparedList prepareList(std::string raw, std::optional<TextEncoding> target) {
    PreparedList list;
    list.encoding = detectListEncoding(raw);
    std::string text;
    if (list.encoding == TextEncoding::Utf8) {
        list.byteOrderMark = startsWithUtf8Bom(raw);
        text = binaryLines(std::string_view(raw).substr(list.byteOrderMark ? 3 : 0));
    } else {
        const std::size_t ctrlZ = raw.find('\x1A');
        if (ctrlZ != std::string::npos)
            noteCtrlZ(raw, ctrlZ, list);
        text = textModeLines(std::string_view(raw).substr(0, ctrlZ));
    }
    const bool checkUtf8 = list.encoding == TextEncoding::Utf8 && !isUtf8(text);
    if (!checkUtf8 && (!target || *target == list.encoding)) {
        list.text = std::move(text);
        return list;
    }
    list.text.reserve(text.size() + text.size() / 2);
    std::string_view rest = text;
    for (std::size_t index = 0; !rest.empty(); ++index) {
        const std::size_t lf = rest.find('\n');
        const std::string_view line = rest.substr(0, lf);
        if (checkUtf8 && !isUtf8(line)) {
            // Never converted, never inserted raw: its bytes are no text of the list's encoding.
            list.text += line;
            list.notUtf8.push_back(index);
        } else if (!target || *target == list.encoding) {
            list.text += line;
        } else if (const Converted converted = convertLine(line, list.encoding, *target);
                   converted.ok) {
            list.text += converted.text;
        } else {
            list.text += line;
            list.unconvertible.push_back(index);
        }
        if (lf == std::string_view::npos)
            break;
        list.text += '\n';
        rest.remove_prefix(lf + 1);
    }
    return list;
}

// What a merge learns of its list files besides their text.
struct MergeNotes {
    struct Unconvertible {
        std::size_t index; // in the pool
        std::string file;
        std::size_t line; // from 1
        bool notUtf8;
    };
    std::vector<ListSpan> spans;
    std::vector<Unconvertible> unconvertible;
};

// Appends one list file, prepared for the pool, counting its line ends for the pool's sources.
// A list that fails to read is left out whole. The temporary file itself, matched by a pattern
// for the temporary folder, is left out too: it would grow while it is read.
bool appendList(const std::string& path, const struct stat& tempSt, TextWriter& out,
                PoolSources& sources, std::optional<TextEncoding> target, MergeNotes& notes) {
    struct stat st {};
    UniqueFd fd = openForRead(path, st);
    if (!fd)
        return false;
    if (st.st_dev == tempSt.st_dev && st.st_ino == tempSt.st_ino)
        return true;
    std::string raw;
    const bool read = readRaw(fd.get(), raw);
    fd.reset();
    if (!read)
        return false;
    const PreparedList list = prepareList(std::move(raw), target);
    const std::size_t first = sources.nextIndex();
    const std::size_t lineEnds =
        static_cast<std::size_t>(std::count(list.text.begin(), list.text.end(), '\n'));
    out.write(list.text);
    sources.addFile(path, lineEnds, !list.text.empty() && list.text.back() != '\n');
    notes.spans.push_back({path, first, list.encoding});
    for (const std::size_t line : list.unconvertible)
        notes.unconvertible.push_back({first + line, path, line + 1, false});
    for (const std::size_t line : list.notUtf8)
        notes.unconvertible.push_back({first + line, path, line + 1, true});
    return true;
}

// Empties the pool lines that would be entries but could not be converted; they are what the
// report names. Comments and empty lines stay as they are: they are never drawn.
std::vector<LeftOutEntry> leaveOut(Pool& pool, const MergeNotes& notes) {
    std::vector<LeftOutEntry> left;
    for (const MergeNotes::Unconvertible& u : notes.unconvertible) {
        if (u.index < pool.size() && isEligible(pool[u.index])) {
            pool[u.index].clear();
            left.push_back({u.file, u.line, u.notUtf8});
        }
    }
    return left;
}

bool readBack(int tempFd, Pool& lines) {
    if (sys::calls().lseek(tempFd, 0, SEEK_SET) != 0)
        return false;
    FdSource source(tempFd);
    TextReader in(source);
    // The lists' own line rules are applied: a Ctrl-Z or a lone CR left is a UTF-8 list's text.
    in.setBinary();
    loadPoolLines(in, lines);
    return !in.failed();
}

// Reads one list file whole into its lines, converted to `target`.
ListText readList(const std::string& path, TextEncoding target) {
    ListText list;
    list.path = path;
    struct stat st {};
    UniqueFd fd = openForRead(path, st);
    if (!fd)
        return list;
    std::string raw;
    list.opened = readRaw(fd.get(), raw);
    fd.reset();
    if (!list.opened)
        return list;
    PreparedList prepared = prepareList(std::move(raw), target);
    list.encoding = prepared.encoding;
    list.byteOrderMark = prepared.byteOrderMark;
    list.unconvertible = std::move(prepared.unconvertible);
    list.notUtf8 = std::move(prepared.notUtf8);
    list.ctrlZLine = prepared.ctrlZLine;
    list.entriesAfterCtrlZ = prepared.entriesAfterCtrlZ;
    std::string_view rest = prepared.text;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        list.lines.emplace_back(rest.substr(0, lf));
        if (lf == std::string_view::npos) {
            list.openLine = true;
            break;
        }
        rest.remove_prefix(lf + 1);
    }
    return list;
}

} // namespace

void PoolSources::clear() {
    m_files.clear();
    m_runs.clear();
    m_next = 0;
    m_open = false;
}

void PoolSources::addFile(const std::string& path, std::size_t lineEnds, bool openLine) {
    const std::size_t file = m_files.size();
    m_files.push_back(path);
    if (lineEnds == 0 && !openLine)
        return; // an empty file adds no line and leaves an open line open
    std::size_t ends = lineEnds;
    std::size_t firstLine = 1;
    if (m_open) {
        if (ends == 0)
            return; // all of it continues the open line
        // The file's first line completes the open line, which stays with the earlier file.
        ++m_next;
        --ends;
        firstLine = 2;
    }
    m_runs.push_back(Run{file, m_next, firstLine});
    m_next += ends;
    m_open = openLine;
}

PoolSources::Origin PoolSources::find(std::size_t index) const {
    // The last run that begins at or before the line; runs of files that added no line of
    // their own begin where the next one does and lose to it.
    const auto after =
        std::upper_bound(m_runs.begin(), m_runs.end(), index,
                         [](std::size_t i, const Run& r) { return i < r.firstIndex; });
    if (after == m_runs.begin())
        return {};
    const Run& run = *(after - 1);
    return {&m_files[run.file], run.firstLine + (index - run.firstIndex)};
}

std::vector<std::size_t> PoolSources::fileStarts() const {
    std::vector<std::size_t> starts;
    starts.reserve(m_runs.size());
    for (const Run& run : m_runs)
        starts.push_back(run.firstIndex);
    return starts;
}

namespace {

// Each line's weight: the last valid directive before it in its file, 1 before any; 0 for lines
// that are no entries. Empty when every entry weighs 1.
template <typename LineAt>
std::vector<std::uint32_t> lineWeights(std::size_t count, const LineAt& lineAt,
                                       const PoolSources& sources) {
    const std::vector<std::size_t> starts = sources.fileStarts();
    std::vector<std::uint32_t> weights(count, 0);
    bool weighted = false;
    std::uint32_t weight = 1;
    auto start = starts.begin();
    for (std::size_t i = 0; i < count; ++i) {
        for (; start != starts.end() && *start <= i; ++start)
            weight = 1;
        const std::string_view line = lineAt(i);
        if (const auto directive = readWeightDirective(line)) {
            if (directive->valid)
                weight = directive->weight;
        } else if (isEligible(line)) {
            weights[i] = weight;
            weighted = weighted || weight != 1;
        }
    }
    if (!weighted)
        weights.clear();
    return weights;
}

} // namespace

void assignWeights(Pool& pool, const PoolSources& sources) {
    pool.weights = lineWeights(
        pool.size(), [&pool](std::size_t i) { return std::string_view(pool[i]); }, sources);
}

void loadPoolLines(TextReader& in, Pool& pool) {
    std::string line;
    while (in.readLine(line))
        pool.push_back(std::move(line));
    if (!line.empty())
        pool.push_back(std::move(line));
}

namespace {

// The steps every merge shares; `readBack` turns the finished temporary file into the result,
// which the caller takes only when this returns true.
bool mergeThroughTemp(const std::string& pattern, const std::string& tempDir,
                      const std::string& tempName, const std::string& openMessage,
                      const ShowError& showError, MergeState& state,
                      const std::function<bool(int tempFd)>& readBack, PoolSources& sources,
                      std::optional<TextEncoding> target, MergeNotes& notes) {
    const auto parts = splitTempName(tempName);
    const std::string& prefix = parts.first;
    const std::string& suffix = parts.second;
    removeStaleFiles(tempDir,
                     [&](std::string_view name) { return isUniqueName(name, prefix, suffix); });
    UniqueFile temp = createUniqueFile(tempDir, prefix, suffix);
    state.TmpListFile = temp.fd ? temp.path : tempDir + tempName;
    if (!temp.fd) {
        show(showError, kMsgTempCreate);
        return false;
    }
    struct stat tempSt {};
    sys::calls().fstat(temp.fd.get(), &tempSt);
    FdSink sink(temp.fd.get());
    TextWriter out(sink);
    const std::string dir = directoryPart(pattern);
    PoolSources origins;
    for (const std::string& name : findFiles(pattern)) {
        state.TmpListLbl = dir + name;
        if (!appendList(state.TmpListLbl, tempSt, out, origins, target, notes))
            show(showError, openMessage);
    }
    const bool ok = out.flush() && readBack(temp.fd.get());
    sys::calls().unlink(temp.path.c_str());
    temp.fd.reset();
    if (!ok)
        show(showError, kMsgTempWrite);
    else
        sources = std::move(origins);
    return ok;
}

// The temporary file's lines, each list's own line rules already applied, in one string sized to
// the file first (no doubling growth: the viewer holds lists of tens of megabytes).
bool readBackText(int tempFd, std::string& text) {
    std::string raw;
    if (sys::calls().lseek(tempFd, 0, SEEK_SET) != 0 || !readRaw(tempFd, raw))
        return false;
    text = binaryLines(raw);
    return true;
}

// One message per kind: lines that are no UTF-8, and entries the target cannot take.
void reportLeftOut(const ShowError& showError, TextEncoding target,
                   const std::vector<LeftOutEntry>& left) {
    for (const bool notUtf8 : {true, false}) {
        std::vector<LeftOutEntry> kind;
        std::copy_if(left.begin(), left.end(), std::back_inserter(kind),
                     [notUtf8](const LeftOutEntry& e) { return e.notUtf8 == notUtf8; });
        if (!kind.empty() && showError)
            showError(leftOutMessage(target, kind), kWarningCaption);
    }
}

} // namespace

std::string leftOutMessage(TextEncoding target, const std::vector<LeftOutEntry>& entries) {
    constexpr std::size_t kNamed = 20; // a message box must stay on the screen
    std::string text =
        !entries.empty() && entries.front().notUtf8
            ? std::string("UTF-8 として読めないバイトを含むため、次の項目を挿入しません: ")
            : std::string(encodingName(target)) +
                  " に変換できない文字を含むため、次の項目を挿入しません: ";
    for (std::size_t i = 0; i < entries.size() && i < kNamed; ++i)
        text += (i ? ", " : "") + entries[i].file + ":" + std::to_string(entries[i].line);
    if (entries.size() > kNamed)
        text += " ほか " + std::to_string(entries.size() - kNamed) + " 項目";
    return text;
}

void MergeLists(const std::string& pattern, const std::string& tempDir, const std::string& tempName,
                Pool& destination, const std::string& openMessage, const ShowError& showError,
                MergeState& state, PoolSources* sources, TextEncoding target) {
    Pool lines;
    MergeNotes notes;
    PoolSources origins;
    if (!mergeThroughTemp(
            pattern, tempDir, tempName, openMessage, showError, state,
            [&](int fd) { return readBack(fd, lines); }, origins, target, notes))
        return;
    reportLeftOut(showError, target, leaveOut(lines, notes));
    assignWeights(lines, origins);
    destination = std::move(lines);
    if (sources)
        *sources = std::move(origins);
}

bool mergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state,
                   std::vector<ListSpan>* spans, std::vector<std::uint32_t>* weights) {
    std::string text;
    MergeNotes notes;
    PoolSources origins;
    if (!mergeThroughTemp(
            pattern, tempDir, tempName, openMessage, showError, state,
            [&](int fd) { return readBackText(fd, text); }, origins, std::nullopt, notes))
        return false;
    if (weights) {
        std::vector<std::string_view> lines;
        for (std::string_view rest = text; !rest.empty();) {
            const std::size_t lf = rest.find('\n');
            lines.push_back(rest.substr(0, lf));
            rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        }
        *weights = lineWeights(
            lines.size(), [&lines](std::size_t i) { return lines[i]; }, origins);
    }
    destination = std::move(text);
    if (spans)
        *spans = std::move(notes.spans);
    return true;
}

std::vector<ListText> readLists(const std::string& pattern, const std::string& openMessage,
                                const ShowError& showError, TextEncoding target) {
    std::vector<ListText> lists;
    const std::string dir = directoryPart(pattern);
    for (const std::string& name : findFiles(pattern)) {
        lists.push_back(readList(dir + name, target));
        if (!lists.back().opened)
            show(showError, openMessage);
    }
    return lists;
}

void joinLists(const std::vector<ListText>& lists, Pool& pool, PoolSources& sources,
               std::vector<LeftOutEntry>* leftOut) {
    pool.clear();
    sources.clear();
    MergeNotes notes;
    bool open = false; // the pool's last line waits for the rest of its text
    for (const ListText& list : lists) {
        if (!list.opened)
            continue;
        const std::size_t first = sources.nextIndex();
        auto line = list.lines.begin();
        if (open && line != list.lines.end()) {
            pool.back() += *line;
            ++line;
            open = list.lines.size() == 1 && list.openLine;
        }
        pool.insert(pool.end(), line, list.lines.end());
        if (line != list.lines.end())
            open = list.openLine;
        sources.addFile(list.path, list.lines.size() - (list.openLine ? 1 : 0), list.openLine);
        for (const std::size_t index : list.unconvertible)
            notes.unconvertible.push_back({first + index, list.path, index + 1, false});
        for (const std::size_t index : list.notUtf8)
            notes.unconvertible.push_back({first + index, list.path, index + 1, true});
    }
    std::vector<LeftOutEntry> left = leaveOut(pool, notes);
    assignWeights(pool, sources);
    if (leftOut)
        *leftOut = std::move(left);
}

void loadLists(const std::string& pattern, Pool& pool, PoolSources& sources,
               const std::string& openMessage, const ShowError& showError, TextEncoding target) {
    std::vector<LeftOutEntry> left;
    joinLists(readLists(pattern, openMessage, showError, target), pool, sources, &left);
    reportLeftOut(showError, target, left);
}

} // namespace morvex
