#pragma once
// The C library's lenient number readers, without their undefined behaviour
// on overflow: leading blanks and a sign are accepted, the first character
// that does not fit ends the number, no digits give 0, and values beyond the
// type's range are clamped to it.
#include <string>

int TextToInt(const std::string& text);    // atoi
long TextToLong(const std::string& text);  // atol
float TextToFloat(const std::string& text);  // atof, then narrowed
