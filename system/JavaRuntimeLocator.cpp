#include "system/JavaRuntimeLocator.h"

#include <vector>

#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/VersionText.h"

bool JavaRuntimeLocator::IsJavaRuntimeInstalled(double requiredVersion) const {
    RegistryKey root;
    if (root.open(HKEY_LOCAL_MACHINE, LoadResourceText(IDS_JAVA_RUNTIME_KEY)) != ERROR_SUCCESS)
        return false;
    std::string current;
    if (root.getString("CurrentVersion", current) != ERROR_SUCCESS) return false;
    return ParseVersionNumber(current) >= requiredVersion;
}

bool JavaRuntimeLocator::FindJavaRuntimeHome(double requiredVersion, std::string& home) const {
    const std::string rootPath = LoadResourceText(IDS_JAVA_RUNTIME_KEY);
    RegistryKey key;
    if (key.open(HKEY_LOCAL_MACHINE, rootPath) != ERROR_SUCCESS) return false;
    std::vector<std::string> versions;
    if (key.enumSubkeys(versions) != ERROR_SUCCESS) return false;

    double best = 0.0;
    std::string bestName;
    for (const std::string& name : versions) {
        double version = ParseVersionNumber(name);
        if (version > best) {  // strictly greater: the first of equals wins
            best = version;
            bestName = name;
        }
    }
    if (best < requiredVersion || bestName.empty()) return false;

    key.close();
    if (key.open(HKEY_LOCAL_MACHINE, rootPath + "\\" + bestName) != ERROR_SUCCESS) return false;
    if (key.getString("JavaHome", home) != ERROR_SUCCESS) return false;
    key.close();
    return true;
}
