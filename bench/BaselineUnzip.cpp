// Baseline: the plainest minizip extraction loop. Every member in archive
// order, folders made as the names need them, 64 KB reads written straight
// to the file; no attributes, no times, no checks beyond minizip's own.
// Prints the seconds it took and the members it wrote.
//   BenchMinizipLoop.exe <archive> <folder>
#include <windows.h>

#include <unzip.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/Stopwatch.h"
#include "system/UniqueHandle.h"

namespace {

void CreateParentFolders(const std::string& path) {
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: BenchMinizipLoop <archive> <folder>\n");
        return 2;
    }
    Stopwatch watch;
    unzFile zip = unzOpen64(argv[1]);
    if (!zip) return 1;
    const std::string root = std::string(argv[2]) + "\\";
    std::vector<char> buffer(64 * 1024);
    int members = 0;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[512];
        if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return 1;
        std::string path = root + name;
        for (char& c : path)
            if (c == '/') c = '\\';
        if (path.back() == '\\') {
            CreateParentFolders(path);
            continue;
        }
        if (unzOpenCurrentFile(zip) != UNZ_OK) return 1;
        UniqueFileHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!out) {
            CreateParentFolders(path);
            out.reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        if (!out) return 1;
        for (;;) {
            int count = unzReadCurrentFile(zip, buffer.data(), unsigned(buffer.size()));
            if (count < 0) return 1;
            if (count == 0) break;
            DWORD written = 0;
            if (!WriteFile(out.get(), buffer.data(), DWORD(count), &written, nullptr)) return 1;
        }
        if (unzCloseCurrentFile(zip) != UNZ_OK) return 1;
        ++members;
    }
    unzClose(zip);
    std::printf("seconds %.4f\nmembers %d\n", watch.seconds(), members);
    return 0;
}
