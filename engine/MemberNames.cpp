#include "engine/MemberNames.h"

#include "system/TextCase.h"

std::string MemberCheckPath(const std::string& homeDir, const std::string& name) {
    std::string relative = (!name.empty() && name[0] == '/') ? name.substr(1) : name;
    for (char& c : relative)
        if (c == '/') c = '\\';
    return homeDir + relative;
}

bool IsProtectedMember(const std::string& name) {
    std::string upper = AsciiUpperCase(name);
    auto has = [&upper](const char* part) { return upper.find(part) != std::string::npos; };
    if (has("/CONF/") && has(".XML")) return true;
    return has("/BIN/") && (has(".BAT") || has(".SH"));
}
