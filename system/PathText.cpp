#include "system/PathText.h"

#include "system/TextCase.h"

void AddTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
}

void RemoveTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
}

std::string GetFileNameOfPath(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string MakeShortPath(const std::string& path) {
    std::string full = path;
    AddTrailingBackslash(full);
    size_t first = full.find('\\');
    if (first == std::string::npos) return std::string();

    std::string result = full.substr(0, first + 1);
    size_t start = first + 1;
    for (size_t end = full.find('\\', start); end != std::string::npos;
         start = end + 1, end = full.find('\\', start)) {
        std::string component = full.substr(start, end - start);
        if (component.size() > 8 && component.find(' ') != std::string::npos) {
            component = AsciiUpperCase(component.substr(0, 6)) + "~1";
        }
        result += component;
        result += '\\';
    }
    return result;
}

std::string GetParentOfPath(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
