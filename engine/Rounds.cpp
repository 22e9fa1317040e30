#include "engine/Rounds.h"

#include "engine/Messages.h"
#include "engine/TextStream.h"
#include "engine/detail/FileOps.h"
#include "engine/detail/Sys.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace morvex {
namespace {

constexpr std::string_view kMagic = "morvex-round 1";
constexpr std::size_t kMaxStateBytes = 64 * 1024;
constexpr std::string_view kTempPrefix = ".round-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr char kHex[] = "0123456789abcdef";

std::string_view kindName(EntryKind kind) {
    return kind == EntryKind::Footer ? "footer" : "header";
}

std::string hex64(std::uint64_t value) {
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kHex[value & 0xF];
    return text;
}

// Takes the next line of `text` (without its LF); false when no whole line is left.
bool nextLine(std::string_view& text, std::string_view& line) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos)
        return false;
    line = text.substr(0, lf);
    text.remove_prefix(lf + 1);
    return true;
}

// "<word> <value>": the value after the word and one space.
bool field(std::string_view line, std::string_view word, std::string_view& value) {
    if (!line.starts_with(word) || line.size() <= word.size() || line[word.size()] != ' ')
        return false;
    value = line.substr(word.size() + 1);
    return true;
}

template <typename T> std::optional<T> number(std::string_view text, int base = 10) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int hexDigit(char c) {
    const char* found = std::find(kHex, kHex + 16, c);
    return found == kHex + 16 ? -1 : static_cast<int>(found - kHex);
}

std::string formatDrawn(const std::vector<bool>& drawn) {
    std::string text((drawn.size() + 3) / 4, '0');
    for (std::size_t i = 0; i < drawn.size(); ++i)
        if (drawn[i])
            text[i / 4] = kHex[hexDigit(text[i / 4]) | (1 << (i % 4))];
    return text;
}

// The drawn lines from their hex digits: the digit k holds lines 4k to 4k+3, line 4k in its
// lowest bit. Every set bit must be an eligible line.
std::optional<std::vector<bool>> parseDrawn(std::string_view text, const RoundKey& key) {
    const std::size_t reach = key.eligible.size();
    if (text.size() != (reach + 3) / 4)
        return std::nullopt;
    std::vector<bool> drawn(reach);
    for (std::size_t k = 0; k < text.size(); ++k) {
        const int digit = hexDigit(text[k]);
        if (digit < 0)
            return std::nullopt;
        for (std::size_t bit = 0; bit < 4; ++bit) {
            if ((digit & (1 << bit)) == 0)
                continue;
            const std::size_t line = k * 4 + bit;
            if (line >= reach || !key.eligible[line])
                return std::nullopt;
            drawn[line] = true;
        }
    }
    return drawn;
}

// The rounds of a weighted pool: "taken" and the lines given in the round with their counts,
// "INDEX:COUNT" by rising index, or "-" for none. Each count is at most its entry's weight.
std::string formatTaken(const std::vector<std::uint32_t>& taken) {
    std::string text;
    for (std::size_t i = 0; i < taken.size(); ++i)
        if (taken[i] > 0)
            text += (text.empty() ? "" : ",") + std::to_string(i) + ":" + std::to_string(taken[i]);
    return text.empty() ? "-" : text;
}

std::optional<std::vector<std::uint32_t>> parseTaken(std::string_view text, const RoundKey& key) {
    std::vector<std::uint32_t> taken(key.weights.size());
    if (text == "-")
        return taken;
    std::optional<std::size_t> previous;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view pair = text.substr(0, comma);
        const std::size_t colon = pair.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        const auto line = number<std::size_t>(pair.substr(0, colon));
        const auto count = number<std::uint32_t>(pair.substr(colon + 1));
        if (!line || !count || *line >= taken.size() || (previous && *line <= *previous) ||
            *count == 0 || *count > key.weights[*line] ||
            std::to_string(*line) + ":" + std::to_string(*count) != pair)
            return std::nullopt;
        taken[*line] = *count;
        previous = line;
        if (comma == std::string_view::npos)
            return taken;
        text.remove_prefix(comma + 1);
    }
}

// A weighted round: each entry may come up as often as its weight before the round is done.
std::optional<std::size_t> drawWeighted(const RoundKey& key, Round& round,
                                        DrawGenerator& generator) {
    const std::size_t reach = key.weights.size();
    round.taken.resize(reach);
    std::size_t total = 0;
    std::size_t open = 0;
    std::size_t entries = 0;
    for (std::size_t i = 0; i < reach; ++i) {
        total += key.weights[i];
        open += key.weights[i] - std::min(round.taken[i], key.weights[i]);
        entries += key.weights[i] > 0 ? 1 : 0;
    }
    if (total == 0)
        return std::nullopt;
    // A new round; its first entry is never the one just given, unless it is the only one.
    const bool fresh = open == 0;
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    const std::size_t barred = fresh && entries > 1 && round.last ? *round.last : kNone;
    if (fresh) {
        round.taken.assign(reach, 0);
        open = total - (barred < reach ? key.weights[barred] : 0);
    }
    std::size_t chosen = drawBelow(open, generator);
    for (std::size_t i = 0; i < reach; ++i) {
        const std::size_t left =
            barred == i ? 0 : key.weights[i] - std::min(round.taken[i], key.weights[i]);
        if (chosen < left) {
            ++round.taken[i];
            round.last = i;
            return i;
        }
        chosen -= left;
    }
    return std::nullopt; // not reached: the counts above add up to `open`
}

// Creates each missing directory of the path, owner-only.
bool makeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && sys::calls().mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    return sys::calls().stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRoundTemp(std::string_view name) {
    return fileops::isUniqueName(name, kTempPrefix, kTempSuffix);
}

bool readAll(int fd, std::string& text) {
    char block[8192];
    for (;;) {
        const ssize_t n = sys::calls().read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        text.append(block, static_cast<std::size_t>(n));
        if (text.size() > kMaxStateBytes)
            return false;
    }
}

} // namespace

std::string roundStateDirectory() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : "/";
        }
        base = std::string(home) + "/.local/state";
    }
    if (base.back() != '/')
        base += '/';
    return base + "morvex/";
}

RoundKey RoundKey::of(EntryKind kind, const Pool& pool) {
    RoundKey key;
    key.kind = kind;
    key.lines = pool.size();
    // FNV-1a over the lines, each closed by an LF, which no line holds.
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 1099511628211ull;
    };
    for (const std::string& line : pool) {
        for (const char c : line)
            add(static_cast<unsigned char>(c));
        add('\n');
    }
    const std::size_t reach = std::min(pool.size(), kDrawReach);
    key.eligible.resize(reach);
    for (std::size_t i = 0; i < reach; ++i)
        key.eligible[i] = isEligible(pool[i]);
    if (pool.weighted()) {
        // The same lines split otherwise between list files may weigh otherwise.
        key.weights.resize(reach);
        for (std::size_t i = 0; i < reach; ++i) {
            key.weights[i] = key.eligible[i] ? pool.weights[i] : 0;
            for (int shift = 0; shift < 32; shift += 8)
                add(static_cast<unsigned char>(key.weights[i] >> shift));
        }
    }
    key.hash = hash;
    return key;
}

std::string RoundKey::fileName() const {
    return std::string(kindName(kind)) + "-" + hex64(hash) + ".round";
}

std::string formatRound(const RoundKey& key, const Round& round) {
    std::string text(kMagic);
    text += '\n';
    text += std::string(kindName(key.kind)) + " " + hex64(key.hash) + " " +
            std::to_string(key.lines) + "\n";
    text += "last " + (round.last ? std::to_string(*round.last) : std::string("-")) + "\n";
    if (key.weights.empty())
        text += "drawn " + formatDrawn(round.drawn) + "\n";
    else
        text += "taken " + formatTaken(round.taken) + "\n";
    return text;
}

std::optional<Round> parseRound(std::string_view text, const RoundKey& key) {
    std::string_view magic, pool, last, drawn;
    if (!nextLine(text, magic) || magic != kMagic || !nextLine(text, pool) ||
        !nextLine(text, last) || !nextLine(text, drawn) || !text.empty())
        return std::nullopt;
    std::string_view value;
    // The pool line must name this very pool: a file renamed from another is not its round.
    if (!field(pool, kindName(key.kind), value) ||
        value != hex64(key.hash) + " " + std::to_string(key.lines))
        return std::nullopt;
    Round round;
    if (!field(last, "last", value))
        return std::nullopt;
    if (value != "-") {
        const auto line = number<std::size_t>(value);
        if (!line || *line >= key.eligible.size() || !key.eligible[*line] ||
            std::to_string(*line) != value)
            return std::nullopt;
        round.last = *line;
    }
    if (!key.weights.empty()) {
        auto taken = field(drawn, "taken", value) ? parseTaken(value, key) : std::nullopt;
        if (!taken)
            return std::nullopt;
        round.taken = std::move(*taken);
        return round;
    }
    if (!field(drawn, "drawn", value))
        return std::nullopt;
    auto lines = parseDrawn(value, key);
    if (!lines)
        return std::nullopt;
    round.drawn = std::move(*lines);
    return round;
}

std::optional<std::size_t> drawInRound(const RoundKey& key, Round& round,
                                       DrawGenerator& generator) {
    if (!key.weights.empty())
        return drawWeighted(key, round, generator);
    const std::size_t reach = key.eligible.size();
    round.drawn.resize(reach);
    std::vector<std::size_t> open;
    std::size_t eligible = 0;
    for (std::size_t i = 0; i < reach; ++i) {
        if (!key.eligible[i])
            continue;
        ++eligible;
        if (!round.drawn[i])
            open.push_back(i);
    }
    if (eligible == 0)
        return std::nullopt;
    if (open.empty()) {
        // A new round; its first entry is never the one just given, unless it is the only one.
        round.drawn.assign(reach, false);
        for (std::size_t i = 0; i < reach; ++i)
            if (key.eligible[i] && (eligible == 1 || round.last != i))
                open.push_back(i);
    }
    const std::size_t chosen = open[drawBelow(open.size(), generator)];
    round.drawn[chosen] = true;
    round.last = chosen;
    return chosen;
}

DrawRounds::DrawRounds(std::string directory, Mode mode, ShowError showError)
    : m_dir(std::move(directory))
    , m_mode(mode)
    , m_showError(std::move(showError)) {
    if (!m_dir.empty() && m_dir.back() != '/')
        m_dir += '/';
}

DrawRounds::~DrawRounds() {
    discard();
}

void DrawRounds::lost(const std::string& what) {
    // Once per pass: the rounds then live in memory, so the pass itself still repeats nothing.
    if (!m_failed && m_showError)
        m_showError(std::string(kMsgRoundUnsaved) + ": " + what, kErrorCaption);
    m_failed = true;
}

bool DrawRounds::openDirectory() {
    if (m_opened)
        return static_cast<bool>(m_lock);
    m_opened = true;
    const std::string lockPath = m_dir + "rounds.lock";
    if (m_mode == Mode::Look) {
        // A dry run creates nothing; without a lock file there is no state to read either.
        m_lock.reset(sys::calls().open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
        return static_cast<bool>(m_lock);
    }
    if (!makeDirectories(m_dir.substr(0, m_dir.size() - 1))) {
        lost(m_dir);
        return false;
    }
    m_lock.reset(
        sys::calls().open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_lock) {
        lost(lockPath);
        return false;
    }
    fileops::removeStaleFiles(m_dir, isRoundTemp);
    return true;
}

void DrawRounds::setAside(const std::string& path) {
    const std::string aside = path + ".damaged-" + std::to_string(std::time(nullptr));
    if (sys::calls().rename(path.c_str(), aside.c_str()) != 0) {
        lost(path);
        return;
    }
    if (m_showError)
        m_showError(std::string(kMsgRoundDamaged) + ": " + aside, kErrorCaption);
}

// The round the state file holds; a fresh one when there is none. A file that cannot be
// trusted is renamed out of the way (when `setAsideDamaged`) and a fresh round begins.
Round DrawRounds::readRound(const RoundKey& key, bool setAsideDamaged) {
    const std::string path = m_dir + key.fileName();
    struct stat st {};
    fileops::UniqueFd fd = fileops::openForRead(path, st, true);
    if (!fd && errno == ENOENT)
        return {};
    std::optional<Round> round;
    std::string text;
    if (fd && readAll(fd.get(), text))
        round = parseRound(text, key);
    fd.reset();
    if (!round && setAsideDamaged)
        setAside(path);
    return round ? std::move(*round) : Round{};
}

bool DrawRounds::writeRound(const RoundKey& key, const Round& round) {
    fileops::UniqueFile tmp =
        fileops::createUniqueFile(m_dir, std::string(kTempPrefix), std::string(kTempSuffix));
    if (!tmp.fd)
        return false;
    const std::string text = formatRound(key, round);
    FdSink sink(tmp.fd.get());
    bool ok = sink.write(text.data(), text.size()) && sys::calls().fsync(tmp.fd.get()) == 0;
    const std::string path = m_dir + key.fileName();
    ok = ok && sys::calls().rename(tmp.path.c_str(), path.c_str()) == 0;
    if (ok)
        fileops::unmarkUniqueFile(tmp.fd.get());
    ok = tmp.fd.close() && ok;
    if (!ok)
        sys::calls().unlink(tmp.path.c_str());
    return ok;
}

std::optional<std::size_t> DrawRounds::draw(EntryKind kind, const Pool& pool,
                                            DrawGenerator& generator) {
    // A pass may draw from several pools of a kind (one per rule): each keeps its own round.
    const auto same = [&](const PoolRound& e) {
        return e.key && e.key->kind == kind && e.pool == &pool && e.key->lines == pool.size();
    };
    auto found = std::find_if(m_pools.begin(), m_pools.end(), same);
    if (found == m_pools.end()) {
        // Another pool, or the same lines lent to another reader: the round stays when they are.
        RoundKey key = RoundKey::of(kind, pool);
        found = std::find_if(m_pools.begin(), m_pools.end(), [&](const PoolRound& e) {
            return e.key && e.key->kind == kind && e.key->hash == key.hash &&
                   e.key->lines == key.lines;
        });
        if (found != m_pools.end())
            found->pool = &pool;
        else
            found = m_pools.insert(m_pools.end(), PoolRound{&pool, std::move(key), std::nullopt,
                                                            std::nullopt, std::nullopt});
    }
    PoolRound& entry = *found;
    const RoundKey& key = *entry.key;
    if (std::none_of(key.eligible.begin(), key.eligible.end(), [](bool e) { return e; }))
        return std::nullopt;
    if (!entry.pending) {
        if (!entry.held && (m_mode == Mode::Look || m_failed || !openDirectory())) {
            // Held in memory from here on, starting from what the state file holds (read once,
            // under a shared lock, never set aside).
            Round start;
            if (m_locked) {
                start = readRound(key, false);
            } else if (openDirectory() && fileops::lockFile(m_lock.get(), LOCK_SH) == 0) {
                start = readRound(key, false);
                fileops::lockFile(m_lock.get(), LOCK_UN);
            }
            entry.held = std::move(start);
        }
        if (entry.held) {
            entry.start = *entry.held;
        } else {
            // Locked until the file's draws are committed or discarded, so that no other pass
            // draws from the round in between.
            if (!m_locked)
                m_locked = fileops::lockFile(m_lock.get(), LOCK_EX) == 0;
            entry.start = readRound(key, true);
        }
        entry.pending = entry.start;
    }
    return drawInRound(key, *entry.pending, generator);
}

void DrawRounds::commit() {
    for (PoolRound& entry : m_pools) {
        if (!entry.pending)
            continue;
        if (!entry.held && !writeRound(*entry.key, *entry.pending)) {
            lost(m_dir + entry.key->fileName());
            entry.held = std::move(entry.pending);
        } else if (entry.held) {
            entry.held = std::move(entry.pending);
        }
        entry.start.reset();
        entry.pending.reset();
    }
    unlock();
}

void DrawRounds::discard() {
    for (PoolRound& entry : m_pools) {
        entry.start.reset();
        entry.pending.reset();
    }
    unlock();
}

void DrawRounds::rewind() {
    for (PoolRound& entry : m_pools)
        entry.pending = entry.start;
}

void DrawRounds::unlock() {
    if (m_locked)
        fileops::lockFile(m_lock.get(), LOCK_UN);
    m_locked = false;
}

} // namespace morvex
