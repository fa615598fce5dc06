#include "system/JavaRuntimeLocator.h"

#include <vector>

#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/VersionText.h"

namespace {

// A runtime registers in the registry view of its own kind: both are read,
// this program's own first.
const REGSAM kRegistryViews[] = {sizeof(void*) == 8 ? REGSAM(KEY_WOW64_64KEY) : REGSAM(KEY_WOW64_32KEY),
                                 sizeof(void*) == 8 ? REGSAM(KEY_WOW64_32KEY) : REGSAM(KEY_WOW64_64KEY)};

}  // namespace

bool JavaRuntimeLocator::IsJavaRuntimeInstalled(double requiredVersion) const {
    const std::string rootPath = LoadResourceText(IDS_JAVA_RUNTIME_KEY);
    for (REGSAM view : kRegistryViews) {
        RegistryKey root;
        std::string current;
        if (root.openForRead(HKEY_LOCAL_MACHINE, rootPath, view) == ERROR_SUCCESS &&
            root.getString("CurrentVersion", current) == ERROR_SUCCESS && IsVersionAtLeast(current, requiredVersion))
            return true;
    }
    return false;
}

bool JavaRuntimeLocator::FindJavaRuntimeHome(double requiredVersion, std::string& home) const {
    const std::string rootPath = LoadResourceText(IDS_JAVA_RUNTIME_KEY);
    std::string bestName;  // no digits: reads as 0, and never wins
    REGSAM bestView = 0;
    for (REGSAM view : kRegistryViews) {
        RegistryKey key;
        std::vector<std::string> versions;
        if (key.openForRead(HKEY_LOCAL_MACHINE, rootPath, view) != ERROR_SUCCESS ||
            key.enumSubkeys(versions) != ERROR_SUCCESS)
            continue;
        for (const std::string& name : versions) {
            if (CompareVersionTexts(name, bestName) > 0) {  // strictly greater: the first of equals wins
                bestName = name;
                bestView = view;
            }
        }
    }
    if (bestName.empty() || !IsVersionAtLeast(bestName, requiredVersion)) return false;

    RegistryKey key;
    if (key.openForRead(HKEY_LOCAL_MACHINE, rootPath + "\\" + bestName, bestView) != ERROR_SUCCESS) return false;
    return key.getString("JavaHome", home) == ERROR_SUCCESS;
}
