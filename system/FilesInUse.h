#pragma once
// Which files below a folder some program holds open, found before anything
// there is replaced or deleted. An exclusive open of every file decides which
// files are held; Restart Manager then names the programs holding them where
// the system has it.
#include <string>
#include <vector>

struct FilesInUse {
    std::vector<std::string> programs;  // names of the programs holding them, when known
    std::vector<std::string> files;     // full paths of the files held open

    bool empty() const { return files.empty(); }
};

// The files below `folder` (a missing folder has none) that any open handle
// holds, this process's own included, leaving out `excludedPaths` (the running
// program's file, the downloads the run holds itself), and the other
// programs that hold them. Links below the folder are not followed.
FilesInUse FindFilesInUse(const std::string& folder, const std::vector<std::string>& excludedPaths);
