#include "system/ShellLink.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "system/ComPtr.h"
#include "system/FileSystem.h"
#include "system/ShellItems.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

std::string LinkPath(const std::string& folder, const std::string& name) { return folder + "\\" + name + ".lnk"; }

bool Exists(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool GetSpecialFolderPath(int specialFolder, std::string& path) {
    UniqueItemIdList items;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, specialFolder, items.put())) || !items) return false;
    // The shell allocates the path in full, however long it is.
    wchar_t* fileSystemPath = nullptr;
    if (FAILED(SHGetNameFromIDList(items.get(), SIGDN_FILESYSPATH, &fileSystemPath)) || !fileSystemPath) return false;
    UniqueHandle<ShellMemoryTraits<wchar_t*>> owned(fileSystemPath);
    path = Narrow(owned.get());
    return true;
}

bool CreateShellLink(const std::string& name, const std::string& target,
                     const std::string& subfolder, int specialFolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) {
        folder += "\\" + subfolder;
        CreateDirectoryW(WidePath(folder).c_str(), nullptr);  // an existing one is fine
    }
    std::string linkPath = LinkPath(folder, name);

    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.putVoid())))
        return false;
    link->SetPath(Widen(target).c_str());

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid()))) return false;
    return SUCCEEDED(file->Save(Widen(linkPath).c_str(), TRUE));
}

bool ShellLinkExists(const std::string& name, const std::string& subfolder, int specialFolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) folder += "\\" + subfolder;
    return Exists(LinkPath(folder, name));
}

bool DeleteShellLink(const std::string& name, const std::string& subfolder, int specialFolder,
                     bool removeEmptySubfolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) folder += "\\" + subfolder;
    std::string linkPath = LinkPath(folder, name);

    // A link that is not there cannot be deleted: that is a failure, however
    // the shell's file operation reports it.
    if (!Exists(linkPath)) return false;
    std::wstring source = Widen(linkPath);
    source.push_back(L'\0');  // the list ends with two zeros; c_str() adds the second
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted) return false;
    if (Exists(linkPath)) return false;

    const bool programsMenu = specialFolder == CSIDL_PROGRAMS || specialFolder == CSIDL_COMMON_PROGRAMS;
    if (removeEmptySubfolder && programsMenu && IsDirectoryEmpty(folder))
        RemoveDirectoryW(WidePath(folder).c_str());
    return true;
}
