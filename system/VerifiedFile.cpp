#include "system/VerifiedFile.h"

#include <windows.h>

#include "system/Sha256.h"
#include "system/TextCase.h"
#include "system/WidePath.h"

UniqueFileHandle LockVerifiedFile(const std::string& path, const std::string& expectedSha256) {
    if (!IsSha256Text(expectedSha256)) return UniqueFileHandle();
    const std::wstring widePath = WidePath(path);
    UniqueFileHandle file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return UniqueFileHandle();
    const std::string digest = HandleSha256(file.get());
    if (digest.empty()) return UniqueFileHandle();
    if (!EqualsIgnoringCase(digest, expectedSha256)) {
        file.reset();
        DeleteFileW(widePath.c_str());
        return UniqueFileHandle();
    }
    return file;
}
