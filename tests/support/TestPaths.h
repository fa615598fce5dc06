#pragma once
// Where the tests find the sources, the build and the programs they drive.
#include <windows.h>
#include <shlobj.h>

#include <string>

// A Linux path as Wine's Z: drive shows it.
std::string UnixToWindowsPath(const std::string& unixPath);
std::string EnvironmentText(const char* name);
std::string SourceDir();     // Windows form, ends with a backslash
std::string BinaryDir();     // Windows form, ends with a backslash
std::string InstallerPath(); // the VYN2005.exe of this build
// The product's shortcuts in the all-users Programs menu and desktop (or, for
// links an older version made, the user's own: CSIDL_PROGRAMS, CSIDL_DESKTOP).
std::string ProgramsLinkPath(int specialFolder = CSIDL_COMMON_PROGRAMS);
std::string DesktopLinkPath(int specialFolder = CSIDL_COMMON_DESKTOPDIRECTORY);
