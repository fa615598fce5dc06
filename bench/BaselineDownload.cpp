// Baseline: the plainest WinINet download, 64 KB reads written straight to
// a file. Prints the seconds it took, the bytes it got and its own peak
// working set, which shows what Wine itself takes.
//   BenchWinInetLoop.exe <url> <file>
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <vector>

#include "bench/Stopwatch.h"
#include "system/UniqueHandle.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: BenchWinInetLoop <url> <file>\n");
        return 2;
    }
    Stopwatch watch;
    UniqueInternetHandle session(InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueInternetHandle reply(InternetOpenUrlA(session.get(), argv[1], nullptr, 0,
                                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    UniqueFileHandle out(
        CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!reply || !out) {
        std::fprintf(stderr, "cannot start the download (error %lu)\n", GetLastError());
        return 1;
    }
    std::vector<char> buffer(64 * 1024);
    unsigned long long total = 0;
    for (;;) {
        DWORD read = 0, written = 0;
        if (!InternetReadFile(reply.get(), buffer.data(), DWORD(buffer.size()), &read)) return 1;
        if (read == 0) break;
        if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read) return 1;
        total += read;
    }
    out.reset();
    const double seconds = watch.seconds();
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("seconds %.4f\nbytes %llu\npeak-working-set-bytes %llu\n", seconds, total,
                static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return 0;
}
