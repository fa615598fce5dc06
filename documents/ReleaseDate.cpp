#include "documents/ReleaseDate.h"

#include <windows.h>
#include <oleauto.h>

#include <cmath>

#include "system/Utf8.h"

ReleaseDate ReleaseDateFromText(const std::string& text) {
    ReleaseDate date;
    date.valid = false;
    std::wstring wide = Widen(text);
    DATE value = 0;
    if (FAILED(VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &value))) return date;
    date.value = std::trunc(value);
    date.valid = true;
    return date;
}
