#pragma once
// Texts of the executable's string table, as UTF-8.
#include <windows.h>
#include <string>

#include "resources/resource.h"

// The string-table entry of the running executable; empty when missing.
std::string LoadResourceText(UINT id);
