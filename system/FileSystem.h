#pragma once
// Directory and module-path helpers over the file system. None of them shows
// anything; each reports through its result.
#include <windows.h>
#include <functional>
#include <string>

// Full path of a module's file (the running executable when module is null).
std::string GetModulePath(HMODULE module = nullptr);
// The module's file name without folder and extension: "VYN2005" for
// "C:\...\VYN2005.exe".
std::string GetModuleName(HMODULE module = nullptr);
// The full path Windows makes of path ("." and ".." resolved, relative to
// the current folder and drive); empty on failure.
std::string FullPathName(const std::string& path);
// The file system's short (8.3) form of an existing path, as GetShortPathName
// gives it (a component without a short name stays long); empty when there is
// none (the path does not exist).
std::string ShortPathName(const std::string& path);
// True when path, made full, lies strictly below folder, made full.
bool IsPathInsideFolder(const std::string& path, const std::string& folder);
// True when both, made full, name the same folder (case and a trailing
// separator aside).
bool IsSameFolder(const std::string& path, const std::string& folder);
// Clears the read-only attribute of an existing file, so that it can be
// replaced, rewritten or deleted. True when the path is absent or writable.
bool MakeWritable(const std::string& path);
// The user's temporary folder, ending in a backslash; unchanged on failure.
void GetTempDirectory(std::string& path);
// Creates every missing directory of the path, outermost first. True when all
// exist afterwards. A path that starts with a backslash (UNC, or relative to
// the drive root) creates nothing and counts as done.
bool CreateDirectoryPath(const std::string& path);
// Whether the entry an open handle names is a junction or symbolic link
// (asked for its basic information only: the full one costs Wine a volume
// look-up).
bool IsLinkHandle(HANDLE handle);
// Removes one file, empty folder, junction or symbolic link through a handle
// opened on the entry itself, never on what a link points at; read-only or
// not. True when it is deleted or was not there.
bool DeleteEntry(const std::string& path);
// Removes the directory with what it holds, as far as it can. Every entry
// goes through DeleteEntry: junctions and symbolic links are removed as
// links, and what they point at is never touched.
// Read-only files go too. Between entries it asks stopRequested, when given,
// and stops when that is true. True when nothing is left at the path (also
// when nothing was there).
bool DeleteDirectoryTree(const std::string& path, const std::function<bool()>& stopRequested = {});
// The first of the full path's existing folders, or the path itself, that
// is a reparse point (a junction or symbolic link), outermost first; empty
// when there is none. Text after it is not looked at.
std::string FirstLinkOnPath(const std::string& fullPath);
// The first of `top` itself and the existing entries below it on the way to
// `path` (path included) that is a junction or symbolic link; empty when
// there is none. Folders above top are not looked at, nor is anything when
// path, made full, is neither top nor below it.
std::string FirstLinkFrom(const std::string& top, const std::string& path);
// True when the path names an existing junction or symbolic link.
bool IsLink(const std::string& path);
// True when the path names an existing directory.
bool IsDirectory(const std::string& path);
// True when the directory exists and holds nothing but "." and "..".
bool IsDirectoryEmpty(const std::string& path);
