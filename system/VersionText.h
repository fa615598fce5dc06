#pragma once
// Version numbers travel as doubles; these convert them from and to text.
#include <string>

// Five decimals, no sign, and no leading zero for values from 0.1 to 1:
// 1.01 -> "1.01000", 0.5 -> ".50000", 0.05 -> "0.05000".
std::string FormatVersionNumber(double version);
// Keeps the digits and the first '.', drops everything else, reads a decimal:
// "1.4.2_05" -> 1.4205, "" -> 0.
double ParseVersionNumber(const std::string& text);
