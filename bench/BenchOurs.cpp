// Our own code doing the benchmark's jobs, timed in-process.
//   BenchOurs.exe download <url> <file name> <folder\> <sha256>
//     the install's download path: ServiceQuery::retrieveLink with its
//     digest check, moving a WindowProgressBar over a real progress bar
//     control whose window lives on this program's main thread, as the
//     wizard's does.
//   BenchOurs.exe unzip <archive> <folder>
//     the install script's unzip task into an existing folder.
//   BenchOurs.exe hash <file>
//     the digest the download computes (CNG SHA-256) of a file read in the
//     download's blocks: what the digest alone costs.
// Prints the seconds it took ("seconds S") and what it did.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/Stopwatch.h"
#include "engine/InstallTasks.h"
#include "service/HttpRequest.h"
#include "service/ServiceQuery.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"
#include "wizard/WindowProgressBar.h"

namespace {

// The wizard's step bar is about this wide at 96 DPI.
const int kBarWidth = 420;

int Download(const std::string& url, const std::string& fileName, const std::string& folder,
             const std::string& sha256) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, kBarWidth, 16, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!bar) {
        std::fprintf(stderr, "cannot make the progress bar (error %lu)\n", GetLastError());
        return 1;
    }
    WindowProgressBar progress(bar);
    const DWORD mainThread = GetCurrentThreadId();
    int result = kQueryFailed;
    std::string error;

    Stopwatch watch;
    std::thread worker([&] {
        ServiceQuery query(url);
        result = query.retrieveLink(url, fileName, folder, &progress, sha256);
        error = query.lastError();
        PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    worker.join();
    const double seconds = watch.seconds();
    DestroyWindow(bar);
    if (result != kQueryFound) {
        std::fprintf(stderr, "download failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("seconds %.4f\nbar-messages %ld\n", seconds, progress.messagesSent());
    return 0;
}

int Unzip(const std::string& archive, const std::string& folder) {
    Stopwatch watch;
    const ZipResult result = runUnzipTask(archive, folder, folder, true);
    const double seconds = watch.seconds();
    if (result != ZipOk) {
        std::fprintf(stderr, "unzip failed: %d\n", int(result));
        return 1;
    }
    std::printf("seconds %.4f\n", seconds);
    return 0;
}

int Hash(const std::string& path) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    std::vector<char> block(ReplyBody::kBlockBytes);
    Stopwatch watch;
    Sha256 digest;
    DWORD read = 0;
    while (ReadFile(file.get(), block.data(), DWORD(block.size()), &read, nullptr) && read > 0)
        digest.update(block.data(), read);
    const std::string text = digest.finish();
    std::printf("seconds %.4f\nsha256 %s\n", watch.seconds(), text.c_str());
    return text.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string job = argc > 1 ? argv[1] : "";
    if (job == "download" && argc == 6) return Download(argv[2], argv[3], argv[4], argv[5]);
    if (job == "unzip" && argc == 4) return Unzip(argv[2], argv[3]);
    if (job == "hash" && argc == 3) return Hash(argv[2]);
    std::fprintf(stderr,
                 "usage: BenchOurs download <url> <file name> <folder\\> <sha256>\n"
                 "       BenchOurs unzip <archive> <folder>\n"
                 "       BenchOurs hash <file>\n");
    return 2;
}
