#pragma once
// A tree view of the shell namespace from the Desktop down, folders only.
// Each folder's children are listed when it is first expanded (or when a
// path is selected through it), so opening the tree never walks the
// namespace. Items other than the Desktop root carry a record with their
// parent folder and identifier lists; the tree frees it when the item is
// deleted. The owning dialog passes the tree's notifications to Notify().
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <string>

#include "system/ShellItems.h"

// Posted to the tree's parent when the user's selection changes.
constexpr int kTreeSelectionChangedCommand = 1034;

class CShellTreeCtrl {
public:
    CShellTreeCtrl();
    ~CShellTreeCtrl();
    CShellTreeCtrl(const CShellTreeCtrl&) = delete;
    CShellTreeCtrl& operator=(const CShellTreeCtrl&) = delete;

    // The tree view window this object drives; its parent gets the commands.
    void Attach(HWND tree);
    HWND window() const { return window_; }
    // True while Populate() rebuilds the tree; selection changes are not
    // reported then.
    bool populating() const { return populating_; }

    // Empties the tree and lists the Desktop with its children, then opens
    // the Desktop's first child. An unreachable Desktop leaves it empty.
    void Populate();
    // Deletes every item (and its record).
    void DeleteAllItems();

    // The file-system path of an item; empty for virtual folders.
    std::string GetItemPath(HTREEITEM item) const;
    HTREEITEM GetSelectedItem() const;
    // The first listed item whose path equals `path`, ignoring case and a
    // final backslash: `start`, its subtree, then its following siblings with
    // theirs (from the first root item when `start` is null). Null if none.
    HTREEITEM FindItem(const std::string& path, HTREEITEM start = nullptr) const;
    // Lists the folders along `path` from its drive down and selects the
    // path's own item, scrolled into view. When the last folders do not exist,
    // the deepest existing one is left listed and open and nothing is selected.
    void SelectPath(const std::string& path);

    // Handles a WM_NOTIFY from the tree; true when it was one of ours.
    bool Notify(const NMHDR& header);

private:
    struct ItemRecord;
    static int CALLBACK CompareSiblings(LPARAM first, LPARAM second, LPARAM folder);

    void FillChildren(IShellFolder* folder, LPCITEMIDLIST parentAbsolute, HTREEITEM parent);
    // Inserts one item after `previous` below `parent`; null on failure.
    HTREEITEM InsertItem(HTREEITEM parent, HTREEITEM previous, const std::string& name, LPCITEMIDLIST absolute,
                         ItemRecord* record, bool hasChildren);
    // Lists and sorts the children of an item that has none yet.
    bool FillAndSort(HTREEITEM item);
    void OnItemExpanding(const NMTREEVIEWW& change);
    void OnDeleteItem(const NMTREEVIEWW& change);
    ItemRecord* RecordOf(HTREEITEM item) const;
    HTREEITEM Next(HTREEITEM item, UINT relation) const;

    HWND window_ = nullptr;
    SystemImageListReference smallIcons_;
    bool populating_ = false;
    UniqueItemIdList desktopItem_;
};
