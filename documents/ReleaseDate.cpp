#include "documents/ReleaseDate.h"

#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <vector>

ReleaseDate ReleaseDateFromText(const std::string& text) {
    ReleaseDate date;
    date.valid = false;
    int wideLength = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) return date;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), wideLength) <= 0) return date;
    DATE value = 0;
    if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &value))) return date;
    date.value = std::trunc(value);
    date.valid = true;
    return date;
}
