#pragma once
// Shell item-identifier lists and the system image list, for the folder
// browser. An item-identifier list is a run of items, each starting with a
// 16-bit byte count that includes the count itself, ended by a count of 0.
// Lists made here come from the shell allocator and are freed with it.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "system/UniqueHandle.h"

// Zeroed memory from the shell allocator; null when there is none.
void* ShellAlloc(size_t size);
void ShellFree(void* memory);

template <typename Pointer>
struct ShellMemoryTraits {
    using Handle = Pointer;
    static Handle invalid() { return nullptr; }
    static void close(Handle memory) { ShellFree(memory); }
};
// Owns one item-identifier list allocated by the shell or by the helpers below.
using UniqueItemIdList = UniqueHandle<ShellMemoryTraits<LPITEMIDLIST>>;

// Bytes of all items plus the 2-byte terminator; 0 for a null list.
UINT ItemIdListSize(LPCITEMIDLIST list);
// The item after `item`; null when `item` or the next one is the terminator.
LPITEMIDLIST NextItemId(LPCITEMIDLIST item);
// A new list holding the first item of `list` only; null without memory.
LPITEMIDLIST CopyFirstItemId(LPCITEMIDLIST list);
// A new list: the items of `first`, then those of `second`; either may be
// null. Null without memory.
LPITEMIDLIST ConcatItemIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second);

// The display name of `item` in `folder` (SHGDN_* flags) as UTF-8; false
// when the folder gives none.
bool GetDisplayName(IShellFolder* folder, LPCITEMIDLIST item, DWORD flags, std::string& name);
// The system image list index of an absolute item for the SHGFI_* flags
// (SHGFI_SMALLICON, SHGFI_OPENICON); the system-index and item-list flags are
// added here.
int GetShellIconIndex(LPCITEMIDLIST item, UINT flags);

// The system image list, shared by the whole process and counted: the first
// acquire fetches it with the SHGFI_* `flags`, the last release forgets it.
// The list belongs to the system and is never destroyed.
HIMAGELIST AcquireSystemImageList(UINT flags);
void ReleaseSystemImageList();

// One counted reference on the system image list.
class SystemImageListReference {
public:
    explicit SystemImageListReference(UINT flags) : list_(AcquireSystemImageList(flags)) {}
    ~SystemImageListReference() { ReleaseSystemImageList(); }
    SystemImageListReference(const SystemImageListReference&) = delete;
    SystemImageListReference& operator=(const SystemImageListReference&) = delete;
    HIMAGELIST get() const { return list_; }

private:
    HIMAGELIST list_;
};
