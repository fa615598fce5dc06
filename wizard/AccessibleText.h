#pragma once
// What a screen reader says of a window that paints its own words.
#include <windows.h>

#include <string>

// The window's accessible name becomes `name` (its window text) and its
// description `description`, and listening screen readers are told.
void SetAccessibleNameAndDescription(HWND window, const std::string& name, const std::string& description);
