#include "system/ResourceText.h"

std::string LoadResourceText(UINT id) {
    // A string-table entry holds at most 4097 characters.
    char buffer[4100] = {};
    int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}
