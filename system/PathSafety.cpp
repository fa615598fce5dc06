#include "system/PathSafety.h"

#include "system/TextCase.h"

namespace {

// Only dots and blanks, with at least minDots dots.
bool IsDotsAndBlanks(const std::string& component, int minDots) {
    int dots = 0;
    for (char c : component) {
        if (c == '.') ++dots;
        else if (c != ' ') return false;
    }
    return dots >= minDots;
}

// Windows reads these as "..": the component climbs out of its folder.
bool ClimbsOut(const std::string& component) { return IsDotsAndBlanks(component, 2); }

template <typename Test>
bool AnyComponent(const std::string& path, Test test) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsPathSeparator(path[end])) ++end;
        if (test(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDotComponent(const std::string& component) { return IsDotsAndBlanks(component, 1); }

bool HasDotComponent(const std::string& path) { return AnyComponent(path, IsDotComponent); }

bool IsFullPath(const std::string& path) {
    if (path.size() < 2) return false;
    const bool drivePath = path.size() > 2 && path[1] == ':' && IsPathSeparator(path[2]);
    const bool networkPath = IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
    return drivePath || networkPath;
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && !IsDotComponent(name);
}

bool IsSafeMemberName(const std::string& name) {
    if (name.empty() || IsPathSeparator(name[0])) return false;
    if (name.find(':') != std::string::npos) return false;
    return !AnyComponent(name, ClimbsOut);
}

bool IsTextInsideFolder(const std::string& path, const std::string& folder) {
    size_t length = folder.size();
    while (length > 0 && IsPathSeparator(folder[length - 1])) --length;
    if (length == 0 || path.size() <= length + 1 || !IsPathSeparator(path[length])) return false;
    if (!EqualsIgnoringCase(path.substr(0, length), folder.substr(0, length))) return false;
    // Something must follow the separator, and nothing may lead back out.
    return path.find_first_not_of("\\/", length + 1) != std::string::npos && !HasDotComponent(path);
}
