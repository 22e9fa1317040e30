#pragma once

#include "engine/Engine.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvex {

/// One insertion that a conversion makes.
struct Insertion {
    std::string_view path; ///< the upload file
    std::size_t line = 0;  ///< the marker's line in it, from 1
    EntryKind kind = EntryKind::Footer;
    PoolSources::Origin origin; ///< list file and line of the drawn entry
    std::string text;           ///< the inserted text; a header without its own line end
};

using InsertionCallback = std::function<void(const Insertion&)>;

/// A conversion pass that writes nothing: the pools, seed, order of files and draws of
/// ConvEngine::ConvertAll, each insertion and each file's counts reported instead of written.
class PreviewPass {
public:
    PreviewPass(ShowError showError, InsertionCallback onInsert, ResultCallback onResult);

    /// Replaces the clock that seeds the generator; an empty clock means the current time.
    void setClock(SeedClock clock) { m_clock = std::move(clock); }
    /// Replaces the folder of the no-repeat rounds; empty means roundStateDirectory().
    void setStateDirectory(std::string dir) { m_stateDir = std::move(dir); }

    /// Builds both pools without a temporary file, seeds, and walks every source match.
    void Run(const ConvSettings& settings);
    /// Builds FList and HList (with their sources) from the settings' patterns in memory.
    void makePools(const ConvSettings& settings);
    /// Walks one upload text as ConvEngine::RewriteStream does, reporting its insertions; stops
    /// where RewriteStream stops, at a marker whose pool has nothing to draw.
    InsertCounts previewStream(TextReader& in, std::string_view path, const ConvSettings& settings);

    Pool FList;
    Pool HList;
    PoolSources FListSources;
    PoolSources HListSources;
    DrawGenerator Generator;

private:
    void previewFile(const std::string& path, const ConvSettings& settings);
    bool wouldNotChange(int fd, off_t size, std::uint32_t drawsBefore,
                        const ConvSettings& settings);
    void report(EntryKind kind, std::string_view path, std::size_t line, std::size_t index,
                std::string_view rest, const ConvSettings& settings);

    std::optional<std::size_t> drawFrom(EntryKind kind, const ConvSettings& settings);
    DrawRounds& rounds();
    void settleDraws(bool kept);

    ShowError m_showError;
    InsertionCallback m_onInsert;
    ResultCallback m_onResult;
    SeedClock m_clock;
    std::string m_stateDir;
    std::unique_ptr<DrawRounds> m_rounds; // looked at, never written
    std::vector<std::string> m_seen;      // the paths a real pass would have converted so far
    ConvEngine m_rewriter;                // the real byte loop, lent this pass's pools for a moment
};

} // namespace morvex
