#include "engine/Placeholders.h"

namespace {

const char* const kPlaceholders[] = {"{$DIR_CONF}", "{$DIR_LIB}", "{$DIR_HOME}", "{$DIR_UPDATES}", "{$DIR_BIN}"};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::vector<std::string> PlaceholderFolders(const std::string& homeDir) {
    return {homeDir + "conf\\", homeDir + "lib\\", homeDir, homeDir + "updates\\", homeDir + "bin\\"};
}

std::string ExpandPlaceholders(const std::string& text, const std::string& homeDir) {
    std::string expanded = text;
    for (char& c : expanded)
        if (c == '/') c = '\\';
    std::vector<std::string> folders = PlaceholderFolders(homeDir);
    for (size_t i = 0; i < folders.size(); ++i) ReplaceAll(expanded, kPlaceholders[i], folders[i]);
    return expanded;
}
