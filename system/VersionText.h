#pragma once
// Version numbers travel as doubles; these convert them from and to text.
#include <string>

// Five decimals, no sign, and no leading zero for values from 0.1 to 1:
// 1.01 -> "1.01000", 0.5 -> ".50000", 0.05 -> "0.05000".
std::string FormatVersionNumber(double version);
// Keeps the digits and the first '.', drops everything else, reads a decimal:
// "1.4.2_05" -> 1.4205, "" -> 0.
double ParseVersionNumber(const std::string& text);

// Compares two version texts exactly, each read as ParseVersionNumber reads
// it ("1.4.2_05" as 1.4205) but as decimal digits, never as a floating-point
// number: negative, 0 or positive as a is below, equal to or above b.
int CompareVersionTexts(const std::string& a, const std::string& b);
// True when the version text is at least the required version, which is
// taken at the five decimals it travels with (a float's 1.6 is "1.60000").
bool IsVersionAtLeast(const std::string& text, double required);

// Java's own version order. Before Java 9 a runtime called itself "1.x"
// ("1.8.0_301" is Java 8); since then "x" ("17.0.2"). A leading "1." is
// dropped, then the numbers compare one by one: 1.6 < 1.8 < 9 < 11 < 17 < 21,
// and 17.0.10 is above 17.0.2. Text before the first digit ("zulu-17") is
// not part of the version.
int CompareJavaVersions(const std::string& a, const std::string& b);
// True when the runtime's version text is at least the required version,
// which travels as a number: 1.6 means Java 6 and 1.4205 means 1.4.2_05,
// exactly as that text reads (see IsVersionAtLeast).
bool IsJavaVersionAtLeast(const std::string& text, double required);
