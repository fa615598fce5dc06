// A stand-in Java runtime installer for the demo and the tests: it lays out a
// small runtime folder and registers it the way a Java runtime registers
// itself, so the installer's runtime check finds it. No window, no questions.
//
//   JavaRuntimeSetup.exe [version] [folder]
//   defaults: 1.5.0_22 and <Program Files>\Java\jre<version>
//
// The runtime's bin\javaw.exe is a copy of this program: started under that
// name it only appends its command line to the runtime's javaw.log, so a
// launched application leaves a trace of which runtime started it.
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

// Started as <home>\bin\javaw.exe: notes the command line in <home>\javaw.log.
bool RunAsJavaw() {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self, length);
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || lstrcmpiW(path.c_str() + slash + 1, L"javaw.exe") != 0) return false;
    const std::wstring bin = path.substr(0, slash);
    const std::wstring log = bin.substr(0, bin.rfind(L'\\') + 1) + L"javaw.log";
    UniqueFileHandle file(CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        const std::string line = std::string(GetCommandLineA()) + "\r\n";
        DWORD written = 0;
        WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (RunAsJavaw()) return 0;
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
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    CopyFileA(self, (home + "\\bin\\javaw.exe").c_str(), FALSE);
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
