#pragma once
// The file tasks of an install script, on expanded paths. Each returns true
// when it did its work or, by its rules, had nothing to do; false when
// something it should have written or removed is not in place. A partly
// written file may stay on disk but never counts as done.
#include <string>

// Opens the program named by the text after fileName's last backslash, up
// to its first blank; the rest of that text is the parameters and the part
// before the backslash the working folder. Not waited for.
bool runExecuteTask(const std::string& fileName);

// Extracts the archive member (found ignoring case) to dest unless dest
// exists and overwrite is false. A member given with "\" separators is also
// looked for with "/" ones, as archives store them.
bool runExtractFileTask(const std::string& archive, const std::string& member, const std::string& dest,
                        bool overwrite);

// Unpacks the whole archive into dest (homeDir when dest is empty). An
// existing member (checked below homeDir) is kept when overwrite is false,
// and always when it is a configuration file or launcher script (see
// IsProtectedMember). A member whose name would land outside the folder is
// never written. The process's current directory is restored afterwards.
bool runUnzipTask(const std::string& archive, const std::string& dest, const std::string& homeDir,
                  bool overwrite);

// Copies src into dest in 2048-byte blocks, then deletes src; nothing when
// dest exists and overwrite is false. src is deleted only after a full copy.
bool runMoveTask(const std::string& src, const std::string& dest, bool overwrite);

// Deletes the file when it exists.
bool runDeleteTask(const std::string& fileName);
