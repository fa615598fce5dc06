#include "engine/MemberNames.h"

#include <cctype>

namespace {

bool ClimbsOut(const std::string& component) {
    // Windows drops trailing dots and blanks from a path component, so
    // ". ." and "..." can both end up meaning "..".
    int dots = 0;
    for (char c : component) {
        if (c == '.') ++dots;
        else if (c != ' ') return false;
    }
    return dots >= 2;
}

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool IsSafeMemberName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (ClimbsOut(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

std::string MemberCheckPath(const std::string& homeDir, const std::string& name) {
    std::string relative = (!name.empty() && name[0] == '/') ? name.substr(1) : name;
    for (char& c : relative)
        if (c == '/') c = '\\';
    return homeDir + relative;
}

bool IsProtectedMember(const std::string& name) {
    std::string upper = UpperCase(name);
    auto has = [&upper](const char* part) { return upper.find(part) != std::string::npos; };
    if (has("/CONF/") && has(".XML")) return true;
    return has("/BIN/") && (has(".BAT") || has(".SH"));
}
