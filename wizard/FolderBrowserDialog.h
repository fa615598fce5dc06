#pragma once
// "Browse for folder": a modal dialog with the shell tree and, above it, the
// path of the selected folder. Construct, SetInitialFolder, DoModal, and on
// IDOK GetFolder. The dialog runs on the calling thread.
#include <windows.h>

#include <string>

#include "wizard/ShellTreeCtrl.h"

class CFolderBrowserDialog {
public:
    explicit CFolderBrowserDialog(HWND owner);
    CFolderBrowserDialog(const CFolderBrowserDialog&) = delete;
    CFolderBrowserDialog& operator=(const CFolderBrowserDialog&) = delete;

    // Remembers the folder and, while the dialog is open, selects and shows it.
    void SetInitialFolder(const std::string& path);
    // IDOK or IDCANCEL.
    INT_PTR DoModal();
    // After OK: the file-system path of the selected folder, empty for a
    // virtual folder, or the initial folder when nothing was selected. After
    // Cancel: the initial folder.
    std::string GetFolder();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnDestroy();
    // Takes the selected item's path, if an item is selected.
    void ReadSelectedPath();

    HWND owner_;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    CShellTreeCtrl tree_;
    std::string path_;
};
