// The room an install needs on its volume: the sums, the text, and the
// volume's real free space.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "flow/FreeSpace.h"
#include "support/ScratchFolder.h"

namespace {

const uint64_t kMb = 1024 * 1024;

std::unique_ptr<SoftwareRecord> Software(const std::map<std::string, int>& fileSizes) {
    auto software = std::make_unique<SoftwareRecord>();
    for (const auto& entry : fileSizes) {
        auto file = std::make_unique<FileRecord>();
        file->fileName = entry.first;
        file->fileSize = entry.second;
        software->files.push_back(std::move(file));
    }
    return software;
}

void AddTask(FileRecord& file, int type, const std::string& fileName) {
    auto item = std::make_unique<InstallItem>();
    item->type = type;
    item->fileName = fileName;
    file.installData.items.push_back(std::move(item));
}

TEST(FreeSpace, TheTextRoundsTheNeedUpAndTheRoomDown) {
    const struct {
        uint64_t needed, available;
        const char* text;
    } cases[] = {
        {120 * kMb, 80 * kMb, "Not enough free space on C:\\: 120 MB needed, 80 MB free."},
        {80 * kMb + 1, 80 * kMb + kMb - 1, "Not enough free space on C:\\: 81 MB needed, 80 MB free."},
        {1, 0, "Not enough free space on C:\\: 1 MB needed, 0 MB free."},
        {5000 * 1024 * kMb, 3 * 1024 * kMb, "Not enough free space on C:\\: 5120000 MB needed, 3072 MB free."},
    };
    for (const auto& c : cases) EXPECT_EQ(NotEnoughSpaceText("C:\\", c.needed, c.available), c.text);
}

TEST(FreeSpace, DownloadsCountTheFilesNotPresentYet) {
    SoftwareList list;
    list.push_back(Software({{"app.zip", 3000}, {"app.jar", 500}}));
    list.push_back(Software({{"runtime.exe", 70000}, {"unknown-size.bin", 0}}));
    const struct {
        const char* present;  // the one file already there, or ""
        uint64_t bytes;
    } cases[] = {{"", 73500}, {"app.zip", 70500}, {"runtime.exe", 3500}, {"unknown-size.bin", 73500}};
    for (const auto& c : cases)
        EXPECT_EQ(BytesToDownload(list, [&](const FileRecord& file) { return file.fileName == c.present; }), c.bytes)
            << c.present;
    EXPECT_EQ(BytesToDownload(SoftwareList{}, [](const FileRecord&) { return false; }), 0u);
}

TEST(FreeSpace, UnpackingCountsEachArchiveOfTheScriptsOnce) {
    SoftwareList list;
    list.push_back(Software({{"a.zip", 1}, {"b.zip", 1}}));
    FileRecord& first = *list[0]->files[0];
    FileRecord& second = *list[0]->files[1];
    AddTask(first, kInstallUnzip, "{$DIR_UPDATES}a.zip");
    AddTask(first, kInstallDelete, "{$DIR_UPDATES}gone.zip");
    AddTask(first, kInstallExtractFile, "{$DIR_UPDATES}B.ZIP");
    AddTask(second, kInstallUnzip, "{$DIR_UPDATES}b.zip");  // the same archive, other letter case
    AddTask(second, kInstallExecute, "{$DIR_BIN}setup.exe");
    std::map<std::string, int> measured;
    const uint64_t total = BytesToUnpack(list, "C:\\Home\\", [&](const std::string& archive) -> uint64_t {
        ++measured[archive];
        return archive == "C:\\Home\\updates\\a.zip" ? 10 * kMb : 7 * kMb;
    });
    EXPECT_EQ(total, 17 * kMb);
    EXPECT_EQ(measured, (std::map<std::string, int>{{"C:\\Home\\updates\\B.ZIP", 1}, {"C:\\Home\\updates\\a.zip", 1}}));
}

TEST(FreeSpace, TheVolumeOfAFolderNotMadeYetIsAskedThroughItsParent) {
    ScratchFolder scratch("free-space");
    const std::string folder = scratch.path() + "not made\\yet\\";
    EXPECT_EQ(FreeSpaceFailure(folder, 0), "");
    EXPECT_EQ(FreeSpaceFailure(folder, 1024), "");
    // No volume has an exabyte free.
    const std::string text = FreeSpaceFailure(folder, 1ull << 60);
    EXPECT_EQ(text.rfind("Not enough free space on ", 0), 0u) << text;
    EXPECT_NE(text.find(":\\: 1099511627776 MB needed, "), std::string::npos) << text;
}

}  // namespace
