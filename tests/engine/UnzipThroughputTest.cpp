// Throughput of the unzip task on a large archive. Disabled in the normal
// run; tests/engine/measure_unzip.sh runs it with VYN_MEASURE_ARCHIVE set.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "engine/InstallTasks.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

TEST(UnzipThroughput, DISABLED_UnpackMeasureArchive) {
    const std::string archive = UnixToWindowsPath(EnvironmentText("VYN_MEASURE_ARCHIVE"));
    ASSERT_FALSE(EnvironmentText("VYN_MEASURE_ARCHIVE").empty());
    ScratchFolder home("measure");
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    ZipResult result = runUnzipTask(archive, home.path(), home.path(), true);
    QueryPerformanceCounter(&end);
    EXPECT_EQ(result, ZipOk);
    std::printf("unzip-task-seconds %.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
}
