#pragma once
// Saves what the screen shows of one window as a 24-bit BMP file.
#include <windows.h>

#include <string>

bool SaveWindowShot(HWND window, const std::string& path);
