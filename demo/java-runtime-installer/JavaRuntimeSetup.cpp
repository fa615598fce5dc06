// A stand-in Java runtime installer for the demo and the tests: it lays out a
// small runtime folder and registers it the way a Java runtime registers
// itself, so the installer's runtime check finds it. No window, no questions.
//
//   JavaRuntimeSetup.exe [version] [folder]
//   defaults: 1.5.0_22 and <Program Files>\Java\jre<version>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "system/RegistryKey.h"
#include "system/UniqueHandle.h"

namespace {

const char kRuntimeKey[] = "Software\\JavaSoft\\Java Runtime Environment";

bool SetString(const std::string& path, const char* name, const std::string& value) {
    RegistryKey key;
    return key.create(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS &&
           key.setString(name, value) == ERROR_SUCCESS;
}

std::string FamilyVersion(const std::string& version) {
    // "1.5.0_22" registers as current version "1.5".
    size_t first = version.find('.');
    size_t second = first == std::string::npos ? first : version.find('.', first + 1);
    return second == std::string::npos ? version : version.substr(0, second);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string version = __argc > 1 ? __argv[1] : "1.5.0_22";
    std::string home;
    if (__argc > 2) {
        home = __argv[2];
    } else {
        char programFiles[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
        home = std::string(programFiles) + "\\Java\\jre" + version;
    }
    SHCreateDirectoryExA(nullptr, (home + "\\bin").c_str(), nullptr);
    UniqueFileHandle marker(CreateFileA((home + "\\release").c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (marker) {
        std::string text = "JAVA_VERSION=\"" + version + "\"\r\n";
        DWORD written = 0;
        WriteFile(marker.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    const std::string runtimeKey = kRuntimeKey;
    bool ok = SetString(runtimeKey + "\\" + version, "JavaHome", home) &&
              SetString(runtimeKey + "\\" + FamilyVersion(version), "JavaHome", home) &&
              SetString(runtimeKey, "CurrentVersion", FamilyVersion(version));
    return ok ? 0 : 1;
}
