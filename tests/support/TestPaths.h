#pragma once
// Where the tests find the sources, the build and the programs they drive.
#include <string>

// A Linux path as Wine's Z: drive shows it.
std::string UnixToWindowsPath(const std::string& unixPath);
std::string EnvironmentText(const char* name);
std::string SourceDir();     // Windows form, ends with a backslash
std::string BinaryDir();     // Windows form, ends with a backslash
std::string InstallerPath(); // the VYN2005.exe of this build
// The product's shortcuts in the Programs menu and on the desktop.
std::string ProgramsLinkPath();
std::string DesktopLinkPath();
