#include "flow/FreeSpace.h"

#include <windows.h>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

std::string NotEnoughSpaceText(const std::string& volume, uint64_t neededBytes, uint64_t freeBytes) {
    const uint64_t kMegabyte = 1024 * 1024;
    const uint64_t neededMb = (neededBytes + kMegabyte - 1) / kMegabyte;
    return "Not enough free space on " + volume + ": " + std::to_string(neededMb) + " MB needed, " +
           std::to_string(freeBytes / kMegabyte) + " MB free.";
}

std::string FreeSpaceFailure(const std::string& folder, uint64_t neededBytes) {
    // The install folder may not exist yet: its nearest existing parent is
    // on the same volume.
    std::string existing = folder;
    RemoveTrailingBackslash(existing);
    while (!existing.empty() && !IsDirectory(existing)) {
        const std::string parent = GetParentOfPath(existing);
        if (parent.size() >= existing.size()) return std::string();
        existing = parent;
    }
    if (existing.empty()) return std::string();
    AddTrailingBackslash(existing);
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(WidePath(existing).c_str(), &available, nullptr, nullptr)) return std::string();
    if (available.QuadPart >= neededBytes) return std::string();
    wchar_t volume[MAX_PATH] = {};
    const std::string volumeName =
        GetVolumePathNameW(Widen(existing).c_str(), volume, MAX_PATH) ? Narrow(volume) : existing;
    return NotEnoughSpaceText(volumeName, neededBytes, available.QuadPart);
}
