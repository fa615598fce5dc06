#pragma once
// A write-ahead journal of what an install changes below its home folder, so
// that a failure, a Cancel, or the next run after the process was killed can
// put everything back. Before a task writes, moves onto or deletes a file,
// the original is moved into the rollback folder (on home's volume, so the
// move is a rename) and a line saying so is written and flushed; files and
// folders the install creates are journaled too. The journal lives in the
// rollback folder as "journal.txt", one tab-separated line per change:
//   home    <home folder>          first line: every path below lies in it
//   folder  <path>                 made by the install, with all it holds
//   new     <path>                 a file made by the install
//   saved   <path>  <n>            the original is rollback folder\<n>
//   note    <text>                 the caller's own record (registration)
#include <string>
#include <set>
#include <vector>

#include "system/UniqueHandle.h"

// What undoing a journal came to.
struct JournalRollback {
    bool complete = true;             // every change was undone; the rollback folder is gone
    std::vector<std::string> notes;   // the notes, latest first
    std::string firstFailure;         // the first path that could not be put back
    unsigned long firstError = 0;     // and the system's error code for it
};

class InstallJournal {
public:
    InstallJournal() = default;
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Makes the rollback folder and starts its journal. False when either
    // cannot be written; nothing may change then.
    [[nodiscard]] bool begin(const std::string& rollbackDir, const std::string& homeDir);
    bool active() const { return file_.valid(); }
    const std::string& rollbackDir() const { return rollbackDir_; }

    // Before a file is (re)written: an existing original is set aside, a new
    // file is recorded. False when that could not be done.
    [[nodiscard]] bool recordWrite(const std::string& path);
    // Before a file is edited in place: a copy of the original is kept.
    [[nodiscard]] bool recordEdit(const std::string& path);
    // Removes an existing file by moving it into the rollback folder.
    [[nodiscard]] bool setAside(const std::string& path);
    // Makes every missing folder of `folder`, each journaled before it is made.
    [[nodiscard]] bool makeFolders(const std::string& folder);
    // A line the owner replays itself: rollBack hands it back.
    [[nodiscard]] bool note(const std::string& text);

    // Keeps the changes: the journal and the set-aside originals go.
    void commit();
    // Undoes every change (see RollBackJournal).
    JournalRollback rollBack();

private:
    bool writeLine(const std::string& line);
    // True when the path lies in a folder this journal made.
    bool insideMadeFolder(const std::string& path) const;
    bool journaled(const std::string& path) const { return touched_.count(path) != 0; }
    bool keepOriginal(const std::string& path, bool copy);

    UniqueFileHandle file_;
    std::string rollbackDir_;  // ends with a backslash
    int savedCount_ = 0;
    std::vector<std::string> madeFolders_;
    std::set<std::string> touched_;
    std::string lastFolder_;  // the last folder known to exist
};

// Undoes the journal in the rollback folder, latest change first, then
// deletes that folder. Used for a failure or Cancel once the journal is
// closed, and by the next run for a journal a killed run left behind. Paths
// outside the journal's home folder are never touched. A folder without a
// journal counts as complete.
JournalRollback RollBackJournal(const std::string& rollbackDir);

// One journal line, split at its tabs; the kind is the first field. An
// unfinished last line (no line break) is not returned: its change never
// happened.
std::vector<std::vector<std::string>> ParseJournal(const std::string& text);
