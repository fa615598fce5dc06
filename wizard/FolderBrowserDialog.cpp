#include "wizard/FolderBrowserDialog.h"

#include "resources/resource.h"
#include "wizard/WindowText.h"

CFolderBrowserDialog::CFolderBrowserDialog(HWND owner) : owner_(owner) {}

void CFolderBrowserDialog::SetInitialFolder(const std::string& path) {
    path_ = path;
    if (tree_.window()) tree_.SelectPath(path_);
    if (edit_) SetWindowTextUtf8(edit_, path_);
}

INT_PTR CFolderBrowserDialog::DoModal() {
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BROWSE_FOLDER), owner_,
                                     &CFolderBrowserDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return result == IDOK ? IDOK : IDCANCEL;
}

std::string CFolderBrowserDialog::GetFolder() {
    if (tree_.window()) ReadSelectedPath();
    return path_;
}

void CFolderBrowserDialog::ReadSelectedPath() {
    if (HTREEITEM selected = tree_.GetSelectedItem()) path_ = tree_.GetItemPath(selected);
}

void CFolderBrowserDialog::OnInitDialog() {
    tree_.Attach(GetDlgItem(window_, IDC_FOLDER_TREE));
    edit_ = GetDlgItem(window_, IDC_PATH_EDIT);
    tree_.Populate();
    if (path_.empty()) return;
    tree_.SelectPath(path_);
    SetWindowTextUtf8(edit_, path_);
}

void CFolderBrowserDialog::OnDestroy() {
    // The items' records are freed by the tree's delete notifications, which
    // reach the tree object only while the dialog is still here.
    tree_.DeleteAllItems();
    tree_.Attach(nullptr);
    edit_ = nullptr;
    window_ = nullptr;
}

INT_PTR CFolderBrowserDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        ReadSelectedPath();
        EndDialog(window_, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(window_, IDCANCEL);
        return TRUE;
    case kTreeSelectionChangedCommand:
        // Only a display: OK reads the tree, not this box.
        if (edit_) SetWindowTextUtf8(edit_, tree_.GetItemPath(tree_.GetSelectedItem()));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK CFolderBrowserDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            auto* dialog = reinterpret_cast<CFolderBrowserDialog*>(lParam);
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            dialog->window_ = window;
            dialog->OnInitDialog();
            return TRUE;
        }
        auto* dialog = reinterpret_cast<CFolderBrowserDialog*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!dialog || !dialog->window_) return FALSE;
        if (message == WM_NOTIFY) {
            if (!dialog->tree_.Notify(*reinterpret_cast<const NMHDR*>(lParam))) return FALSE;
            SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);  // let every expansion happen
            return TRUE;
        }
        if (message == WM_DESTROY) {
            dialog->OnDestroy();
            return FALSE;
        }
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // A failure on one message leaves the dialog as it was.
    }
    return FALSE;
}
