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

// The device names Windows opens whatever folder they appear in. The base
// name counts: "nul.txt" and "nul .txt" are the device too.
bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = AsciiUpperCase(base);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0);
    return numbered && base[3] >= '1' && base[3] <= '9';
}

// Windows drops a component's trailing dots and blanks, so "lib." would be
// written as "lib": another name than the one checked.
bool EndsInDotOrBlank(const std::string& component) {
    if (component == "." || component == "..") return false;
    return !component.empty() && (component.back() == '.' || component.back() == ' ');
}

bool IsNotLiteral(const std::string& component) { return IsDeviceName(component) || EndsInDotOrBlank(component); }

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
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && !IsDotComponent(name) &&
           IsLiteralPathName(name);
}

bool IsLiteralPathName(const std::string& path) {
    // "\\?\" and "\\.\" hand the rest to the object manager unchecked.
    if (path.size() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
        (path[2] == '?' || path[2] == '.') && IsPathSeparator(path[3]))
        return false;
    const bool driveColon = IsFullPath(path) && path[1] == ':';
    if (path.find(':', driveColon ? 2 : 0) != std::string::npos) return false;
    // The drive ("C:") is no component.
    return !AnyComponent(driveColon ? path.substr(3) : path, IsNotLiteral);
}

bool IsSafeMemberName(const std::string& name) {
    if (name.empty() || IsPathSeparator(name[0])) return false;
    if (name.find(':') != std::string::npos) return false;
    return !AnyComponent(name, ClimbsOut) && IsLiteralPathName(name);
}

bool IsTextInsideFolder(const std::string& path, const std::string& folder) {
    size_t length = folder.size();
    while (length > 0 && IsPathSeparator(folder[length - 1])) --length;
    if (length == 0 || path.size() <= length + 1 || !IsPathSeparator(path[length])) return false;
    if (!EqualsIgnoringCase(path.substr(0, length), folder.substr(0, length))) return false;
    // Something must follow the separator, and nothing may lead back out.
    return path.find_first_not_of("\\/", length + 1) != std::string::npos && !HasDotComponent(path);
}
