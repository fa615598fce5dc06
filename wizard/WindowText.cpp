#include "wizard/WindowText.h"

#include <shellapi.h>

#include "flow/WorkerOutcome.h"
#include "service/ServiceQuery.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"

std::string GetWindowTextUtf8(HWND window) {
    if (!window) return std::string();
    // The length may count more than the text, never less; the copy says
    // how much there was.
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return Narrow(text);
}

void SetWindowTextUtf8(HWND window, const std::string& text) { SetWindowTextW(window, Widen(text).c_str()); }

void SetDlgItemTextUtf8(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, Widen(text).c_str());
}

std::string ShownFailureText(const std::string& text) {
    const std::string log = OpenLogPath();
    return kInstallationErrorPrefix + text + (log.empty() ? std::string() : "\nThe log of this run: " + log);
}

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), type);
}

void OpenWithShell(HWND owner, const std::string& target) {
    ShellExecuteW(owner, nullptr, Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenVerifiedWithShell(HWND owner, const std::string& program, const std::string& sha256,
                           const std::string& caption) {
    const UniqueFileHandle verified = LockVerifiedFile(program, sha256);
    if (!verified) {
        ShowMessageBox(owner, DigestMismatchText(GetFileNameOfPath(program)), caption, MB_OK | MB_ICONERROR);
        return;
    }
    OpenWithShell(owner, program);
}
