#include "engine/LauncherLines.h"

#include "system/PathText.h"
#include "system/TextCase.h"

std::vector<std::string> SplitLauncherLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool HasBatchMetacharacter(const std::string& text) { return text.find_first_of("&|<>^%\"") != std::string::npos; }

std::string ClassPathEntry(const std::string& home, const std::string& library, LauncherStyle style) {
    if (!ContainsIgnoringCase(library, home + "lib\\")) return library;
    return (style == LauncherStyle::Windows ? "..\\lib\\" : "lib/") + GetFileNameOfPath(library);
}

bool InsertClassPathEntry(std::vector<std::string>& lines, const std::string& entry, LauncherStyle style) {
    const std::string key = "CLASSPATH=";
    const std::string name = entry.substr(entry.find_last_of("\\/") + 1);
    for (std::string& line : lines) {
        size_t k = line.find(key);
        if (k == std::string::npos || ContainsIgnoringCase(line, name)) continue;

        size_t c = k + key.size();
        if (c < line.size() && (line[c] == '\'' || line[c] == '"')) ++c;
        line = line.substr(0, c) + entry + (style == LauncherStyle::Windows ? ";" : ":") + line.substr(c);
        return true;
    }
    return false;
}

bool FillJavaPath(std::vector<std::string>& lines, const std::string& javaFolder) {
    for (std::string& line : lines) {
        if (line.find("set JAVA_PATH=") == std::string::npos) continue;
        if (line.find("\"\"") == std::string::npos) return false;
        line = "set JAVA_PATH=\"" + javaFolder + "\"";
        return true;
    }
    return false;
}
