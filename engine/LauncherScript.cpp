#include "engine/LauncherScript.h"

#include <windows.h>

#include <vector>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/UniqueHandle.h"

namespace {

// Reads the whole script through Win32 calls (no iostreams: they would pull
// the C++ locale machinery into the program). Shared for reading and writing,
// as the C runtime opens files; a missing file, a folder or a failed read
// counts as unreadable.
bool ReadScript(const std::string& script, std::vector<std::string>& lines) {
    UniqueFileHandle in(CreateFileA(script.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return false;
    std::string text;
    char block[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), block, sizeof block, &read, nullptr)) return false;
        if (read == 0) break;
        text.append(block, read);
    }
    lines = SplitLauncherLines(text);
    return true;
}

bool RewriteScript(const std::string& script, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    const std::string temporary = script + ".new";
    {
        UniqueFileHandle out(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return false;
        DWORD written = 0;
        if (!WriteFile(out.get(), text.data(), DWORD(text.size()), &written, nullptr) || written != text.size()) {
            out.reset();
            DeleteFileA(temporary.c_str());
            return false;
        }
    }
    // A launcher unpacked read-only is still ours to rewrite.
    if (MakeWritable(script) && MoveFileExA(temporary.c_str(), script.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

// Reads the script, lets `edit` change its lines, and writes it back when
// they changed.
template <typename Edit>
LauncherEdit EditScript(const std::string& script, Edit edit) {
    std::vector<std::string> lines;
    if (!ReadScript(script, lines)) return LauncherEdit::Unreadable;
    if (!edit(lines)) return LauncherEdit::Unchanged;
    return RewriteScript(script, lines) ? LauncherEdit::Rewritten : LauncherEdit::WriteFailed;
}

}  // namespace

LauncherEdit updateClassPath(const std::string& home, const std::string& script, const std::string& library,
                             LauncherStyle style) {
    return EditScript(script, [&](std::vector<std::string>& lines) {
        return InsertClassPathEntry(lines, home, library, style);
    });
}

std::string ShortJavaFolder(const std::string& javaHome) {
    char buffer[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(javaHome.c_str(), buffer, MAX_PATH);
    std::string folder = (length > 0 && length < MAX_PATH) ? buffer : MakeShortPath(javaHome);
    RemoveTrailingBackslash(folder);
    return folder;
}

LauncherEdit updateJavaPath(const std::string& script, const std::string& javaHome) {
    return EditScript(script, [&](std::vector<std::string>& lines) {
        return FillJavaPath(lines, ShortJavaFolder(javaHome));
    });
}
