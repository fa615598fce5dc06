#pragma once
// Edits to the launcher scripts on disk. A script that cannot be read, or
// needs no change, is left untouched; a changed script is rewritten whole
// with CR LF line breaks, through a temporary file beside it, so a failed
// write never leaves a half-written launcher.
#include <string>

#include "engine/LauncherLines.h"

// What an edit did to a launcher script.
enum class [[nodiscard]] LauncherEdit {
    Rewritten,    // changed and written back
    Unchanged,    // nothing to change
    Unreadable,   // missing or unreadable: left alone
    WriteFailed,  // the change could not be written: the script is as it was
};

// Puts library at the front of the script's class path (see
// InsertClassPathEntry). home ends with a backslash.
LauncherEdit updateClassPath(const std::string& home, const std::string& script, const std::string& library,
                             LauncherStyle style);

// Fills the script's empty Java line with the short (blank-free) form of
// javaHome: the file system's own short path when it has one, else the
// installer's abbreviation.
LauncherEdit updateJavaPath(const std::string& script, const std::string& javaHome);

// The Java folder as updateJavaPath writes it, without a final backslash.
std::string ShortJavaFolder(const std::string& javaHome);
