#pragma once
// Letter case for the program's own texts: folder names, keywords, file
// name endings. Only the ASCII letters change; every other byte stays, as
// with the "C" locale the program runs in. Pure text functions.
#include <string>

std::string AsciiUpperCase(std::string text);
bool EqualsIgnoringCase(const std::string& a, const std::string& b);
// Where part first occurs in text, letter case ignored; npos when nowhere.
size_t FindIgnoringCase(const std::string& text, const std::string& part);
bool ContainsIgnoringCase(const std::string& text, const std::string& part);
