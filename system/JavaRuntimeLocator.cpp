#include "system/JavaRuntimeLocator.h"

#include <windows.h>

#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/VersionText.h"
#include "system/WidePath.h"

namespace {

// A runtime registers in the registry view of its own kind: both are read,
// this program's own first.
const REGSAM kRegistryViews[] = {sizeof(void*) == 8 ? REGSAM(KEY_WOW64_64KEY) : REGSAM(KEY_WOW64_32KEY),
                                 sizeof(void*) == 8 ? REGSAM(KEY_WOW64_32KEY) : REGSAM(KEY_WOW64_64KEY)};

// Keys with a subkey per version holding "JavaHome" (besides the resource's
// Java Runtime Environment key).
const char* const kClassicRoots[] = {"Software\\JavaSoft\\JRE", "Software\\JavaSoft\\JDK",
                                     "Software\\JavaSoft\\Java Development Kit"};
// Keys with <version>\<virtual machine>\MSI holding "Path".
const char* const kMsiRoots[] = {"Software\\Eclipse Adoptium\\JRE", "Software\\Eclipse Adoptium\\JDK",
                                 "Software\\AdoptOpenJDK\\JRE",     "Software\\AdoptOpenJDK\\JDK",
                                 "Software\\Semeru\\JRE",           "Software\\Semeru\\JDK",
                                 "Software\\Microsoft\\JDK"};
// Keys with a subkey per major version holding "InstallationPath".
const char* const kInstallationPathRoots[] = {"Software\\Azul Systems\\Zulu"};

std::vector<std::string> Subkeys(const std::string& path, REGSAM view) {
    RegistryKey key;
    std::vector<std::string> names;
    if (key.openForRead(HKEY_LOCAL_MACHINE, path, view) == ERROR_SUCCESS) key.enumSubkeys(names);
    return names;
}

std::string StringValue(const std::string& path, const char* name, REGSAM view) {
    RegistryKey key;
    std::string text;
    if (key.openForRead(HKEY_LOCAL_MACHINE, path, view) == ERROR_SUCCESS) key.getString(name, text);
    return text;
}

bool HoldsJavaw(std::string home) {
    if (home.empty()) return false;
    if (home.back() != '\\' && home.back() != '/') home += '\\';
    const DWORD attributes = GetFileAttributesW(WidePath(home + "bin\\javaw.exe").c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AddIfUsable(std::vector<JavaRuntime>& runtimes, const std::string& version, const std::string& home) {
    if (HoldsJavaw(home)) runtimes.push_back({version, home});
}

}  // namespace

std::vector<JavaRuntime> JavaRuntimeLocator::RegisteredRuntimes() const {
    std::vector<std::string> classicRoots = {LoadResourceText(IDS_JAVA_RUNTIME_KEY)};
    classicRoots.insert(classicRoots.end(), std::begin(kClassicRoots), std::end(kClassicRoots));
    std::vector<JavaRuntime> runtimes;
    for (REGSAM view : kRegistryViews) {
        for (const std::string& root : classicRoots)
            for (const std::string& version : Subkeys(root, view))
                AddIfUsable(runtimes, version, StringValue(root + "\\" + version, "JavaHome", view));
        for (const char* root : kMsiRoots)
            for (const std::string& version : Subkeys(root, view))
                for (const std::string& machine : Subkeys(std::string(root) + "\\" + version, view))
                    AddIfUsable(runtimes, version,
                                StringValue(std::string(root) + "\\" + version + "\\" + machine + "\\MSI", "Path", view));
        for (const char* root : kInstallationPathRoots)
            for (const std::string& version : Subkeys(root, view))
                AddIfUsable(runtimes, version, StringValue(std::string(root) + "\\" + version, "InstallationPath", view));
    }
    return runtimes;
}

bool JavaRuntimeLocator::FindJavaRuntimeHome(double requiredVersion, std::string& home) const {
    const JavaRuntime* best = nullptr;
    const std::vector<JavaRuntime> runtimes = RegisteredRuntimes();
    for (const JavaRuntime& runtime : runtimes) {
        if (!IsJavaVersionAtLeast(runtime.version, requiredVersion)) continue;
        // Strictly greater: of equal versions the first found wins.
        if (!best || CompareJavaVersions(runtime.version, best->version) > 0) best = &runtime;
    }
    if (!best) return false;
    home = best->home;
    return true;
}

bool JavaRuntimeLocator::IsJavaRuntimeInstalled(double requiredVersion) const {
    std::string home;
    return FindJavaRuntimeHome(requiredVersion, home);
}
