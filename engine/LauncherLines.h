#pragma once
// The line edits made to the launcher scripts: a library put at the front of
// the class path, the Java folder filled into an empty Java line. Pure text:
// the lines are bytes in the script's own encoding (any that keeps ASCII as
// it is), and what goes into them must be in it too.
#include <string>
#include <vector>

enum class LauncherStyle { Windows, Unix };

// Lines without their terminators; "\r\n" and "\n" both end a line, and a
// final line without a break counts as a line.
std::vector<std::string> SplitLauncherLines(const std::string& text);

// The class path entry of a library: relative when it lies below home's lib
// folder ("..\lib\" + name for the batch file, which runs in bin; "lib/" +
// name for the shell script, which runs in the application folder), else its
// whole path.
std::string ClassPathEntry(const std::string& home, const std::string& library, LauncherStyle style);

// True when text holds a character cmd.exe reads as more than text in a
// batch line: & | < > ^ % or a quote.
bool HasBatchMetacharacter(const std::string& text);

// Puts entry at the front of the first line holding "CLASSPATH=" that does
// not yet mention the entry's file name (the text after its last "\" or "/",
// compared ignoring case). An opening quote or apostrophe of the value stays
// in front. True when a line changed.
bool InsertClassPathEntry(std::vector<std::string>& lines, const std::string& entry, LauncherStyle style);

// Replaces the first line holding "set JAVA_PATH=" by set JAVA_PATH="folder"
// while it still holds an empty quoted value (""); a filled first Java line,
// and every later one, stay. True when the line changed.
bool FillJavaPath(std::vector<std::string>& lines, const std::string& javaFolder);
