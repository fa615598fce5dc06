#include "documents/NumberText.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// strtoll saturates at its own limits; the callers narrow further.
long long LeadingInteger(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

template <typename T>
T Clamp(long long value) {
    if (value < std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
    if (value > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
    return static_cast<T>(value);
}

}  // namespace

int TextToInt(const std::string& text) { return Clamp<int>(LeadingInteger(text)); }

long TextToLong(const std::string& text) { return Clamp<long>(LeadingInteger(text)); }

float TextToFloat(const std::string& text) {
    double value = std::strtod(text.c_str(), nullptr);
    if (std::isnan(value)) return 0.0f;
    const double top = std::numeric_limits<float>::max();
    if (value > top) return std::numeric_limits<float>::max();
    if (value < -top) return -std::numeric_limits<float>::max();
    return static_cast<float>(value);
}
