#include "wizard/ShellTreeCtrl.h"

#include <shlwapi.h>

#include <memory>

#include "system/ComPtr.h"
#include "system/TextCompare.h"
#include "system/Utf8.h"

struct CShellTreeCtrl::ItemRecord {
    ComPtr<IShellFolder> parentFolder;
    UniqueItemIdList relative;  // the item within parentFolder
    UniqueItemIdList absolute;  // the item from the Desktop down
};

namespace {

// The mouse stays with the tree and the wait cursor shows while a folder is
// listed.
class WaitCursor {
public:
    explicit WaitCursor(HWND window) {
        SetCapture(window);
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
    }
    ~WaitCursor() {
        ReleaseCapture();
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

class PopulatingFlag {
public:
    explicit PopulatingFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~PopulatingFlag() { flag_ = false; }
    PopulatingFlag(const PopulatingFlag&) = delete;
    PopulatingFlag& operator=(const PopulatingFlag&) = delete;

private:
    bool& flag_;
};

// The item's small icon, and its open icon where the system has one.
void SetItemIcons(TVITEMW& item, LPCITEMIDLIST absolute) {
    item.iImage = GetShellIconIndex(absolute, SHGFI_SMALLICON);
    int open = GetShellIconIndex(absolute, SHGFI_SMALLICON | SHGFI_OPENICON);
    item.iSelectedImage = open != 0 ? open : item.iImage;
    item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
}

// The name `folder` shows for its item, as UTF-8; false when it gives none.
bool DisplayName(IShellFolder* folder, LPCITEMIDLIST item, std::string& name) {
    STRRET text = {};
    UniqueHandle<ShellMemoryTraits<PWSTR>> wide;
    if (FAILED(folder->GetDisplayNameOf(item, SHGDN_NORMAL, &text)) || FAILED(StrRetToStrW(&text, item, wide.put())) ||
        !wide)
        return false;
    name = Narrow(wide.get());
    return true;
}

// Paths compare without regard to case or to a final backslash, except that
// a drive's root keeps its backslash.
std::string WithoutFinalBackslash(const std::string& path) {
    if (path.size() > 3 && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

bool SamePath(const std::string& itemPath, const std::string& wanted) {
    return SameNameIgnoringCase(WithoutFinalBackslash(itemPath), wanted);
}

}  // namespace

CShellTreeCtrl::CShellTreeCtrl() : smallIcons_(SHGFI_SMALLICON) {}

CShellTreeCtrl::~CShellTreeCtrl() = default;

void CShellTreeCtrl::Attach(HWND tree) { window_ = tree; }

HTREEITEM CShellTreeCtrl::Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(window_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CShellTreeCtrl::GetSelectedItem() const { return Next(nullptr, TVGN_CARET); }

CShellTreeCtrl::ItemRecord* CShellTreeCtrl::RecordOf(HTREEITEM item) const {
    if (!item) return nullptr;
    TVITEMW data = {};
    data.mask = TVIF_HANDLE | TVIF_PARAM;
    data.hItem = item;
    if (!SendMessageW(window_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return nullptr;
    return reinterpret_cast<ItemRecord*>(data.lParam);
}

void CShellTreeCtrl::DeleteAllItems() {
    if (window_) SendMessageW(window_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

void CShellTreeCtrl::Populate() {
    PopulatingFlag flag(populating_);
    DeleteAllItems();
    SendMessageW(window_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(smallIcons_.get()));

    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop) return;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, desktopItem_.put())) || !desktopItem_)
        return;

    std::string name;
    DisplayName(desktop.get(), desktopItem_.get(), name);
    HTREEITEM root = InsertItem(TVI_ROOT, TVI_FIRST, name, desktopItem_.get(), nullptr, false);
    if (!root) return;

    FillChildren(desktop.get(), desktopItem_.get(), root);
    SendMessageW(window_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    if (HTREEITEM first = Next(root, TVGN_CHILD))
        SendMessageW(window_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(first));
}

HTREEITEM CShellTreeCtrl::InsertItem(HTREEITEM parent, HTREEITEM previous, const std::string& name,
                                     LPCITEMIDLIST absolute, ItemRecord* record, bool hasChildren) {
    std::wstring text = Widen(name);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = previous;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = &text[0];
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    if (hasChildren) {
        // An expand button before the children are listed.
        insert.item.mask |= TVIF_CHILDREN;
        insert.item.cChildren = 1;
    }
    SetItemIcons(insert.item, absolute);
    return reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CShellTreeCtrl::FillChildren(IShellFolder* folder, LPCITEMIDLIST parentAbsolute, HTREEITEM parent) {
    WaitCursor wait(window_);
    ComPtr<IEnumIDList> objects;
    if (folder->EnumObjects(GetParent(window_), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, objects.put()) != S_OK ||
        !objects)
        return;

    HTREEITEM previous = TVI_LAST;
    for (;;) {
        UniqueItemIdList object;
        ULONG fetched = 0;
        if (objects->Next(1, object.put(), &fetched) != S_OK || fetched != 1) break;

        LPCITEMIDLIST asked[] = {object.get()};
        ULONG attributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER;
        if (FAILED(folder->GetAttributesOf(1, asked, &attributes))) continue;
        if (!(attributes & (SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER))) continue;
        if (!(attributes & SFGAO_FOLDER)) continue;

        std::string name;
        if (!DisplayName(folder, object.get(), name)) break;

        auto record = std::make_unique<ItemRecord>();
        folder->QueryInterface(IID_IShellFolder, record->parentFolder.putVoid());  // a reference of its own
        record->relative.reset(CopyFirstItemId(object.get()));
        record->absolute.reset(ConcatItemIdLists(parentAbsolute, object.get()));
        if (!record->parentFolder || !record->relative || !record->absolute) break;

        HTREEITEM inserted = InsertItem(parent, previous, name, record->absolute.get(), record.get(),
                                        (attributes & SFGAO_HASSUBFOLDER) != 0);
        if (!inserted) break;
        record.release();  // the tree's delete-item notification frees it
        previous = inserted;
    }
}

// Orders siblings as their folder does; a failed comparison counts as equal.
int CALLBACK CShellTreeCtrl::CompareSiblings(LPARAM first, LPARAM second, LPARAM folder) {
    auto* shellFolder = reinterpret_cast<IShellFolder*>(folder);
    HRESULT order = shellFolder->CompareIDs(0, reinterpret_cast<ItemRecord*>(first)->relative.get(),
                                            reinterpret_cast<ItemRecord*>(second)->relative.get());
    if (FAILED(order)) return 0;
    return static_cast<short>(HRESULT_CODE(order));
}

bool CShellTreeCtrl::FillAndSort(HTREEITEM item) {
    ItemRecord* record = RecordOf(item);
    if (!record || Next(item, TVGN_CHILD)) return false;
    ComPtr<IShellFolder> folder;
    if (FAILED(record->parentFolder->BindToObject(record->relative.get(), nullptr, IID_IShellFolder,
                                                  folder.putVoid())) ||
        !folder)
        return false;
    FillChildren(folder.get(), record->absolute.get(), item);
    TVSORTCB sort = {};
    sort.hParent = item;
    sort.lpfnCompare = &CShellTreeCtrl::CompareSiblings;
    sort.lParam = reinterpret_cast<LPARAM>(folder.get());
    SendMessageW(window_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    return true;
}

void CShellTreeCtrl::OnItemExpanding(const NMTREEVIEWW& change) {
    if ((change.action & (TVE_COLLAPSE | TVE_EXPAND)) != TVE_EXPAND) return;
    HTREEITEM item = change.itemNew.hItem;
    UINT state = static_cast<UINT>(
        SendMessageW(window_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDEDONCE));
    if (state & TVIS_EXPANDEDONCE) return;
    if (!FillAndSort(item)) return;
    if (!Next(item, TVGN_CHILD)) {
        // The shell promised sub-folders that the listing did not have: drop
        // the expand button rather than leave one that opens nothing.
        TVITEMW data = {};
        data.mask = TVIF_HANDLE | TVIF_CHILDREN;
        data.hItem = item;
        data.cChildren = 0;
        SendMessageW(window_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    }
}

void CShellTreeCtrl::OnDeleteItem(const NMTREEVIEWW& change) {
    delete reinterpret_cast<ItemRecord*>(change.itemOld.lParam);
}

bool CShellTreeCtrl::Notify(const NMHDR& header) {
    if (header.hwndFrom != window_) return false;
    // The tree asks its parent which character set to notify in; take both.
    // The fields read here lie at the same places in either form.
    const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
    switch (header.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
        OnItemExpanding(change);
        return true;
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
        OnDeleteItem(change);
        return true;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        if (!populating_)
            PostMessageW(GetParent(window_), WM_COMMAND, MAKEWPARAM(kTreeSelectionChangedCommand, 0),
                         reinterpret_cast<LPARAM>(window_));
        return true;
    default:
        return false;
    }
}

std::string CShellTreeCtrl::GetItemPath(HTREEITEM item) const {
    if (!item) return std::string();
    ItemRecord* record = RecordOf(item);
    LPCITEMIDLIST absolute = record ? record->absolute.get() : desktopItem_.get();
    if (!absolute) return std::string();
    // Asked of the shell item, so a path of any length comes whole.
    UniqueHandle<ShellMemoryTraits<PWSTR>> path;
    if (FAILED(SHGetNameFromIDList(absolute, SIGDN_FILESYSPATH, path.put())) || !path) return std::string();
    return Narrow(path.get());
}

HTREEITEM CShellTreeCtrl::FindItem(const std::string& path, HTREEITEM start) const {
    std::string wanted = WithoutFinalBackslash(path);
    if (wanted.empty()) return nullptr;  // virtual folders have empty paths
    for (HTREEITEM item = start ? start : Next(nullptr, TVGN_ROOT); item; item = Next(item, TVGN_NEXT)) {
        if (SamePath(GetItemPath(item), wanted)) return item;
        if (HTREEITEM child = Next(item, TVGN_CHILD))
            if (HTREEITEM found = FindItem(wanted, child)) return found;
    }
    return nullptr;
}

void CShellTreeCtrl::SelectPath(const std::string& path) {
    std::string wanted = WithoutFinalBackslash(path);
    HTREEITEM found = nullptr;
    bool atDriveRoot = true;
    for (size_t at = 0; at < wanted.size(); ++at) {
        if (wanted[at] != '\\') continue;
        // The drive's root is named with its backslash, the folders below without.
        std::string prefix = wanted.substr(0, atDriveRoot ? at + 1 : at);
        atDriveRoot = false;
        if (HTREEITEM item = FindItem(prefix, found)) {
            found = item;
            FillAndSort(found);
            if (Next(found, TVGN_CHILD))
                SendMessageW(window_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(found));
        }
    }
    HTREEITEM target = FindItem(wanted, found);
    if (!target) return;
    SendMessageW(window_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(target));
    SendMessageW(window_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(target));
}
