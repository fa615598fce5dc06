#include "system/VersionText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The digit string and decimal-point position of a five-decimal fixed-point
// conversion, as the C library's fcvt gives them (sign dropped).
void FixedPointDigits(double value, std::string& digits, int& point) {
    char text[512];
    std::snprintf(text, sizeof text, "%.5f", std::fabs(value));
    std::string all = text;
    size_t dot = all.find('.');
    std::string whole = all.substr(0, dot);
    std::string fraction = all.substr(dot + 1);
    if (whole != "0") {
        digits = whole + fraction;
        point = static_cast<int>(whole.size());
        return;
    }
    size_t firstNonZero = fraction.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {  // the value rounds to zero
        digits = fraction;
        point = 0;
        return;
    }
    digits = fraction.substr(firstNonZero);
    point = -static_cast<int>(firstNonZero);
}

}  // namespace

std::string FormatVersionNumber(double version) {
    std::string digits;
    int point = 0;
    FixedPointDigits(version, digits, point);
    if (point < 0 && std::fabs(version) < 1.0) return "0." + std::string(-point, '0') + digits;
    return digits.substr(0, point) + "." + digits.substr(point);
}

double ParseVersionNumber(const std::string& text) {
    std::string kept;
    bool dotSeen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            kept += c;
        } else if (c == '.' && !dotSeen) {
            kept += c;
            dotSeen = true;
        }
    }
    return kept.empty() ? 0.0 : std::strtod(kept.c_str(), nullptr);
}
