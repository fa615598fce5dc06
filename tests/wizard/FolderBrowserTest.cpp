// The folder browser over real folders of the prefix: the dialog runs on a
// thread of its own and the test drives it by window messages.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource.h"
#include "support/ScratchFolder.h"
#include "system/ComPtr.h"
#include "system/PathText.h"
#include "system/ShellItems.h"
#include "system/TextCase.h"
#include "system/Utf8.h"
#include "wizard/FolderBrowserDialog.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

// DoModal on a thread with COM, as on the program's UI thread.
class BrowserRun {
public:
    explicit BrowserRun(CFolderBrowserDialog& dialog) : started_(std::chrono::steady_clock::now()) {
        thread_ = std::thread([this, &dialog] {
            CoInitialize(nullptr);
            threadId_ = GetCurrentThreadId();
            result_ = dialog.DoModal();
            CoUninitialize();
            ended_ = true;
        });
    }
    // Cancels a dialog still open (after a failed check) and waits for its thread.
    ~BrowserRun() {
        WaitFor([&] {
            if (ended_) return true;
            if (HWND dialog = FindDialog()) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return false;
        }, 20000);
        thread_.join();
    }
    BrowserRun(const BrowserRun&) = delete;
    BrowserRun& operator=(const BrowserRun&) = delete;

    // The dialog once it is shown, which is after its initialisation.
    HWND WaitForDialog() {
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = FindDialog()) != nullptr; }, 20000);
        openedMs_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
        return dialog;
    }
    bool WaitForEnd() { return WaitFor([&] { return ended_.load(); }); }
    INT_PTR result() const { return result_; }
    double openedMs() const { return openedMs_; }

private:
    HWND FindDialog() const {
        HWND found = nullptr;
        if (threadId_ == 0) return nullptr;
        EnumThreadWindows(
            threadId_,
            [](HWND window, LPARAM parameter) -> BOOL {
                char className[16] = {};
                GetClassNameA(window, className, sizeof(className));
                if (std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
                *reinterpret_cast<HWND*>(parameter) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::chrono::steady_clock::time_point started_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> ended_{false};
    std::atomic<INT_PTR> result_{0};
    double openedMs_ = 0;
    std::thread thread_;
};

HTREEITEM Item(HWND tree, HTREEITEM from, UINT relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
}

TVITEMW ItemInfo(HWND tree, HTREEITEM item, wchar_t* text = nullptr, int textSize = 0) {
    TVITEMW info = {};
    info.mask = TVIF_HANDLE | TVIF_CHILDREN | TVIF_STATE | (text ? TVIF_TEXT : 0);
    info.stateMask = TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = textSize;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

std::string ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[1024] = {};
    ItemInfo(tree, item, text, static_cast<int>(std::size(text)));
    return Narrow(text);
}

bool HasButton(HWND tree, HTREEITEM item) { return ItemInfo(tree, item).cChildren != 0; }
bool Expanded(HWND tree, HTREEITEM item) { return (ItemInfo(tree, item).state & TVIS_EXPANDED) != 0; }

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM parent) {
    std::vector<std::string> texts;
    for (HTREEITEM child = Item(tree, parent, TVGN_CHILD); child; child = Item(tree, child, TVGN_NEXT))
        texts.push_back(ItemText(tree, child));
    return texts;
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::string& name) {
    for (HTREEITEM child = Item(tree, parent, TVGN_CHILD); child; child = Item(tree, child, TVGN_NEXT))
        if (ItemText(tree, child) == name) return child;
    return nullptr;
}

void Expand(HWND tree, HTREEITEM item, UINT action = TVE_EXPAND) {
    SendMessageA(tree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(item));
}

// The item's text lies inside the tree's client area.
bool ScrolledIntoView(HWND tree, HTREEITEM item) {
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof(item));  // the message takes the item in the rectangle
    if (!SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect))) return false;
    RECT client = {};
    GetClientRect(tree, &client);
    return rect.top >= client.top && rect.bottom <= client.bottom && rect.left >= client.left &&
           rect.left < client.right;
}

// The names the shell itself gives, so the checks hold for whatever
// namespace the system shows.
std::string ShellName(int specialFolder) {
    ComPtr<IShellFolder> desktop;
    UniqueItemIdList item;
    std::string name;
    if (SUCCEEDED(SHGetDesktopFolder(desktop.put())) &&
        SUCCEEDED(SHGetSpecialFolderLocation(nullptr, specialFolder, item.put())))
        GetDisplayName(desktop.get(), item.get(), SHGDN_NORMAL, name);
    return name;
}

std::string WithoutFinalBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

void MakeFolders(const std::string& root, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) ASSERT_TRUE(MakeFolder(root + folder)) << folder;
}

void Press(HWND dialog, int buttonId) { SendMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0); }

TEST(FolderBrowser, ListsOnlyFoldersSortedAndFillsEachOnItsFirstExpansion) {
    ScratchFolder scratch("browse");
    // The shell orders names as words ("ab" before "a-c", "x_y" before "xa"),
    // which a plain directory listing does not.
    MakeFolders(scratch.path(), {"parent", "parent\\Delta", "parent\\a-c", "parent\\xa", "parent\\ab",
                                 "parent\\x_y", "parent\\Delta\\inner", "parent\\Delta\\inner\\deepest"});
    WriteTextFile(scratch.path() + "parent\\notes.txt", "a file");
    WriteTextFile(scratch.path() + "parent\\Delta\\file.txt", "a file");

    CFolderBrowserDialog browser(nullptr);
    browser.SetInitialFolder(scratch.path() + "parent");
    BrowserRun run(browser);
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog), "Browse for folder");
    HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);

    // The Desktop is the one root, open with its first child open too, and
    // the list of drives is among its children.
    HTREEITEM desktop = Item(tree, nullptr, TVGN_ROOT);
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(Item(tree, desktop, TVGN_NEXT), nullptr);
    EXPECT_EQ(ItemText(tree, desktop), ShellName(CSIDL_DESKTOP));
    EXPECT_TRUE(Expanded(tree, desktop));
    EXPECT_TRUE(Expanded(tree, Item(tree, desktop, TVGN_CHILD)));
    EXPECT_NE(ChildNamed(tree, desktop, ShellName(CSIDL_DRIVES)), nullptr);

    // The selected folder shows a button but has not been listed yet.
    HTREEITEM parent = Item(tree, nullptr, TVGN_CARET);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(ItemText(tree, parent), "parent");
    EXPECT_TRUE(HasButton(tree, parent));
    EXPECT_EQ(Item(tree, parent, TVGN_CHILD), nullptr);

    // Opening it lists its folders in the shell's order, never its files.
    Expand(tree, parent);
    EXPECT_EQ(ChildTexts(tree, parent), (std::vector<std::string>{"ab", "a-c", "Delta", "x_y", "xa"}));
    HTREEITEM delta = ChildNamed(tree, parent, "Delta");
    ASSERT_NE(delta, nullptr);
    EXPECT_TRUE(HasButton(tree, delta));
    EXPECT_EQ(Item(tree, delta, TVGN_CHILD), nullptr);
    Expand(tree, delta);
    EXPECT_EQ(ChildTexts(tree, delta), std::vector<std::string>{"inner"});
    // Closing and opening again does not list it twice.
    Expand(tree, delta, TVE_COLLAPSE);
    Expand(tree, delta);
    EXPECT_EQ(ChildTexts(tree, delta), std::vector<std::string>{"inner"});
    EXPECT_EQ(Item(tree, ChildNamed(tree, delta, "inner"), TVGN_CHILD), nullptr);

    // A folder that turns out empty keeps no button once opened.
    HTREEITEM empty = ChildNamed(tree, parent, "xa");
    Expand(tree, empty);
    EXPECT_EQ(Item(tree, empty, TVGN_CHILD), nullptr);
    EXPECT_FALSE(HasButton(tree, empty));

    Press(dialog, IDCANCEL);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.result(), IDCANCEL);
}

struct InitialFolderCase {
    const char* what;
    std::string typed;
    std::string selectedName;
    std::string returned;
};

// An existing folder given at the start is selected, in view and shown in
// the edit box, and OK returns the folder's own path, whatever script its
// name is written in.
TEST(FolderBrowser, SelectsTheInitialFolderAndOkReturnsIt) {
    ScratchFolder scratch("browse");
    MakeFolders(scratch.path(), {"One", "One\\Two", "One\\Two\\Three", "One\\Two\\Three\\Four",
                                 "One\\Two\\Three\\Four\\Five"});
    MakeFolders(scratch.path(), {"Документы", "Документы\\数据 2005"});
    const std::string deep = scratch.path() + "One\\Two\\Three\\Four";
    const std::string nonLatin = scratch.path() + "Документы\\数据 2005";
    const std::string scratchFolder = WithoutFinalBackslash(scratch.path());
    const std::string scratchName = GetFileNameOfPath(scratchFolder);
    const InitialFolderCase cases[] = {
        {"exactly as on disk", deep, "Four", deep},
        {"in other capitals", AsciiUpperCase(deep), "Four", deep},
        {"with a final backslash", scratch.path(), scratchName, scratchFolder},
        {"named in Cyrillic and Chinese", nonLatin, "数据 2005", nonLatin},
        {"in other Cyrillic capitals", scratch.path() + "ДОКУМЕНТЫ\\数据 2005\\", "数据 2005", nonLatin},
    };
    for (const InitialFolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        CFolderBrowserDialog browser(nullptr);
        browser.SetInitialFolder(c.typed);
        BrowserRun run(browser);
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        int depth = 0;
        for (char ch : WithoutFinalBackslash(c.typed)) depth += ch == '\\';
        std::printf("[ timing   ] dialog open with an initial folder %d levels below the drive (%s): %.0f ms\n",
                    depth, c.what, run.openedMs());
        HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);

        HTREEITEM selected = Item(tree, nullptr, TVGN_CARET);
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(ItemText(tree, selected), c.selectedName);
        EXPECT_TRUE(ScrolledIntoView(tree, selected));
        EXPECT_TRUE(WaitFor([&] { return Text(GetDlgItem(dialog, IDC_PATH_EDIT)) == c.returned; }))
            << Text(GetDlgItem(dialog, IDC_PATH_EDIT));

        Press(dialog, IDOK);
        ASSERT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.result(), IDOK);
        EXPECT_EQ(browser.GetFolder(), c.returned);
    }
}

// Cancel ignores the selection; a folder that does not exist yet opens the
// deepest existing one and, with nothing selected, OK keeps the folder given.
TEST(FolderBrowser, CancelAndFoldersStillToBeMadeKeepTheInitialFolder) {
    ScratchFolder scratch("browse");
    MakeFolders(scratch.path(), {"Made", "Made\\Sub"});
    {
        const std::string initial = scratch.path() + "Made";
        CFolderBrowserDialog browser(nullptr);
        browser.SetInitialFolder(initial);
        BrowserRun run(browser);
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(tree, nullptr, TVGN_ROOT)));
        Press(dialog, IDCANCEL);
        ASSERT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.result(), IDCANCEL);
        EXPECT_EQ(browser.GetFolder(), initial);
    }
    {
        const std::string initial = scratch.path() + "Made\\Missing\\Deeper\\";
        CFolderBrowserDialog browser(nullptr);
        browser.SetInitialFolder(initial);
        BrowserRun run(browser);
        HWND dialog = run.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);
        EXPECT_EQ(Item(tree, nullptr, TVGN_CARET), nullptr);
        EXPECT_EQ(Text(GetDlgItem(dialog, IDC_PATH_EDIT)), initial);
        // "Made" is reached through the listed folders, open on its child.
        HTREEITEM made = nullptr;
        for (HTREEITEM item = Item(tree, nullptr, TVGN_ROOT); item && !made;
             item = Item(tree, item, TVGN_NEXTVISIBLE))
            if (ItemText(tree, item) == "Made") made = item;
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(Expanded(tree, made));
        EXPECT_EQ(ChildTexts(tree, made), std::vector<std::string>{"Sub"});

        Press(dialog, IDOK);
        ASSERT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.result(), IDOK);
        EXPECT_EQ(browser.GetFolder(), initial);
    }
}

// The edit box follows the selection; a folder without a file-system path
// shows nothing there, and OK returns that empty path.
TEST(FolderBrowser, VirtualFolderGivesAnEmptyPath) {
    ScratchFolder scratch("browse");
    CFolderBrowserDialog browser(nullptr);
    browser.SetInitialFolder(scratch.path());
    BrowserRun run(browser);
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    HWND tree = GetDlgItem(dialog, IDC_FOLDER_TREE);
    HWND edit = GetDlgItem(dialog, IDC_PATH_EDIT);
    EXPECT_TRUE(WaitFor([&] { return Text(edit) == WithoutFinalBackslash(scratch.path()); })) << Text(edit);

    HTREEITEM desktop = Item(tree, nullptr, TVGN_ROOT);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(desktop));
    std::string desktopPath;
    {
        UniqueItemIdList item;
        char path[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, item.put())));
        ASSERT_TRUE(SHGetPathFromIDListA(item.get(), path));
        desktopPath = path;
    }
    EXPECT_TRUE(WaitFor([&] { return Text(edit) == desktopPath; })) << Text(edit);

    HTREEITEM drives = ChildNamed(tree, desktop, ShellName(CSIDL_DRIVES));
    ASSERT_NE(drives, nullptr);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(drives));
    EXPECT_TRUE(WaitFor([&] { return Text(edit).empty(); })) << Text(edit);

    Press(dialog, IDOK);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.result(), IDOK);
    EXPECT_EQ(browser.GetFolder(), "");
}

}  // namespace
