#include "engine/LauncherScript.h"

#include <windows.h>

#include <vector>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

// Reads the whole script through Win32 calls (no iostreams: they would pull
// the C++ locale machinery into the program). Shared for reading and writing,
// as the C runtime opens files; a missing file, a folder or a failed read
// counts as unreadable. The lines keep their bytes as they are.
bool ReadScript(const std::string& script, std::vector<std::string>& lines) {
    UniqueFileHandle in(CreateFileW(WidePath(script).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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
    const std::wstring temporary = WidePath(script + ".new");
    {
        UniqueFileHandle out(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out) return false;
        DWORD written = 0;
        if (!WriteFile(out.get(), text.data(), DWORD(text.size()), &written, nullptr) || written != text.size()) {
            out.reset();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    // A launcher unpacked read-only is still ours to rewrite.
    if (MakeWritable(script) && MoveFileExW(temporary.c_str(), WidePath(script).c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

// Reads the script, lets `edit` change its lines, and writes it back when
// they changed. `edit` answers Rewritten when it changed them, Unchanged or
// Inexpressible when not.
template <typename Edit>
LauncherEdit EditScript(const std::string& script, Edit edit) {
    std::vector<std::string> lines;
    if (!ReadScript(script, lines)) return LauncherEdit::Unreadable;
    const LauncherEdit edited = edit(lines);
    if (edited != LauncherEdit::Rewritten) return edited;
    return RewriteScript(script, lines) ? LauncherEdit::Rewritten : LauncherEdit::WriteFailed;
}

LauncherEdit Changed(bool changed) { return changed ? LauncherEdit::Rewritten : LauncherEdit::Unchanged; }

// cmd.exe reads a batch file in the console's (OEM) code page. The text in
// it, with no character lost or replaced by a look-alike; false when some
// character has no form there.
bool ToConsoleCodePage(const std::string& text, std::string& converted) {
    const std::wstring wide = Widen(text);
    // A console that reads UTF-8 holds every character as it is.
    if (GetOEMCP() == CP_UTF8 || wide.empty()) {
        converted = text;
        return true;
    }
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), length, &bytes[0], size, nullptr,
                            &usedDefault) != size ||
        usedDefault)
        return false;
    converted = std::move(bytes);
    return true;
}

}  // namespace

LauncherEdit updateClassPath(const std::string& home, const std::string& script, const std::string& library,
                             LauncherStyle style) {
    return EditScript(script, [&](std::vector<std::string>& lines) {
        const std::string entry = ClassPathEntry(home, library, style);
        if (style == LauncherStyle::Unix) return Changed(InsertClassPathEntry(lines, entry, style));
        // The batch file: the entry as it is, else with the library's short
        // name (for an entry relative to bin, its file's short name only).
        std::string batchEntry;
        if (!ToConsoleCodePage(entry, batchEntry)) {
            const std::string shortLibrary = ShortPathName(library);
            const std::string shortEntry =
                entry == library ? shortLibrary : "..\\lib\\" + GetFileNameOfPath(shortLibrary);
            // A short name may hold "&" or "%" that the long one had not.
            if (shortLibrary.empty() || !ToConsoleCodePage(shortEntry, batchEntry) ||
                HasBatchMetacharacter(batchEntry))
                return LauncherEdit::Inexpressible;
        }
        return Changed(InsertClassPathEntry(lines, batchEntry, style));
    });
}

std::string ShortJavaFolder(const std::string& javaHome) {
    std::string folder = ShortPathName(javaHome);
    if (folder.empty()) folder = MakeShortPath(javaHome);
    RemoveTrailingBackslash(folder);
    return folder;
}

LauncherEdit updateJavaPath(const std::string& script, const std::string& javaHome) {
    return EditScript(script, [&](std::vector<std::string>& lines) {
        std::string folder;
        if (!ToConsoleCodePage(ShortJavaFolder(javaHome), folder)) return LauncherEdit::Inexpressible;
        return Changed(FillJavaPath(lines, folder));
    });
}
