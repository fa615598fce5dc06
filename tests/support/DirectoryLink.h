#pragma once
// Makes a directory link (a junction on Windows; under Wine, which cannot
// create junctions, a POSIX symbolic link that Wine reports as a reparse
// point) so tests can show that deletions never go through one.
#include <string>

enum class DirectoryLinkKind { None, Junction, PosixSymlink };

// Wine can neither create nor remove junctions, and cannot remove a POSIX
// link either: tests check that nothing is deleted through a link always, and
// that the link itself goes only where it is a junction.
DirectoryLinkKind MakeDirectoryLink(const std::string& linkPath, const std::string& targetPath);
