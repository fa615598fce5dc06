#include "system/ProcessLaunch.h"

#include <shellapi.h>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"

std::string QuoteCommandLineArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are read as escapes: double them, then
        // escape the quote itself.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote, too.
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += QuoteCommandLineArgument(argument);
    }
    return line;
}

DWORD RunProgramAndWait(const std::string& file, const std::string& parameters, const char* verb, bool hidden,
                        DWORD& exitCode) {
    const std::wstring wideVerb = verb ? Widen(verb) : std::wstring();
    const std::wstring wideFile = Widen(file), wideParameters = Widen(parameters);
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = verb ? wideVerb.c_str() : nullptr;
    execute.lpFile = wideFile.c_str();
    execute.lpParameters = parameters.empty() ? nullptr : wideParameters.c_str();
    execute.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute)) {
        DWORD error = GetLastError();
        return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
    }
    UniqueKernelHandle process(execute.hProcess);
    // A document opened in an already running program has no process of its own.
    if (!process) return ERROR_INVALID_HANDLE;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return GetLastError();
    if (!GetExitCodeProcess(process.get(), &exitCode)) return GetLastError();
    return ERROR_SUCCESS;
}

bool IsProcessElevated() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
}
