#pragma once
// The file tasks of an install script, on expanded paths. Each says whether
// it did its work or, by its rules, had nothing to do; a failure means that
// something it should have written or removed is not in place. A partly
// written file may stay on disk but never counts as done. Given a journal,
// a task records each change in it before making it (see InstallJournal),
// and a file it removes is set aside there instead of deleted.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ZipResult.h"
#include "engine/InstallJournal.h"
#include "system/UniqueHandle.h"

// Opens the program named by the text after fileName's last backslash, up
// to its first blank; the rest of that text is the parameters and the part
// before the backslash the working folder. Not waited for. True when started;
// `started`, when given, then owns the program's process.
[[nodiscard]] bool runExecuteTask(const std::string& fileName, UniqueKernelHandle* started = nullptr);
// A program an execute task started: its process and the path it was
// started from, so that a caller can tell which program ended how.
struct StartedProgram {
    UniqueKernelHandle process;
    std::string path;
};
// Waits until every program has ended, for at most timeoutMs in all. True
// when all have.
bool WaitForPrograms(const std::vector<StartedProgram>& programs, unsigned timeoutMs);
// The program runExecuteTask starts: the working folder followed by the
// program's name, without the parameters.
std::string ExecuteTaskProgram(const std::string& fileName);

// The bytes the archive's members take unpacked; 0 when it cannot be read.
uint64_t ArchiveUnpackedBytes(const std::string& archive);

// Extracts the archive member (found ignoring case) to dest unless dest
// exists and overwrite is false. A member given with "\" separators is also
// looked for with "/" ones, as archives store them. The zip layer's result
// of the step that failed, or ZipOk.
ZipResult runExtractFileTask(const std::string& archive, const std::string& member, const std::string& dest,
                             bool overwrite, InstallJournal* journal = nullptr);

// Unpacks the whole archive into dest (homeDir when dest is empty), which
// must exist. An existing member (checked below homeDir) is kept when
// overwrite is false, and always when it is a configuration file or launcher
// script (see IsProtectedMember). A member whose name would land outside the
// folder is never written and counts as ZipNoFile. Every member is tried; the
// result is the first failure, or ZipOk. A member whose path below home runs
// through a junction or symbolic link ends the unpacking there: nothing more
// is written, and `link`, when given, names the first link found.
ZipResult runUnzipTask(const std::string& archive, const std::string& dest, const std::string& homeDir,
                       bool overwrite, InstallJournal* journal = nullptr, std::string* link = nullptr);

// Copies src into dest in 2048-byte blocks, then deletes src; nothing when
// dest exists and overwrite is false. src is deleted only after a full copy.
// True when dest is in place and src gone, or there was nothing to do.
[[nodiscard]] bool runMoveTask(const std::string& src, const std::string& dest, bool overwrite,
                               InstallJournal* journal = nullptr);

// Deletes the file when it exists, read-only or not; a link goes as a link.
// True when it is gone.
[[nodiscard]] bool runDeleteTask(const std::string& fileName, InstallJournal* journal = nullptr);
