#include "system/TextCompare.h"

#include <windows.h>

#include "system/Utf8.h"

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    const std::wstring wideA = Widen(a), wideB = Widen(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}
