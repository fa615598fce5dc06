#pragma once
// Starting a program through the shell and waiting for its exit code, the
// process token's elevation, and the command-line quoting Windows programs
// read their arguments with.
#include <windows.h>

#include <string>
#include <vector>

// One argument as the C runtime's command-line parser reads it back: quoted
// when it is empty or holds blanks or quotes; a quote inside is escaped with a
// backslash, and backslashes are doubled only where they precede a quote
// (also the closing one).
std::string QuoteCommandLineArgument(const std::string& argument);
// The arguments quoted and joined by single blanks.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Opens `file` with `parameters` through ShellExecuteEx (`verb` may be null,
// "runas" asks for elevation), with no window of its own when `hidden`, and
// waits for it to end. ERROR_SUCCESS with its exit code, or the error code
// of the start (ERROR_CANCELLED when the user refused the elevation prompt).
DWORD RunProgramAndWait(const std::string& file, const std::string& parameters, const char* verb, bool hidden,
                        DWORD& exitCode);

// True when this process runs with an elevated (full administrator) token.
bool IsProcessElevated();
