#pragma once
// The wide form of a path for the file-system calls. Windows stops plain
// paths at 260 characters (248 for a folder to be made); a full path that
// long is handed over in the "\\?\" form, which has no such limit. That form
// is taken literally, so the path is first made full by Windows itself: "/"
// becomes "\", "." and ".." are resolved, trailing dots and blanks go.
#include <string>

// Paths from this length on get the long form.
constexpr size_t kLongPathFrom = 248;

// The path widened; a full path ("X:\...", "\\server\share\...") of
// kLongPathFrom characters or more as "\\?\X:\..." or "\\?\UNC\server\share\...".
// Relative paths and short ones stay as they are, and so do long ones already
// in a "\\?\" or "\\.\" form (but for "/" turned into "\").
std::wstring WidePath(const std::string& path);
