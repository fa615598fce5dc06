#pragma once
// Starting programs (ours, under the same Wine prefix) and waiting for them.
#include <string>

#include "system/UniqueHandle.h"

// Starts the command line; the process handle, or none when it could not start.
UniqueKernelHandle StartProcess(const std::string& commandLine, const std::string& workingDir = "");
// Runs the command line and waits; returns the exit code, or -1 when it could
// not start or did not end within the time-out.
long RunAndWait(const std::string& commandLine, unsigned timeoutMs = 60000,
                const std::string& workingDir = "");
// Polls until the file exists (and, when given, holds at least minBytes).
bool WaitForFile(const std::string& path, unsigned timeoutMs, size_t minBytes = 1);
