// Install scripts carried out end to end on a scratch home folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "engine/InstallJournal.h"
#include "engine/InstallScript.h"
#include "engine/InstallTasks.h"
#include "engine/LauncherScript.h"
#include "support/DirectoryLink.h"
#include "support/ProcessRunner.h"
#include "support/ScratchFolder.h"
#include "system/FileSystem.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"

namespace {

struct Task {
    int type;
    std::string fileName, src, dest, confFile;
    bool overwrite = false;
};

InstallItem& Add(InstallData& data, const Task& task) {
    data.items.push_back(std::make_unique<InstallItem>());
    InstallItem& item = *data.items.back();
    item.type = task.type;
    item.fileName = task.fileName;
    item.src = task.src;
    item.dest = task.dest;
    item.confFile = task.confFile;
    item.overwrite = task.overwrite;
    item.owner = &data;
    return item;
}

std::string CurrentDirectory() {
    char path[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, path);
    return path;
}

class InstallScript : public testing::Test {
protected:
    ScratchFolder scratch{"script"};
    std::string home = scratch.path();

    InstallScriptResult runAny(InstallData& data) { return runInstallScript(data, home, "C:\\Java"); }
    void run(InstallData& data) { EXPECT_TRUE(runAny(data).succeeded()); }
    InstallScriptResult unzip(const char* archive, const std::string& dest, bool overwrite) {
        InstallData data;
        Add(data, {kInstallUnzip, ArchivePath(archive), "", dest, "", overwrite});
        return runAny(data);
    }
    std::string text(const std::string& relative) const { return ReadTextFile(home + relative); }
};

}  // namespace

TEST_F(InstallScript, EmptyScriptDoesNothingAndEachItemGetsItsFoldersAndExpansions) {
    InstallData empty;
    run(empty);
    EXPECT_FALSE(PathExists(home + "lib"));

    InstallData data;
    InstallItem& module = Add(data, {kInstallModule, "{$DIR_LIB}/a.jar", "{$DIR_UPDATES}x/y.zip", "{$DIR_HOME}",
                                     "{$DIR_BIN}QuillmarApp"});
    Add(data, {kInstallNone, "{$DIR_CONF}a", "", "", ""});
    Add(data, {42, "{$DIR_BIN}b", "", "", ""});
    run(data);
    for (const char* folder : {"conf", "lib", "updates", "bin"})
        EXPECT_TRUE(GetFileAttributesA((home + folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY) << folder;
    EXPECT_EQ(module.fileName, home + "lib\\\\a.jar");
    EXPECT_EQ(module.src, home + "updates\\x\\y.zip");
    EXPECT_EQ(module.dest, home);
    EXPECT_EQ(module.confFile, home + "bin\\QuillmarApp");
    EXPECT_EQ(data.items[1]->fileName, home + "conf\\a");
    EXPECT_EQ(data.items[2]->fileName, home + "bin\\b");
}

TEST_F(InstallScript, UnzipOverAnInstallationKeepsConfigurationAndLaunchers) {
    const std::string before = CurrentDirectory();
    EXPECT_TRUE(unzip("app1.zip", "{$DIR_HOME}", true).succeeded());
    EXPECT_EQ(CurrentDirectory(), before);
    EXPECT_EQ(text("app\\conf\\settings.xml"), "app/conf/settings.xml version 1\n");
    EXPECT_EQ(text("app\\bin\\QuillmarApp.bat"), "app/bin/QuillmarApp.bat version 1\n");

    // Reinstall with overwrite: protected members stay, the rest is replaced,
    // and new members arrive.
    EXPECT_TRUE(unzip("app2.zip", "", true).succeeded());
    const struct {
        const char* path;
        int version;
    } expected[] = {
        {"app\\conf\\settings.xml", 1}, {"app\\bin\\QuillmarApp.bat", 1}, {"app\\bin\\QuillmarApp.sh", 1},
        {"app\\lib\\core.jar", 2},      {"conf\\app.xml", 2},             {"app\\conf\\readme.txt", 2},
        {"app\\conf\\added.xml", 2},
    };
    for (const auto& e : expected) {
        std::string name = e.path;
        for (char& c : name)
            if (c == '\\') c = '/';
        EXPECT_EQ(text(e.path), name + " version " + std::to_string(e.version) + "\n") << e.path;
    }
}

TEST_F(InstallScript, UnzipWithoutOverwriteOnlyAddsAndChecksExistenceBelowHome) {
    EXPECT_TRUE(unzip("app1.zip", "{$DIR_HOME}", false).succeeded());

    // Another destination: what exists below home is still skipped there.
    InstallScriptResult missing = unzip("app2.zip", "{$DIR_HOME}other", true);  // missing folder: nothing at all
    EXPECT_EQ(missing.failedItem, 0);
    EXPECT_EQ(missing.failedFile, ArchivePath("app2.zip"));
    EXPECT_EQ(missing.reason, "Couldn't create/open file");
    EXPECT_FALSE(PathExists(home + "other"));
    CreateDirectoryA((home + "other").c_str(), nullptr);
    EXPECT_TRUE(unzip("app2.zip", "{$DIR_HOME}other", false).succeeded());
    EXPECT_FALSE(PathExists(home + "other\\app\\lib\\core.jar"));
    EXPECT_EQ(text("other\\app\\conf\\added.xml"), "app/conf/added.xml version 2\n");

    EXPECT_TRUE(unzip("app2.zip", "{$DIR_HOME}", false).succeeded());
    EXPECT_EQ(text("app\\lib\\core.jar"), "app/lib/core.jar version 1\n");
    EXPECT_EQ(text("conf\\app.xml"), "conf/app.xml version 1\n");
    EXPECT_EQ(text("app\\conf\\added.xml"), "app/conf/added.xml version 2\n");
}

// Names install as the archive means them: UTF-8 when flagged, code page 437
// when not. The JDK's jar tool records no attributes at all: its folders are
// still folders and its files stay writable.
TEST_F(InstallScript, UnzipWritesNonLatinNamesAndArchivesPackedByJar) {
    for (const char* archive : {"utf8.zip", "cp437.zip", "java.zip"})
        EXPECT_TRUE(unzip(archive, "", true).succeeded()) << archive;
    const struct {
        std::string path;
        const char* content;
    } files[] = {
        {"\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\\\xE5\x8D\x83.txt", "cyrillic and cjk\n"},
        {"conf\\caf\xC3\xA9-\xC3\xB6-\xC3\x9F.txt", "code page 437 name\n"},
        {"conf\\na\xC3\xAFve-caf\xC3\xA9.txt", "packed by jar\n"},  // utf8.zip's, replaced
        {"lib\\app.jar", "application library\n"},
    };
    for (const auto& f : files) EXPECT_EQ(ReadTextFile(home + f.path), f.content) << f.path;
    EXPECT_TRUE(PathAttributes(home + "bin") & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(PathAttributes(home + "bin\\QuillmarApp.bat") & FILE_ATTRIBUTE_READONLY, 0u);

    // A name flagged as UTF-8 that is not: nothing of that archive is written.
    EXPECT_EQ(unzip("badutf8.zip", "", true).reason, "Zipfile is corrupt or not a zipfile");
    EXPECT_EQ(PathAttributes(home + "good.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallScript, TreesDeeperThan260CharactersInstallAndAreDeleted) {
    std::string deep = home;
    for (int level = 0; level < 5; ++level) deep += "level" + std::to_string(level) + "-" + std::string(52, 'd') + "\\";
    const std::string file = deep + "deep.txt";
    ASSERT_GT(file.size(), 260u + 60u) << file;

    ASSERT_TRUE(unzip("deep.zip", "", true).succeeded());
    EXPECT_EQ(ReadTextFile(file), "far below\n");
    const std::string top = deep.substr(0, home.size() + 59);
    EXPECT_TRUE(DeleteDirectoryTree(top));
    EXPECT_EQ(PathAttributes(top), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(PathAttributes(home), INVALID_FILE_ATTRIBUTES);
}

TEST_F(InstallScript, UnzipNeverWritesOutsideItsFolder) {
    const std::string inner = home + "inner\\";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    EXPECT_EQ(runUnzipTask(ArchivePath("evil.zip"), inner, home, true), ZipNoFile);
    EXPECT_EQ(ReadTextFile(inner + "good\\ok.txt"), "payload of good/ok.txt\n");
    for (const std::string& outside :
         {home + "escape.txt", home + "climb.txt", home + "back.txt", home + "evildir", inner + "sub",
          std::string("C:\\drive.txt"), std::string("C:\\rooted.txt"), inner + "C:"})
        EXPECT_FALSE(PathExists(outside)) << outside;
}

// A link planted below home would lead the writes, moves and deletes of an
// administrator wherever it points: each task names it and fails, and
// nothing behind it changes.
TEST_F(InstallScript, TasksRefuseALinkBelowHomeAndChangeNothingBehindIt) {
    ScratchFolder outside{"behind"};
    WriteTextFile(outside.path() + "keep.txt", "theirs");
    ASSERT_NE(MakeDirectoryLink(home + "app", outside.path().substr(0, outside.path().size() - 1)),
              DirectoryLinkKind::None);
    const Task tasks[] = {
        {kInstallUnzip, ArchivePath("app1.zip"), "", "", ""},
        {kInstallExtractFile, ArchivePath("app1.zip"), "conf/app.xml", "{$DIR_HOME}app\\conf\\a.xml", "", true},
        {kInstallMove, "", "{$DIR_HOME}conf\\app.xml", "{$DIR_HOME}app\\moved.xml", "", true},
        {kInstallDelete, "{$DIR_HOME}app\\keep.txt", "", "", ""},
    };
    for (const Task& task : tasks) {
        SCOPED_TRACE(task.type);
        InstallData data;
        Add(data, task);
        const InstallScriptResult result = runAny(data);
        EXPECT_FALSE(result.succeeded());
        EXPECT_NE(result.describe().find("the path " + home + "app is a junction or symbolic link"), std::string::npos)
            << result.describe();
    }
    EXPECT_EQ(ReadTextFile(outside.path() + "keep.txt"), "theirs");
    for (const char* written : {"conf", "bin", "lib", "moved.xml"})
        EXPECT_FALSE(PathExists(outside.path() + written)) << written;
}

// A folder put back by a rollback below a link planted since is left alone:
// the line fails, named, and the link's target keeps its file.
TEST(InstallJournal, RollbackNeverGoesThroughALinkPlantedSince) {
    ScratchFolder scratch{"journal"};
    const std::string home = scratch.path() + "home\\", rollback = scratch.path() + "rollback";
    ASSERT_TRUE(CreateDirectoryPath(home + "data"));
    InstallJournal journal;
    ASSERT_TRUE(journal.begin(rollback, home));
    ASSERT_TRUE(journal.recordWrite(home + "data\\new.txt"));
    WriteTextFile(home + "data\\new.txt", "ours");
    ASSERT_TRUE(DeleteDirectoryTree(home + "data"));
    const std::string outside = scratch.path() + "outside";
    ASSERT_TRUE(CreateDirectoryPath(outside));
    WriteTextFile(outside + "\\new.txt", "theirs");
    ASSERT_NE(MakeDirectoryLink(home + "data", outside), DirectoryLinkKind::None);
    const JournalRollback undone = journal.rollBack();
    EXPECT_FALSE(undone.complete);
    EXPECT_EQ(undone.firstFailure, home + "data");
    EXPECT_EQ(ReadTextFile(outside + "\\new.txt"), "theirs");
}

TEST_F(InstallScript, ExtractFileFindsMembersIgnoringCaseAndRespectsOverwrite) {
    InstallData data;
    Add(data, {kInstallExtractFile, ArchivePath("basic.zip"), "LIB/A.JAR", "{$DIR_LIB}a.jar", "", false});
    // The slash of a nested member turns into a backslash on expansion.
    Add(data, {kInstallExtractFile, ArchivePath("basic.zip"), "lib/ext/deep/b.jar", "{$DIR_LIB}b.jar", "", false});
    run(data);
    EXPECT_EQ(text("lib\\a.jar"), ReadTextFile(ArchivePath("basic-src/lib/a.jar")));
    EXPECT_EQ(text("lib\\b.jar"), ReadTextFile(ArchivePath("basic-src/lib/ext/deep/b.jar")));

    const std::string dest = home + "lib\\a.jar";
    WriteTextFile(dest, "local");
    EXPECT_EQ(runExtractFileTask(ArchivePath("basic.zip"), "lib\\a.jar", dest, false), ZipOk);
    EXPECT_EQ(ReadTextFile(dest), "local");
    EXPECT_EQ(runExtractFileTask(ArchivePath("basic.zip"), "lib\\missing.jar", dest, true), ZipNotFound);
    EXPECT_EQ(runExtractFileTask(ArchivePath("no-such.zip"), "lib\\a.jar", dest, true), ZipNoFile);
    EXPECT_EQ(runExtractFileTask(ArchivePath("notzip.zip"), "lib\\a.jar", dest, true), ZipCorrupt);
    EXPECT_EQ(ReadTextFile(dest), "local");
    EXPECT_EQ(runExtractFileTask(ArchivePath("basic.zip"), "lib\\a.jar", dest, true), ZipOk);
    EXPECT_EQ(ReadTextFile(dest).size(), 16384u);
}

TEST_F(InstallScript, MoveCopiesInBlocksAndDeletesTheSourceOnlyAfterAFullCopy) {
    std::string content;
    for (int i = 0; i < 5000; ++i) content += static_cast<char>(i * 31 % 251);  // not a block multiple
    InstallData data;
    Add(data, {kInstallMove, "", "{$DIR_UPDATES}new.jar", "{$DIR_LIB}new.jar", "", true});
    CreateDirectoryA((home + "updates").c_str(), nullptr);
    WriteTextFile(home + "updates\\new.jar", content);
    run(data);
    EXPECT_EQ(text("lib\\new.jar"), content);
    EXPECT_FALSE(PathExists(home + "updates\\new.jar"));

    const std::string src = home + "src.bin", dest = home + "dest.bin";
    WriteTextFile(src, "source");
    WriteTextFile(dest, "kept");
    EXPECT_TRUE(runMoveTask(src, dest, false));  // dest exists: nothing to do
    EXPECT_EQ(ReadTextFile(dest), "kept");
    EXPECT_EQ(ReadTextFile(src), "source");

    EXPECT_FALSE(runMoveTask(home + "missing.bin", dest, true));
    EXPECT_EQ(ReadTextFile(dest), "kept");

    // The same file as source and target must not be emptied.
    EXPECT_FALSE(runMoveTask(src, src, true));
    EXPECT_EQ(ReadTextFile(src), "source");

    // A target that cannot be written (here a folder) keeps the source.
    const std::string folder = home + "folder";
    CreateDirectoryA(folder.c_str(), nullptr);
    EXPECT_FALSE(runMoveTask(src, folder, true));
    EXPECT_EQ(ReadTextFile(src), "source");
    EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

// The first failed task ends the script and is described; no later task runs.
TEST_F(InstallScript, DeleteRemovesFilesOnlyAndAFailureEndsTheScript) {
    WriteTextFile(home + "old.jar", "x");
    CreateDirectoryA((home + "folder").c_str(), nullptr);
    InstallData data;
    Add(data, {kInstallDelete, "{$DIR_HOME}never.jar", "", "", ""});
    Add(data, {kInstallDelete, "{$DIR_HOME}folder", "", "", ""});
    Add(data, {kInstallDelete, "{$DIR_HOME}old.jar", "", "", ""});
    InstallScriptResult result = runAny(data);
    EXPECT_EQ(result.failedItem, 1);
    EXPECT_EQ(result.describe(), "The install task delete failed on " + home + "folder");
    EXPECT_TRUE(PathExists(home + "folder"));
    EXPECT_TRUE(PathExists(home + "old.jar"));
}

TEST_F(InstallScript, DamagedArchiveFailsWithTheZipLayersText) {
    InstallScriptResult result = unzip("damaged.zip", "{$DIR_HOME}", true);
    EXPECT_EQ(result.describe(),
              "The install task unzip failed on " + ArchivePath("damaged.zip") + ": Error writing to file");
}

// A downloaded archive is unpacked only while held as verified: the zip
// reader still reads it then, and one the guard refuses is not touched.
TEST_F(InstallScript, ArchivesAreUnpackedOnlyThroughTheDownloadGuard) {
    std::vector<std::string> guarded;
    const DownloadGuard verify = [&guarded](const std::string& path, DownloadUse use, UniqueFileHandle& hold,
                                            std::string& reason) {
        guarded.push_back((use == DownloadUse::Read ? "read " : use == DownloadUse::Change ? "change " : "start ") +
                          path);
        if (use == DownloadUse::Change) return true;
        hold = LockVerifiedFile(path, FileSha256(path));
        reason = "not verified";
        return hold.valid();
    };
    InstallData data;
    Add(data, {kInstallUnzip, ArchivePath("app1.zip"), "", "{$DIR_HOME}", "", true});
    Add(data, {kInstallMove, "", "{$DIR_HOME}app\\lib\\core.jar", "{$DIR_HOME}core.jar", "", true});
    EXPECT_TRUE(runInstallScript(data, home, "C:\\Java", {}, nullptr, verify).succeeded());
    EXPECT_EQ(guarded, (std::vector<std::string>{"read " + ArchivePath("app1.zip"), "change " + home + "app\\lib\\core.jar",
                                                 "change " + home + "core.jar"}));
    EXPECT_TRUE(PathExists(home + "core.jar"));

    const DownloadGuard refuse = [](const std::string&, DownloadUse, UniqueFileHandle&, std::string& reason) {
        reason = "its digest does not match";
        return false;
    };
    InstallData refused;
    Add(refused, {kInstallUnzip, ArchivePath("app2.zip"), "", "{$DIR_HOME}", "", true});
    const InstallScriptResult result = runInstallScript(refused, home, "C:\\Java", {}, nullptr, refuse);
    EXPECT_EQ(result.describe(),
              "The install task unzip failed on " + ArchivePath("app2.zip") + ": its digest does not match");
    EXPECT_FALSE(PathExists(home + "app\\conf\\added.xml")) << "nothing of app2.zip unpacked";
}

TEST_F(InstallScript, PathsOutsideTheApplicationFolderAreRefused) {
    const std::string outside = home + "..\\outside.txt";
    WriteTextFile(outside, "keep");
    WriteTextFile(home + "inside.txt", "x");
    const Task tasks[] = {
        {kInstallDelete, "{$DIR_LIB}..\\..\\outside.txt", "", "", ""},
        {kInstallMove, "", "{$DIR_HOME}inside.txt", "{$DIR_HOME}../outside.txt", "", true},
        {kInstallMove, "", outside, "{$DIR_HOME}stolen.txt", "", true},
        {kInstallExtractFile, ArchivePath("basic.zip"), "readme.txt", outside, "", true},
        {kInstallUnzip, "{$DIR_UPDATES}app1.zip", "", "{$DIR_HOME}..", "", true},
        {kInstallExecute, "C:\\windows\\system32\\cmd.exe echo", "", "", ""},
        {kInstallExecute, "cmd.exe echo", "", "", ""},
        {kInstallClassPath, "{$DIR_LIB}a.jar", "", "", "{$DIR_HOME}QuillmarApp"},
    };
    for (const Task& task : tasks) {
        InstallData data;
        Add(data, task);
        InstallScriptResult result = runAny(data);
        EXPECT_EQ(result.failedItem, 0) << task.type << " " << task.fileName << task.src << task.dest;
        EXPECT_EQ(result.reason, "the path lies outside the application folder") << result.failedFile;
    }
    EXPECT_EQ(ReadTextFile(outside), "keep");
    EXPECT_EQ(ReadTextFile(home + "inside.txt"), "x");
    EXPECT_FALSE(PathExists(home + "stolen.txt"));
    DeleteFileA(outside.c_str());
}

// Names Windows would read as another file (a device, a trimmed ending, a
// stream, a raw prefix) fail the task before it touches anything.
TEST_F(InstallScript, NamesWindowsWouldNotTakeAsWrittenAreRefused) {
    WriteTextFile(home + "keep.txt", "keep");
    const struct {
        Task task;
        std::string refused;
    } cases[] = {
        {{kInstallDelete, "{$DIR_HOME}keep.txt.", "", "", ""}, home + "keep.txt."},
        {{kInstallDelete, "{$DIR_HOME}keep.txt:$DATA", "", "", ""}, home + "keep.txt:$DATA"},
        {{kInstallMove, "", "{$DIR_HOME}keep.txt", "{$DIR_HOME}moved.txt ", "", true}, home + "moved.txt "},
        {{kInstallMove, "", "{$DIR_HOME}keep.txt", "{$DIR_LIB}nul.txt", "", true}, home + "lib\\nul.txt"},
        {{kInstallMove, "", "{$DIR_HOME}keep.txt", "\\\\?\\" + home + "moved.txt", "", true},
         "\\\\?\\" + home + "moved.txt"},
        {{kInstallExtractFile, ArchivePath("basic.zip"), "readme.txt", "{$DIR_HOME}Aux.jar", "", true},
         home + "Aux.jar"},
        {{kInstallUnzip, ArchivePath("basic.zip"), "", "{$DIR_HOME}lib.", "", true}, home + "lib."},
        {{kInstallExecute, "{$DIR_BIN}com1.exe", "", "", ""}, home + "bin\\com1.exe"},
        {{kInstallClassPath, "{$DIR_LIB}a.jar:x", "", "", "{$DIR_BIN}QuillmarApp"}, home + "lib\\a.jar:x"},
    };
    for (const auto& c : cases) {
        InstallData data;
        Add(data, c.task);
        InstallScriptResult result = runAny(data);
        EXPECT_EQ(result.failedItem, 0) << c.refused;
        EXPECT_EQ(result.failedFile, c.refused);
        EXPECT_EQ(result.reason, "the name is not allowed") << c.refused;
    }
    EXPECT_EQ(text("keep.txt"), "keep");
    for (const char* made : {"moved.txt", "lib\\readme.txt"}) EXPECT_FALSE(PathExists(home + made)) << made;

    // An archive's members so named are never written; the rest are.
    const std::string inner = home + "inner\\";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    EXPECT_EQ(runUnzipTask(ArchivePath("devices.zip"), inner, home, true), ZipNoFile);
    EXPECT_EQ(ReadTextFile(inner + "good.txt"), "payload of good.txt\n");
    for (const char* made : {"lib", "trail.txt", "conf"}) EXPECT_FALSE(PathExists(inner + made)) << made;
}

// A library whose batch entry holds a character cmd.exe acts on is refused:
// neither launcher changes.
TEST_F(InstallScript, ClassPathRefusesALibraryTheBatchFileWouldRunAsACommand) {
    CreateDirectoryA((home + "bin").c_str(), nullptr);
    const std::string batch = "set CLASSPATH=..\\lib\\app.jar\r\n", shell = "CLASSPATH=lib/app.jar\r\n";
    WriteTextFile(home + "bin\\QuillmarApp.bat", batch);
    WriteTextFile(home + "bin\\QuillmarApp.sh", shell);
    for (const char* library : {"{$DIR_LIB}a&calc.jar", "{$DIR_LIB}100%.jar", "{$DIR_LIB}a^b.jar", "{$DIR_LIB}a|b.jar",
                                "{$DIR_LIB}a>b.jar", "{$DIR_LIB}a<b.jar", "{$DIR_LIB}a\"b.jar"}) {
        InstallData data;
        Add(data, {kInstallClassPath, library, "", "", "{$DIR_BIN}QuillmarApp"});
        InstallScriptResult result = runAny(data);
        EXPECT_EQ(result.failedItem, 0) << library;
        EXPECT_EQ(result.failedFile, home + "lib\\" + std::string(library).substr(10)) << library;
        EXPECT_EQ(result.reason, "the library path holds a character the batch file would read as a command");
    }
    EXPECT_EQ(text("bin\\QuillmarApp.bat"), batch);
    EXPECT_EQ(text("bin\\QuillmarApp.sh"), shell);
}

// Members of an archive made on Windows come out read-only; reinstalling,
// editing the launcher, moving over and deleting them must still work.
TEST_F(InstallScript, ReadOnlyFilesOfOursCanBeReplacedEditedAndDeleted) {
    EXPECT_TRUE(unzip("windows.zip", "", true).succeeded());
    EXPECT_TRUE(GetFileAttributesA((home + "lib\\app.jar").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(unzip("windows.zip", "", true).succeeded());
    WriteTextFile(home + "updates\\new.jar", "new");
    InstallData data;
    Add(data, {kInstallClassPath, "{$DIR_LIB}extra.jar", "", "", "{$DIR_BIN}QuillmarApp"});
    Add(data, {kInstallMove, "", "{$DIR_UPDATES}new.jar", "{$DIR_LIB}app.jar", "", true});
    Add(data, {kInstallExtractFile, ArchivePath("windows.zip"), "lib/app.jar", "{$DIR_LIB}copy.jar", "", true});
    Add(data, {kInstallDelete, "{$DIR_LIB}copy.jar", "", "", ""});
    run(data);
    EXPECT_EQ(text("bin\\QuillmarApp.bat"), "set JAVA_PATH=\"C:\\Java\"\r\nset CLASSPATH=..\\lib\\extra.jar;..\\lib\\app.jar\r\n");
    EXPECT_EQ(text("lib\\app.jar"), "new");
    EXPECT_FALSE(PathExists(home + "lib\\copy.jar"));
}

TEST_F(InstallScript, StopRequestEndsTheScriptBetweenTasks) {
    InstallData data;
    Add(data, {kInstallDelete, "{$DIR_HOME}a.txt", "", "", ""});
    Add(data, {kInstallDelete, "{$DIR_HOME}b.txt", "", "", ""});
    WriteTextFile(home + "a.txt", "a");
    WriteTextFile(home + "b.txt", "b");
    int asked = 0;
    InstallScriptResult result = runInstallScript(data, home, "C:\\Java", [&asked] { return ++asked > 1; });
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.succeeded());
    EXPECT_FALSE(PathExists(home + "a.txt"));
    EXPECT_TRUE(PathExists(home + "b.txt"));
}

TEST_F(InstallScript, ClassPathTaskEditsBothLaunchersAndFillsTheJavaLine) {
    CreateDirectoryA((home + "bin").c_str(), nullptr);
    const std::string java = home + "jre";
    CreateDirectoryA(java.c_str(), nullptr);
    WriteTextFile(home + "bin\\QuillmarApp.bat", "set JAVA_PATH=\"\"\nset CLASSPATH=..\\lib\\app.jar\n");
    WriteTextFile(home + "bin\\QuillmarApp.sh", "CLASSPATH=lib/app.jar\n");
    for (int round = 0; round < 2; ++round) {
        InstallData data;
        Add(data, {kInstallClassPath, "{$DIR_LIB}/extra.jar", "", "", "{$DIR_BIN}QuillmarApp"});
        EXPECT_TRUE(runInstallScript(data, home, java).succeeded());
    }
    EXPECT_EQ(text("bin\\QuillmarApp.bat"),
              "set JAVA_PATH=\"" + ShortJavaFolder(java) + "\"\r\nset CLASSPATH=..\\lib\\extra.jar;..\\lib\\app.jar\r\n");
    EXPECT_EQ(text("bin\\QuillmarApp.sh"), "CLASSPATH=lib/extra.jar:lib/app.jar\r\n");

    // A library the batch file cannot name: the task fails and says which.
    InstallData data;
    Add(data, {kInstallClassPath, "{$DIR_LIB}\xD0\xAF.jar", "", "", "{$DIR_BIN}QuillmarApp"});
    InstallScriptResult result = runInstallScript(data, home, java);
    EXPECT_EQ(result.describe(), "The install task classPath failed on " + home + "bin\\QuillmarApp.bat: the path " +
                                     home + "lib\\\xD0\xAF.jar has no name the console's code page can hold");
}

TEST_F(InstallScript, ExecuteOpensTheProgramWithItsParametersInItsFolder) {
    const std::string tools = home + "my tools\\";
    ASSERT_TRUE(CreateDirectoryA(tools.c_str(), nullptr));
    // Records its arguments in the current directory, which must be its own.
    WriteTextFile(tools + "record.bat", "@echo off\r\necho %*> args.txt\r\n");
    InstallData data;
    Add(data, {kInstallExecute, "{$DIR_HOME}my tools/record.bat -register now", "", "", ""});
    // The script hands back the started program, so its work can be waited for.
    InstallScriptResult result = runAny(data);
    ASSERT_TRUE(result.succeeded());
    ASSERT_EQ(result.startedPrograms.size(), 1u);
    // The path is kept beside the process, so a caller can judge the program's exit code.
    EXPECT_EQ(result.startedPrograms[0].path, home + "my tools\\record.bat");
    ASSERT_TRUE(WaitForPrograms(result.startedPrograms, 30000));
    EXPECT_EQ(ReadTextFile(tools + "args.txt"), "-register now\r\n");

    EXPECT_FALSE(runExecuteTask(home + "no-such-program.exe"));
}

namespace {

// Every file and folder below `folder`, by relative name, with its content.
std::map<std::string, std::string> TreeContents(const std::string& folder, const std::string& relative = "") {
    std::map<std::string, std::string> tree;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(Widen(folder + relative + "*").c_str(), &entry));
    for (bool more = listing.valid(); more; more = FindNextFileW(listing.get(), &entry) != FALSE) {
        const std::string name = Narrow(entry.cFileName);
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[relative + name + "\\"] = "";
            for (const auto& below : TreeContents(folder, relative + name + "\\")) tree.insert(below);
        } else {
            tree[relative + name] = ReadTextFile(folder + relative + name);
        }
    }
    return tree;
}

}  // namespace

// An upgrade's changes undone from its journal: by the run that failed, or
// by the next run after the process was killed. Either way the earlier
// version is back to the byte and the rollback folder is gone.
TEST(InstallJournal, AnUpgradeIsUndoneByItsRunOrFromItsJournalAfterAKill) {
    for (const bool killed : {false, true}) {
        ScratchFolder scratch{"journal"};
        const std::string home = scratch.path() + "home\\", rollback = scratch.path() + "rollback";
        ASSERT_TRUE(CreateDirectoryA(home.c_str(), nullptr));
        ASSERT_EQ(runUnzipTask(ArchivePath("app1.zip"), "", home, true), ZipOk);
        ASSERT_TRUE(CreateDirectoryA((home + "bin").c_str(), nullptr));
        WriteTextFile(home + "bin\\QuillmarApp.bat", "set CLASSPATH=..\\lib\\app.jar\r\n");
        const auto before = TreeContents(home);
        {
            InstallJournal journal;
            ASSERT_TRUE(journal.begin(rollback, home));
            ASSERT_TRUE(journal.note("first"));
            InstallData data;
            Add(data, {kInstallUnzip, ArchivePath("app2.zip"), "", "", "", true});
            Add(data, {kInstallDelete, "{$DIR_HOME}conf\\app.xml", "", "", ""});
            Add(data, {kInstallMove, "", "{$DIR_HOME}app\\conf\\readme.txt", "{$DIR_HOME}app\\lib\\core.jar", "", true});
            Add(data,
                {kInstallExtractFile, ArchivePath("app2.zip"), "app/conf/added.xml", "{$DIR_HOME}new\\deep\\a.xml", ""});
            Add(data, {kInstallClassPath, "{$DIR_LIB}extra.jar", "", "", "{$DIR_BIN}QuillmarApp"});
            const InstallScriptResult result = runInstallScript(data, home, "C:\\Java", {}, &journal);
            ASSERT_TRUE(result.succeeded()) << result.describe();
            ASSERT_TRUE(journal.note("last\twith a tab"));
            ASSERT_NE(TreeContents(home), before);
            if (!killed) {
                const JournalRollback undone = journal.rollBack();
                EXPECT_TRUE(undone.complete) << undone.firstFailure;
                EXPECT_EQ(undone.notes, (std::vector<std::string>{"last\twith a tab", "first"}));
            }
        }
        if (killed) {
            EXPECT_TRUE(RollBackJournal(rollback).complete);
        }
        EXPECT_EQ(TreeContents(home), before) << (killed ? "after a kill" : "by the run");
        EXPECT_FALSE(PathExists(rollback));
        // A second replay finds nothing left to do.
        EXPECT_TRUE(RollBackJournal(rollback).complete);
    }
}

// The journal is a file in the install folder: a line leading outside its
// home folder is refused, and a line cut off by a power loss never happened.
TEST(InstallJournal, ReplayStaysInsideItsHomeAndIgnoresAnUnfinishedLine) {
    ScratchFolder scratch{"journal"};
    const std::string home = scratch.path() + "home", rollback = scratch.path() + "rollback\\";
    for (const std::string& folder : {home, rollback, scratch.path() + "other"})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    WriteTextFile(home + "\\made.txt", "ours");
    WriteTextFile(home + "\\kept.txt", "kept");
    WriteTextFile(rollback + "journal.txt", "home\t" + home + "\nfolder\t" + scratch.path() + "other\nnew\t" + home +
                                                "\\made.txt\nnew\t" + home + "\\kept.txt");
    const JournalRollback undone = RollBackJournal(rollback);
    EXPECT_FALSE(undone.complete);
    EXPECT_EQ(undone.firstFailure, scratch.path() + "other");
    EXPECT_TRUE(PathExists(scratch.path() + "other"));
    EXPECT_FALSE(PathExists(home + "\\made.txt"));
    EXPECT_TRUE(PathExists(home + "\\kept.txt"));
    // Left with its journal for another try.
    EXPECT_TRUE(PathExists(rollback + "journal.txt"));
}
