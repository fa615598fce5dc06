#include "engine/MemberNames.h"

#include "system/TextCase.h"
#include "system/Utf8.h"

bool DecodeMemberName(const std::string& stored, bool utf8Flag, std::string& name) {
    const std::string text = stored.substr(0, stored.find('\0'));
    if (!utf8Flag) {
        name = Cp437ToUtf8(text);
        return true;
    }
    if (!IsValidUtf8(text)) return false;
    name = text;
    return true;
}

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
