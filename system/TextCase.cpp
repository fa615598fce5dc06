#include "system/TextCase.h"

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string AsciiUpperCase(std::string text) {
    for (char& c : text) c = AsciiUpper(c);
    return text;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

size_t FindIgnoringCase(const std::string& text, const std::string& part) {
    return AsciiUpperCase(text).find(AsciiUpperCase(part));
}

bool ContainsIgnoringCase(const std::string& text, const std::string& part) {
    return FindIgnoringCase(text, part) != std::string::npos;
}
