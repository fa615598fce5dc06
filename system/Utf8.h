#pragma once
// The program's one string type is UTF-8 in std::string. These conversions
// are the only way text crosses into and out of the wide ("W") Windows
// functions. Pure: no <windows.h>, so they build natively for fuzzing.
//
// The wide side holds UTF-16 code units, one per wchar_t (16 bits on
// Windows; where wchar_t is wider, the units are stored the same way).
#include <string>
#include <string_view>

// UTF-8 to UTF-16. A byte that starts no valid sequence (an overlong form, a
// surrogate, a value past U+10FFFF, a sequence cut short) becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);
inline std::string Narrow(const wchar_t* utf16) { return Narrow(std::wstring_view(utf16 ? utf16 : L"")); }

// Whether every byte belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(std::string_view text);

// Code page 437, the zip format's default for member names, to UTF-8.
std::string Cp437ToUtf8(std::string_view text);
