#pragma once

#include "engine/TextStream.h"
#include "engine/detail/FileLock.h"
#include "engine/detail/FileOps.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace morvex {

enum class ReplaceOutcome {
    Replaced,           ///< new text in place, backup made
    Skipped,            ///< not a regular file, vanished, or its backup would be itself: untouched
    ConvertedElsewhere, ///< another pass still running has converted it: untouched
    OpenFailed,         ///< the file could not be opened (no permission, name too long): untouched
    BackupFailed,       ///< no backup could be made: untouched
    BackupCollision,    ///< the backup would replace a source or a backup of this pass: untouched
    CreateFailed,       ///< the new file could not be created: untouched
    WriteFailed,        ///< writing, syncing or putting the new file in place failed: untouched
    ReadFailed,         ///< reading the file failed: untouched
    OutOfMemory,        ///< the new text did not fit in memory: untouched
    Changed,            ///< the file changed on disk meanwhile: the newer text stays
    Unchanged,          ///< the new text is byte for byte the file's text: untouched, no backup
    Abandoned,          ///< the body gave the file up: untouched, no backup
};

/// How replaceWithBackup meets the file.
enum class ReplaceMode {
    Replace, ///< puts the new text in place
    /// Makes the same checks and runs the body, but takes no lock and creates, links, renames and
    /// removes nothing; where a step would write, what it needs (a folder it may write in, no
    /// folder in the backup's place) is looked at instead. A file it would replace is recorded in
    /// the pass as replaced, so that the next files meet what a pass would have left.
    Look,
};

/// A backup made in this run and the source file it was made for.
struct MadeBackup {
    std::string source;   ///< the converted file (its resolved path)
    fileops::FileId file; ///< the backup itself, as it was made
};

/// What one pass knows of the files it touches, from one replaceWithBackup to the next; the
/// owner empties the per-pass parts between passes and keeps `backups` and `sweptDirs` as long
/// as it decides.
struct PassFiles {
    std::set<std::string> sweptDirs;                  ///< directories already cleared of leftovers
    std::set<fileops::FileId> sources;                ///< the files the pass's sources name
    std::map<std::string, fileops::FileId> originals; ///< each path -> its file as the pass began
    std::set<fileops::FileId> converted;              ///< the new files the pass has put in place
    std::map<std::string, MadeBackup> backups;        ///< resolved backup path -> what it holds
    fileops::HeldFiles held;                          ///< shared locks on the converted files
    /// A look: each file it would have replaced (resolved path) -> what stands for its new file.
    std::map<std::string, fileops::FileId> looked;
};

/// Rewrites `body` over the file at `path` (a link's target) through a temporary file in the
/// target's directory, makes `backupPath` hold the exact previous file, and swaps the new file
/// into place with the old permissions and ACL. A new text equal to the file's text touches
/// nothing (Unchanged). A backup never replaces one that `pass.backups` holds for another file.
/// While it works it holds the file's conversion lock; the new file joins `pass.converted` and
/// is held until the pass releases it.
ReplaceOutcome replaceWithBackup(const std::string& path, const std::string& backupPath,
                                 const ReplaceBody& body, PassFiles& pass,
                                 ReplaceMode mode = ReplaceMode::Replace);

/// A temporary file made to become a file's new text.
struct NewFile {
    fileops::UniqueFile tmp; ///< no descriptor until it is made; closed once sealed
    fileops::FileId id;
    fileops::UniqueFd kept; ///< the sealed new file, which keeps its lock until it is placed
};

/// Makes the temporary file for the new text of `target` (a resolved path) in its folder: marked
/// before it has a name, and named as the sweep of leftover temporary files knows them.
bool createNewFile(const std::string& target, NewFile& file);

// The safe-replacement kernel that the pass, the take-back and the redraw share.

/// A file (a link's target), open and under its conversion lock.
struct LockedFile {
    std::string target; ///< the resolved path
    fileops::UniqueFd fd;
    struct stat st {};
};

enum class LockResult { Locked, Missing, Unopenable, ConvertedElsewhere };

/// Opens the file at `path` and takes its conversion lock; when another pass replaced it while
/// we waited, the file now at the path is taken instead. With `held` (a pass's holds), a file
/// that another pass still running has converted is left alone, and this pass's own hold on it
/// is given up; without, the lock is waited for whoever holds it.
LockResult openLocked(const std::string& path, LockedFile& file, fileops::HeldFiles* held);

/// Writes `body`'s conversion of what `source` holds as the new text of `file`: no temporary
/// file while the text equals the file's (Unchanged); otherwise `made` is created, given the
/// file's ACL, owner and permission bits, made durable and sealed (Replaced).
ReplaceOutcome writeNewText(int source, const LockedFile& file, const ReplaceBody& body,
                            NewFile& made, bool look = false);

/// Puts a sealed new file in place of `file` in one step that also hands back what was there:
/// an editor's save that landed after the last look is put back (Changed), never lost.
/// File systems without the exchange get a plain rename.
ReplaceOutcome placeNewFile(NewFile& made, const LockedFile& file);

/// Removes the temporary file of `made`, when its name still names it.
void discardNewFile(NewFile& made);

/// The refusals of the exchange that mean "this file system cannot"; EXDEV is none of them.
bool exchangeUnsupported(int error);

/// The new text of the file `target` (a resolved path), open as `current` with `size` bytes:
/// held back while it equals the file's text, so that a file that would not change never gets a
/// temporary file; at the first difference `file` is made (createNewFile) and the equal part
/// copied into it from the file. The caller closes and removes `file`. With `look`, no file is
/// made: the first difference only checks that one could be, and the text after it goes nowhere.
class NewTextSink : public ByteSink {
public:
    NewTextSink(const std::string& target, int current, off_t size, NewFile& file,
                bool look = false);

    bool write(const char* data, std::size_t size) override;
    /// After the last write: true when the new text is the file's text.
    bool same() const { return !m_diverged && m_compare.same(); }
    /// Makes the temporary file, when not done yet, holding everything written so far.
    bool diverge();
    /// Why a write or diverge failed.
    ReplaceOutcome failure() const { return m_failure; }

private:
    std::string m_target;
    int m_current;
    NewFile& m_file;
    FileCompareSink m_compare;
    std::optional<FdSink> m_out;
    bool m_look;
    bool m_diverged = false;
    ReplaceOutcome m_failure = ReplaceOutcome::WriteFailed;
};

/// True for a temporary file name that replaceWithBackup creates.
bool isReplaceTempName(std::string_view name);

} // namespace morvex
