#include "system/ShellItems.h"

#include <shellapi.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "system/ComPtr.h"
#include "system/SlimLock.h"
#include "system/Utf8.h"

namespace {

// Text a shell folder hands out in the ANSI code page.
std::string AnsiToUtf8(const char* ansi) {
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (length <= 0) return std::string();
    std::vector<wchar_t> wide(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), length);
    return Narrow(wide.data());
}

}  // namespace

void* ShellAlloc(size_t size) {
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) return nullptr;
    void* memory = allocator->Alloc(size);
    if (memory) std::memset(memory, 0, size);
    return memory;
}

void ShellFree(void* memory) {
    if (!memory) return;
    ComPtr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.put()))) allocator->Free(memory);
}

UINT ItemIdListSize(LPCITEMIDLIST list) {
    if (!list) return 0;
    UINT size = 0;
    for (const SHITEMID* item = &list->mkid; item->cb != 0;
         item = reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(item) + item->cb))
        size += item->cb;
    return size + sizeof(USHORT);
}

LPITEMIDLIST NextItemId(LPCITEMIDLIST item) {
    if (!item || item->mkid.cb == 0) return nullptr;
    auto next = reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(reinterpret_cast<const BYTE*>(item)) +
                                               item->mkid.cb);
    return next->mkid.cb == 0 ? nullptr : next;
}

LPITEMIDLIST CopyFirstItemId(LPCITEMIDLIST list) {
    UINT size = ItemIdListSize(list);
    if (size == 0) return nullptr;
    // Zeroed, so the bytes after the first item are its terminator.
    auto copy = static_cast<LPITEMIDLIST>(ShellAlloc(size));
    if (copy) std::memcpy(copy, list, list->mkid.cb);
    return copy;
}

LPITEMIDLIST ConcatItemIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second) {
    UINT firstItems = first ? ItemIdListSize(first) - sizeof(USHORT) : 0;
    UINT secondSize = second ? ItemIdListSize(second) : sizeof(USHORT);
    auto joined = static_cast<LPITEMIDLIST>(ShellAlloc(firstItems + secondSize));
    if (!joined) return nullptr;
    if (first) std::memcpy(joined, first, firstItems);
    if (second) std::memcpy(reinterpret_cast<BYTE*>(joined) + firstItems, second, secondSize);
    return joined;
}

bool GetDisplayName(IShellFolder* folder, LPCITEMIDLIST item, DWORD flags, std::string& name) {
    STRRET text = {};
    if (!folder || FAILED(folder->GetDisplayNameOf(item, flags, &text))) return false;
    switch (text.uType) {
    case STRRET_WSTR: {
        UniqueHandle<ShellMemoryTraits<LPWSTR>> wide(text.pOleStr);
        name = Narrow(wide.get());
        return true;
    }
    case STRRET_OFFSET:
        name = AnsiToUtf8(reinterpret_cast<const char*>(item) + text.uOffset);
        return true;
    case STRRET_CSTR:
        name = AnsiToUtf8(text.cStr);
        return true;
    default:
        return false;
    }
}

int GetShellIconIndex(LPCITEMIDLIST item, UINT flags) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item), 0, &info, sizeof(info),
                   flags | SHGFI_PIDL | SHGFI_SYSICONINDEX);
    return info.iIcon;
}

namespace {

struct SharedSystemImageList {
    SlimLock lock;
    HIMAGELIST list = nullptr;
    int references = 0;
};

SharedSystemImageList& TheSystemImageList() {
    static SharedSystemImageList shared;
    return shared;
}

}  // namespace

HIMAGELIST AcquireSystemImageList(UINT flags) {
    SharedSystemImageList& shared = TheSystemImageList();
    std::lock_guard<SlimLock> guard(shared.lock);
    if (shared.references++ == 0) {
        SHFILEINFOW info = {};
        shared.list = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), flags | SHGFI_SYSICONINDEX));
    }
    return shared.list;
}

void ReleaseSystemImageList() {
    SharedSystemImageList& shared = TheSystemImageList();
    std::lock_guard<SlimLock> guard(shared.lock);
    if (shared.references > 0 && --shared.references == 0) shared.list = nullptr;
}
