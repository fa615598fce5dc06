#pragma once
// The run's log for administrators: one line per step, appended to the file
// named on the command line, each line with its local time. Process-wide and
// thread-safe. A log that cannot be written is no error: the line is lost and
// the run goes on. Never pass secrets to it.
#include <string>

// From now on LogLine appends to `path`, opened here once for the run; an
// empty path switches logging off. A log whose file or a folder on its way
// is a junction or symbolic link is refused: false, and nothing is logged
// (an administrator's program must not write where a link leads).
bool OpenLog(const std::string& path);
// Starts a new log "<prefix>-<date>-<time>-<process id>.log" in `folder`
// (made here, never an existing file) and deletes the oldest such logs there
// beyond the newest `keep`, this one included. Other files are never touched.
// False when no log could be made; logging is then off.
bool OpenNewLogIn(const std::string& folder, const std::string& prefix, size_t keep);
void LogLine(const std::string& text);
// The file LogLine appends to; empty while logging is off.
std::string OpenLogPath();
