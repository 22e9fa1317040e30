#pragma once

#include "engine/Draw.h"
#include "engine/Pool.h"
#include "engine/UniqueFd.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Draws without repeats. Each pool has a round: the eligible entries drawn since it began. A draw
// picks uniformly among the entries the round has not given yet; once it has given them all a new
// round begins, whose first draw is never the entry drawn last. Rounds are kept between runs in
// the state directory, one file per pool named after a hash of the pool's content, so that an
// edited list starts afresh.
namespace morvex {

/// $XDG_STATE_HOME/morvex/ when that is an absolute path, else ~/.local/state/morvex/.
std::string roundStateDirectory();

/// The round of one pool: which of its reachable lines were drawn, and the line drawn last. In a
/// weighted pool a round gives each entry as often as its weight: `taken` counts per line.
struct Round {
    std::vector<bool> drawn;
    std::vector<std::uint32_t> taken;
    std::optional<std::size_t> last;
};

/// What identifies a pool's round: its kind and content.
struct RoundKey {
    EntryKind kind = EntryKind::Footer;
    std::uint64_t hash = 0; ///< of every line, comments and lines out of reach included, and of
                            ///< the weights of a weighted pool
    std::size_t lines = 0;
    std::vector<bool> eligible; ///< per reachable line (the first 32768)
    /// Per reachable line, its entry's weight (0 for no entry); empty when every entry weighs 1.
    std::vector<std::uint32_t> weights;

    static RoundKey of(EntryKind kind, const Pool& pool);
    /// The state file's name: "footer-" or "header-", the hash in hex, ".round".
    std::string fileName() const;
};

/// The state file's text for a round.
std::string formatRound(const RoundKey& key, const Round& round);

/// The round a state file's text holds, or nothing when the text is damaged or belongs to
/// another pool (then it must not be trusted).
std::optional<Round> parseRound(std::string_view text, const RoundKey& key);

/// Picks the round's next entry with the generator and records it; no entry when the pool has
/// no eligible reachable line. Taken by both the kept and the looked-at rounds.
std::optional<std::size_t> drawInRound(const RoundKey& key, Round& round, DrawGenerator& generator);

/// The rounds of one pass. A file's draws stay pending until the file's new text is in place
/// (commit) or is not (discard: as if they were never made). Keeping the rounds locks the state
/// directory from a file's first draw until then, reading each pool's state file at its first
/// draw and writing it at the commit, so that passes running at once never give an entry twice in
/// a round; looking at them (a dry run) reads each state once and writes nothing.
class DrawRounds {
public:
    enum class Mode { Keep, Look };

    DrawRounds(std::string directory, Mode mode, ShowError showError);
    /// Pending draws are discarded.
    ~DrawRounds();
    DrawRounds(const DrawRounds&) = delete;
    DrawRounds& operator=(const DrawRounds&) = delete;

    /// The next entry of the pool's round (an index into the pool), pending; no entry when the
    /// pool has no eligible reachable line.
    std::optional<std::size_t> draw(EntryKind kind, const Pool& pool, DrawGenerator& generator);
    /// The pending draws become the rounds' (written, when kept), and the directory is unlocked.
    void commit();
    /// The pending draws are forgotten, and the directory is unlocked.
    void discard();
    /// commit() when the text the draws went into reached the user, else discard().
    void settle(bool kept) { kept ? commit() : discard(); }
    /// The pending draws are forgotten but the directory stays locked, so that the same draws
    /// can be made again from the same rounds.
    void rewind();

private:
    struct PoolRound {
        const Pool* pool = nullptr;
        std::optional<RoundKey> key;
        std::optional<Round> held;    ///< held in memory: looked at, or the directory failed
        std::optional<Round> start;   ///< the round before the pending draws
        std::optional<Round> pending; ///< the round with the pending draws
    };

    bool openDirectory();
    Round readRound(const RoundKey& key, bool setAsideDamaged);
    bool writeRound(const RoundKey& key, const Round& round);
    void setAside(const std::string& path);
    void lost(const std::string& what);
    void unlock();

    std::string m_dir;
    Mode m_mode;
    ShowError m_showError;
    fileops::UniqueFd m_lock;
    bool m_opened = false;
    bool m_locked = false; ///< exclusively, for the pending draws
    bool m_failed = false; ///< rounds are kept in memory only, for this pass
    std::vector<PoolRound> m_pools;
};

} // namespace morvex
