#pragma once
// Room on the install volume: the downloads and the unpacked archives must
// fit before either starts, so a full disk fails at once with the numbers a
// user can act on, not halfway through with a write error.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "documents/CatalogRecords.h"
#include "engine/Placeholders.h"
#include "system/TextCase.h"

// The published sizes of the list's files, leaving out those `present`
// (bool(const FileRecord&)) says the updates folder already holds.
template <typename Present>
uint64_t BytesToDownload(const SoftwareList& list, Present present) {
    uint64_t total = 0;
    for (const auto& software : list)
        for (const auto& file : software->files)
            if (file->fileSize > 0 && !present(*file)) total += static_cast<uint64_t>(file->fileSize);
    return total;
}

// The unpacked sizes of the archives the list's install scripts unzip or
// extract from, each archive counted once; `unpackedBytes`
// (uint64_t(const std::string&)) measures one by its path, the placeholders
// expanded for homeDir.
template <typename Measure>
uint64_t BytesToUnpack(const SoftwareList& list, const std::string& homeDir, Measure unpackedBytes) {
    std::vector<std::string> counted;
    uint64_t total = 0;
    for (const auto& software : list) {
        for (const auto& file : software->files) {
            for (const auto& item : file->installData.items) {
                if (item->type != kInstallUnzip && item->type != kInstallExtractFile) continue;
                const std::string archive = ExpandPlaceholders(item->fileName, homeDir);
                const std::string key = AsciiUpperCase(archive);
                if (std::find(counted.begin(), counted.end(), key) != counted.end()) continue;
                counted.push_back(key);
                total += unpackedBytes(archive);
            }
        }
    }
    return total;
}

// "Not enough free space on C:\: 120 MB needed, 80 MB free." The need is
// rounded up and the room down, so the two never read the same.
std::string NotEnoughSpaceText(const std::string& volume, uint64_t neededBytes, uint64_t freeBytes);
// The failure text when the volume of `folder` (or of its nearest existing
// parent) has less than `neededBytes` free for this user; empty when it has
// room or its free space cannot be read.
std::string FreeSpaceFailure(const std::string& folder, uint64_t neededBytes);
