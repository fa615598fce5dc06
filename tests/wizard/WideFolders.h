#pragma once
// Folders made through the wide functions, so their names may lie outside
// any ANSI code page. The owner removes them, deepest first, even after a
// failed check, and before the scratch folder holding them goes.
#include <windows.h>

#include <string>
#include <vector>

#include "system/Utf8.h"

class WideFolders {
public:
    // `folders` are UTF-8 paths below `root`, each listed after its parent.
    WideFolders(const std::string& root, const std::vector<std::string>& folders) {
        for (const std::string& folder : folders) {
            std::wstring path = Widen(root + folder);
            if (!CreateDirectoryW(path.c_str(), nullptr)) return;
            made_.push_back(path);
        }
        allMade_ = true;
    }
    ~WideFolders() {
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) RemoveDirectoryW(folder->c_str());
    }
    WideFolders(const WideFolders&) = delete;
    WideFolders& operator=(const WideFolders&) = delete;

    bool allMade() const { return allMade_; }

private:
    std::vector<std::wstring> made_;
    bool allMade_ = false;
};
