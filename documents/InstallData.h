#pragma once
// One file's install script: the tasks the service listed for it, in order.
#include <memory>
#include <string>
#include <vector>

enum InstallItemType {
    kInstallNone = -1,  // no command element seen: the task does nothing
    kInstallExecute = 0,
    kInstallExtractFile = 1,
    kInstallUnzip = 2,
    kInstallMove = 3,
    kInstallDelete = 4,
    kInstallModule = 5,
    kInstallClassPath = 6,
};

struct InstallData;

struct InstallItem {
    int type = kInstallNone;
    std::string value;
    std::string fileName;
    std::string src;
    std::string dest;
    std::string className;
    std::string parent;
    std::string confFile;
    bool overwrite = false;
    bool exWin = false;
    bool exUnix = false;
    InstallData* owner = nullptr;
};

struct InstallData {
    bool restart = false;
    int fileId = 0;
    std::vector<std::unique_ptr<InstallItem>> items;
};
