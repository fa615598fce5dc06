#pragma once
// The installer's own version and the system's program-files folder.
#include <windows.h>
#include <string>

// "FileVersion" of the module's version resource (U.S. English, Windows
// Latin 1 block); the out text is unchanged when there is none.
void GetModuleFileVersion(HMODULE module, std::string& version);
// The fixed file version of the module's version resource as "1.1.0.0";
// empty when there is none.
std::string GetModuleDisplayVersion(HMODULE module);
// That text read as a decimal number (its leading numeric part); 0 without one.
double GetModuleVersionNumber(HMODULE module);
// "ProgramFilesDir" of the system's CurrentVersion key; unchanged on failure.
void GetProgramFilesDirectory(std::string& path);
