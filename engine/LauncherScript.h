#pragma once
// Edits to the launcher scripts on disk. A script that cannot be read, or
// needs no change, is left untouched; a changed script is rewritten whole
// with CR LF line breaks, through a temporary file beside it, so a failed
// write never leaves a half-written launcher. Paths come as UTF-8. The shell
// script is UTF-8; the batch file is in the console's (OEM) code page, which
// cmd.exe reads it in: paths go into it converted, lines left alone keep
// their bytes.
#include <string>

#include "engine/LauncherLines.h"

// What an edit did to a launcher script.
enum class [[nodiscard]] LauncherEdit {
    Rewritten,    // changed and written back
    Unchanged,    // nothing to change
    Unreadable,   // missing or unreadable: left alone
    WriteFailed,  // the change could not be written: the script is as it was
    // A path to write has no form in the console's code page, nor a short
    // name that has: the script is as it was.
    Inexpressible,
};

// Puts library at the front of the script's class path (see ClassPathEntry
// and InsertClassPathEntry). home ends with a backslash. In the batch file a
// library the console's code page cannot hold goes in by its short name.
LauncherEdit updateClassPath(const std::string& home, const std::string& script, const std::string& library,
                             LauncherStyle style);

// Fills the script's empty Java line with the short (blank-free) form of
// javaHome: the file system's own short path when it has one, else the
// installer's abbreviation. Inexpressible when that form has a character the
// console's code page cannot hold.
LauncherEdit updateJavaPath(const std::string& script, const std::string& javaHome);

// The Java folder as updateJavaPath writes it (before the conversion to the
// console's code page), without a final backslash.
std::string ShortJavaFolder(const std::string& javaHome);
