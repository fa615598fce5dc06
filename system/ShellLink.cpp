#include "system/ShellLink.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include "system/ComPtr.h"
#include "system/FileSystem.h"
#include "system/ShellItems.h"

namespace {

std::string LinkPath(const std::string& folder, const std::string& name) { return folder + "\\" + name + ".lnk"; }

}  // namespace

bool GetSpecialFolderPath(int specialFolder, std::string& path) {
    UniqueItemIdList items;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, specialFolder, items.put())) || !items) return false;
    char buffer[MAX_PATH] = {};
    SHGetPathFromIDListA(items.get(), buffer);
    path = buffer;
    return true;
}

bool CreateShellLink(const std::string& name, const std::string& target,
                     const std::string& subfolder, int specialFolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) {
        folder += "\\" + subfolder;
        CreateDirectoryA(folder.c_str(), nullptr);  // an existing one is fine
    }
    std::string linkPath = LinkPath(folder, name);

    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.putVoid())))
        return false;
    link->SetPath(target.c_str());

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid()))) return false;
    WCHAR widePath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
    return SUCCEEDED(file->Save(widePath, TRUE));
}

bool ShellLinkExists(const std::string& name, const std::string& subfolder, int specialFolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) folder += "\\" + subfolder;
    return GetFileAttributesA(LinkPath(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DeleteShellLink(const std::string& name, const std::string& subfolder, int specialFolder,
                     bool removeEmptySubfolder) {
    std::string folder;
    if (!GetSpecialFolderPath(specialFolder, folder)) return false;
    if (!subfolder.empty()) folder += "\\" + subfolder;
    std::string linkPath = LinkPath(folder, name);

    // A link that is not there cannot be deleted: that is a failure, however
    // the shell's file operation reports it.
    if (GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::string source = linkPath;
    source.push_back('\0');  // the list ends with two zeros; c_str() adds the second
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    if (SHFileOperationA(&operation) != 0 || operation.fAnyOperationsAborted) return false;
    if (GetFileAttributesA(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES) return false;

    const bool programsMenu = specialFolder == CSIDL_PROGRAMS || specialFolder == CSIDL_COMMON_PROGRAMS;
    if (removeEmptySubfolder && programsMenu && IsDirectoryEmpty(folder))
        RemoveDirectoryA(folder.c_str());
    return true;
}
