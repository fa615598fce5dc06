#pragma once
// A fresh folder below the temporary folder, removed with all it holds when
// the test ends.
#include <string>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag = "t");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Ends with a backslash.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Small file helpers for tests: UTF-8 paths of any script and length.
void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
bool PathExists(const std::string& path);
unsigned long PathAttributes(const std::string& path);  // INVALID_FILE_ATTRIBUTES when absent
bool MakeFolder(const std::string& path);
// Removes a tree without following links; for test cleanup only.
void RemoveTreeForTest(const std::string& path);
