#pragma once
// Failure texts keep their first line as it always was and add a second
// line of advice; most tests check the first.
#include <string>

inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }
