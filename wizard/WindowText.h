#pragma once
// Window texts, message boxes and shell opens with the program's UTF-8
// strings, through the wide functions, so any name survives the trip.
#include <windows.h>

#include <string>

// The window's whole text; empty without a window.
std::string GetWindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);
void SetDlgItemTextUtf8(HWND dialog, int id, const std::string& text);
// A failure as a last page and its message box show it: after the common
// error prefix, and with a line naming this run's log when there is one.
std::string ShownFailureText(const std::string& text);
// MessageBox's answer (IDOK, IDYES, ...).
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);
// Opens a program, document or address as the shell does, not waiting for it.
void OpenWithShell(HWND owner, const std::string& target);
// Starts a downloaded program the same way, from the bytes with this SHA-256
// only: the file is held against changes while it starts. Otherwise a
// message box with `caption` says its digest does not match.
void OpenVerifiedWithShell(HWND owner, const std::string& program, const std::string& sha256,
                           const std::string& caption);
