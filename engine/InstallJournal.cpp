#include "engine/InstallJournal.h"

#include <windows.h>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

const char kJournalName[] = "journal.txt";

bool Exists(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Text-only, ASCII case ignored: the journal's paths all come from the same
// expansion of home. `folder` has no trailing backslash.
bool StartsWithFolder(const std::string& path, const std::string& folder) {
    if (path.size() <= folder.size() + 1 || path[folder.size()] != '\\') return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        char a = path[i], b = folder[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool PutBack(const std::string& backup, const std::string& path) {
    if (!Exists(backup)) return true;  // put back already, by an earlier replay
    (void)MakeWritable(path);
    return MoveFileExW(WidePath(backup).c_str(), WidePath(path).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveMade(const std::string& path) { return DeleteEntry(path); }

// The first junction or symbolic link on the way from home to the path,
// other than the path itself: a link in the path's own place is removed or
// replaced as a link, one above it would lead the change elsewhere.
std::string LinkAbove(const std::string& home, std::string path) {
    RemoveTrailingBackslash(path);
    const std::string link = FirstLinkFrom(home, path);
    return EqualsIgnoringCase(link, path) ? std::string() : link;
}

std::string ReadJournalText(const std::string& path) {
    UniqueFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    if (!file) return text;
    char block[8192];
    DWORD read = 0;
    while (ReadFile(file.get(), block, sizeof block, &read, nullptr) && read > 0) text.append(block, read);
    return text;
}

}  // namespace

std::vector<std::vector<std::string>> ParseJournal(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::vector<std::string> fields;
        size_t from = start;
        for (size_t tab; (tab = text.find('\t', from)) < end; from = tab + 1)
            fields.push_back(text.substr(from, tab - from));
        fields.push_back(text.substr(from, end - from));
        lines.push_back(std::move(fields));
    }
    return lines;
}

bool InstallJournal::begin(const std::string& rollbackDir, const std::string& homeDir) {
    rollbackDir_ = rollbackDir;
    AddTrailingBackslash(rollbackDir_);
    if (!CreateDirectoryPath(rollbackDir_)) return false;
    // Written as administrator: the folder must be the folder, not a link to another.
    if (!FirstLinkFrom(rollbackDir_, rollbackDir_).empty()) return false;
    // No sharing for writing: one journal has one writer.
    file_.reset(CreateFileW(WidePath(rollbackDir_ + kJournalName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return false;
    std::string home = homeDir;
    RemoveTrailingBackslash(home);
    return writeLine("home\t" + home);
}

bool InstallJournal::writeLine(const std::string& line) {
    if (!file_) return false;
    const std::string text = line + "\n";
    DWORD written = 0;
    // Flushed before the change it announces: after a power loss the
    // journal lists at least every change that was made.
    return WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file_.get());
}

bool InstallJournal::insideMadeFolder(const std::string& path) const {
    for (const std::string& folder : madeFolders_)
        if (StartsWithFolder(path, folder)) return true;
    return false;
}

bool InstallJournal::keepOriginal(const std::string& path, bool copy) {
    const std::string backup = rollbackDir_ + std::to_string(++savedCount_);
    if (!writeLine("saved\t" + path + "\t" + std::to_string(savedCount_))) return false;
    if (copy) return CopyFileW(WidePath(path).c_str(), WidePath(backup).c_str(), FALSE) != 0;
    // A rename: the rollback folder is on the same volume.
    return MoveFileExW(WidePath(path).c_str(), WidePath(backup).c_str(), 0) != 0;
}

bool InstallJournal::recordWrite(const std::string& path) {
    if (journaled(path) || insideMadeFolder(path)) return true;
    touched_.insert(path);
    if (Exists(path)) return keepOriginal(path, false);
    return writeLine("new\t" + path);
}

bool InstallJournal::recordEdit(const std::string& path) {
    if (journaled(path) || insideMadeFolder(path) || !Exists(path)) return true;
    touched_.insert(path);
    return keepOriginal(path, true);
}

bool InstallJournal::setAside(const std::string& path) {
    if (!Exists(path)) return true;
    // Made or kept already in this run: what is there now is ours.
    if (journaled(path) || insideMadeFolder(path)) return RemoveMade(path);
    touched_.insert(path);
    return keepOriginal(path, false);
}

bool InstallJournal::makeFolders(const std::string& folder) {
    std::string path = folder;
    RemoveTrailingBackslash(path);
    // An archive's members mostly share their folders: one look per folder.
    if (path.empty() || EqualsIgnoringCase(path, lastFolder_)) return true;
    if (IsDirectory(path)) {
        lastFolder_ = path;
        return true;
    }
    if (!insideMadeFolder(path)) {
        // The parents first, so that the outermost made folder is the one journaled.
        const std::string parent = GetParentOfPath(path);
        if (!parent.empty() && !IsDirectory(parent)) return makeFolders(parent) && makeFolders(path);
        if (!writeLine("folder\t" + path)) return false;
        madeFolders_.push_back(path);
    }
    if (!CreateDirectoryPath(path)) return false;
    lastFolder_ = path;
    return true;
}

bool InstallJournal::note(const std::string& text) { return writeLine("note\t" + text); }

void InstallJournal::commit() {
    file_.reset();
    if (!rollbackDir_.empty()) DeleteDirectoryTree(rollbackDir_);
    madeFolders_.clear();
    touched_.clear();
    lastFolder_.clear();
}

JournalRollback InstallJournal::rollBack() {
    file_.reset();
    madeFolders_.clear();
    touched_.clear();
    lastFolder_.clear();
    return RollBackJournal(rollbackDir_);
}

JournalRollback RollBackJournal(const std::string& rollbackDir) {
    JournalRollback result;
    std::string folder = rollbackDir;
    AddTrailingBackslash(folder);
    const auto lines = ParseJournal(ReadJournalText(folder + kJournalName));
    std::string home;
    if (!lines.empty() && lines[0].size() == 2 && lines[0][0] == "home") home = lines[0][1];
    auto fail = [&result](const std::string& path) {
        if (result.complete) {
            result.firstFailure = path;
            result.firstError = GetLastError();
        }
        result.complete = false;
    };
    for (size_t index = lines.size(); index-- > 1;) {
        const std::vector<std::string>& line = lines[index];
        const std::string& kind = line[0];
        if (kind == "note") {
            // A note is the rest of its line, tabs and all.
            std::string text;
            for (size_t field = 1; field < line.size(); ++field) text += (field > 1 ? "\t" : "") + line[field];
            result.notes.push_back(text);
            continue;
        }
        if (line.size() < 2) continue;
        const std::string& path = line[1];
        // A journal is a file on disk: it never leads outside its home.
        // Resolved in full: a line with ".." in it must not climb out.
        if (home.empty() || !(IsPathInsideFolder(path, home) || (kind == "folder" && IsSameFolder(path, home)))) {
            fail(path);
            continue;
        }
        const std::string link = LinkAbove(home, path);
        if (!link.empty()) {
            SetLastError(ERROR_CANT_ACCESS_FILE);
            fail(link);
            continue;
        }
        bool undone = true;
        if (kind == "folder")
            undone = DeleteDirectoryTree(path);
        else if (kind == "new")
            undone = RemoveMade(path);
        else if (kind == "saved" && line.size() == 3 && line[2].find_first_not_of("0123456789") == std::string::npos)
            undone = PutBack(folder + line[2], path);
        if (!undone) fail(path);
    }
    // What could not be put back stays in the folder, with its journal, for the next run.
    if (result.complete && Exists(folder) && !DeleteDirectoryTree(folder)) fail(folder);
    return result;
}
