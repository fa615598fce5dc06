#pragma once
// The path checks made before anything is written, moved or deleted: names
// that must stay below a folder, and paths that must lie inside one. Pure
// text with no Windows headers, so the native update service shares them.
// Both "\" and "/" separate components here.
#include <string>

bool IsPathSeparator(char c);

// ".", "..", and the like: only dots and blanks, at least one dot. Windows
// trims trailing dots and blanks from a component, so "..." and ". ." name
// the folder itself or its parent too.
bool IsDotComponent(const std::string& component);
// True when any component of the path is a dot component.
bool HasDotComponent(const std::string& path);

// A full path, "X:\..." or "\\server\share\...": nothing in it depends on a
// current drive or folder.
bool IsFullPath(const std::string& path);

// A bare file name: not empty, no folder, no drive or stream colon, not a
// dot component, and literal (IsLiteralPathName).
bool IsPlainFileName(const std::string& name);

// True when Windows takes every component of the path as the name it is:
// no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, any
// case, with or without an extension), no component ending in a dot or a
// blank ("." and ".." excepted) which Windows would trim, no stream colon
// (only a full path's drive colon), and no "\\?\" or "\\.\" prefix that
// skips the path rules altogether. Relative names and full paths alike.
bool IsLiteralPathName(const std::string& path);

// True when an archive member or relative path name stays below the folder
// it is put into: not empty, not rooted ("/" or "\" first), no drive or
// stream colon, no component that climbs ("..", or dots and blanks that
// Windows reads as ".."), and a literal name (IsLiteralPathName). A lone "."
// is allowed.
bool IsSafeMemberName(const std::string& name);

// Text check on full paths: path lies strictly below folder (the folder
// itself is not inside it). Letter case is ignored, the folder's trailing
// separator is optional, and "C:\AB" is not inside "C:\A". A path with a dot
// component is never inside: normalise first (IsPathInsideFolder does).
bool IsTextInsideFolder(const std::string& path, const std::string& folder);
