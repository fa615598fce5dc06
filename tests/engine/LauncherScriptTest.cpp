// Launcher script edits: the line rules as tables, then on real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "engine/LauncherLines.h"
#include "engine/LauncherScript.h"
#include "support/ScratchFolder.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

using Lines = std::vector<std::string>;

TEST(LauncherLines, SplitsOnEitherLineBreak) {
    EXPECT_EQ(SplitLauncherLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitLauncherLines("a\n\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLauncherLines("\n"), (Lines{""}));
    EXPECT_EQ(SplitLauncherLines(""), Lines{});
}

TEST(LauncherLines, LibraryGoesToTheFrontOfTheFirstClassPathLineThatLacksIt) {
    const std::string home = "C:\\App\\";
    const std::string lib = "C:\\App\\lib\\new.jar";
    const auto win = LauncherStyle::Windows;
    const auto unix = LauncherStyle::Unix;
    const struct {
        Lines in;
        std::string library;
        LauncherStyle style;
        Lines out;  // empty: unchanged
    } cases[] = {
        {{"@echo off", "set CLASSPATH=x.jar", "java Main"}, lib, win,
         {"@echo off", "set CLASSPATH=..\\lib\\new.jar;x.jar", "java Main"}},
        {{"CLASSPATH=x.jar", "export CLASSPATH"}, lib, unix, {"CLASSPATH=lib/new.jar:x.jar", "export CLASSPATH"}},
        {{"set CLASSPATH=\"a b.jar\""}, lib, win, {"set CLASSPATH=\"..\\lib\\new.jar;a b.jar\""}},
        {{"CLASSPATH='a.jar'"}, lib, unix, {"CLASSPATH='lib/new.jar:a.jar'"}},
        {{"set CLASSPATH="}, lib, win, {"set CLASSPATH=..\\lib\\new.jar;"}},
        {{"set CLASSPATH=a.jar", "set CLASSPATH=b.jar"}, lib, win,
         {"set CLASSPATH=..\\lib\\new.jar;a.jar", "set CLASSPATH=b.jar"}},
        // Outside the lib folder: the whole path.
        {{"set CLASSPATH=x.jar"}, "D:\\Other\\y.jar", win, {"set CLASSPATH=D:\\Other\\y.jar;x.jar"}},
        {{"CLASSPATH=x.jar"}, "D:\\Other\\y.jar", unix, {"CLASSPATH=D:\\Other\\y.jar:x.jar"}},
        // The lib folder is recognised in any letter case.
        {{"set CLASSPATH=x.jar"}, "c:\\app\\LIB\\new.jar", win, {"set CLASSPATH=..\\lib\\new.jar;x.jar"}},
        // Already there in another letter case, no class path, other case.
        {{"set CLASSPATH=..\\lib\\NEW.JAR;x.jar"}, lib, win, {}},
        {{"@echo off", "java -cp x.jar Main"}, lib, win, {}},
        {{"set classpath=x.jar"}, lib, win, {}},
        {{}, lib, win, {}},
        // A line that names the library is passed over; the next one lacking it is extended.
        {{"CLASSPATH=lib/new.jar:a.jar", "CLASSPATH=b.jar"}, lib, unix,
         {"CLASSPATH=lib/new.jar:a.jar", "CLASSPATH=lib/new.jar:b.jar"}},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        bool changed = InsertClassPathEntry(lines, ClassPathEntry(home, c.library, c.style), c.style);
        EXPECT_EQ(changed, !c.out.empty()) << (c.in.empty() ? "" : c.in[0]);
        EXPECT_EQ(lines, c.out.empty() ? c.in : c.out) << (c.in.empty() ? "" : c.in[0]);
    }
}

TEST(LauncherLines, OnlyAnEmptyFirstJavaLineIsFilled) {
    const std::string java = "C:\\PROGRA~1\\Java";
    const struct {
        Lines in;
        Lines out;  // empty: unchanged
    } cases[] = {
        {{"@echo off", "set JAVA_PATH=\"\"", "rem"}, {"@echo off", "set JAVA_PATH=\"C:\\PROGRA~1\\Java\"", "rem"}},
        {{"  set JAVA_PATH=\"\" & rem x"}, {"set JAVA_PATH=\"C:\\PROGRA~1\\Java\""}},
        {{"set JAVA_PATH=\"\"", "set JAVA_PATH=\"\""}, {"set JAVA_PATH=\"C:\\PROGRA~1\\Java\"", "set JAVA_PATH=\"\""}},
        {{"set JAVA_PATH=\"C:\\jre\"", "set JAVA_PATH=\"\""}, {}},
        {{"set JAVA_PATH="}, {}},
        {{"SET JAVA_PATH=\"\""}, {}},
        {{"echo none"}, {}},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        EXPECT_EQ(FillJavaPath(lines, java), !c.out.empty()) << c.in[0];
        EXPECT_EQ(lines, c.out.empty() ? c.in : c.out) << c.in[0];
    }
}

class LauncherFiles : public testing::Test {
protected:
    ScratchFolder home{"launcher"};
    std::string script(const char* name) const { return home.path() + name; }
};

TEST_F(LauncherFiles, RewritesWithCrLfOnlyWhenSomethingChanged) {
    const std::string library = home.path() + "lib\\new.jar";
    // No final line break, Unix line breaks in the shell script.
    WriteTextFile(script("run.bat"), "@echo off\r\nset CLASSPATH=\"x.jar\"\r\njava Main");
    WriteTextFile(script("run.sh"), "#!/bin/sh\nCLASSPATH=x.jar\nexport CLASSPATH\n");

    EXPECT_EQ(updateClassPath(home.path(), script("run.bat"), library, LauncherStyle::Windows), LauncherEdit::Rewritten);
    EXPECT_EQ(updateClassPath(home.path(), script("run.sh"), library, LauncherStyle::Unix), LauncherEdit::Rewritten);
    const std::string bat = "@echo off\r\nset CLASSPATH=\"..\\lib\\new.jar;x.jar\"\r\njava Main\r\n";
    const std::string sh = "#!/bin/sh\r\nCLASSPATH=lib/new.jar:x.jar\r\nexport CLASSPATH\r\n";
    EXPECT_EQ(ReadTextFile(script("run.bat")), bat);
    EXPECT_EQ(ReadTextFile(script("run.sh")), sh);

    // The same task again finds the library and leaves the files alone.
    EXPECT_EQ(updateClassPath(home.path(), script("run.bat"), library, LauncherStyle::Windows), LauncherEdit::Unchanged);
    EXPECT_EQ(updateClassPath(home.path(), script("run.sh"), library, LauncherStyle::Unix), LauncherEdit::Unchanged);
    EXPECT_EQ(ReadTextFile(script("run.bat")), bat);
    EXPECT_EQ(ReadTextFile(script("run.sh")), sh);
    EXPECT_FALSE(PathExists(script("run.bat.new")));

    // A launcher that is not there is not made.
    EXPECT_EQ(updateClassPath(home.path(), script("none.bat"), library, LauncherStyle::Windows),
              LauncherEdit::Unreadable);
    EXPECT_EQ(updateJavaPath(script("none.bat"), "C:\\Java"), LauncherEdit::Unreadable);
    EXPECT_FALSE(PathExists(script("none.bat")));

    // A change that cannot be written (a folder where the temporary file
    // goes) leaves the launcher as it was.
    ASSERT_TRUE(CreateDirectoryA(script("run.sh.new").c_str(), nullptr));
    EXPECT_EQ(updateClassPath(home.path(), script("run.sh"), home.path() + "lib\\other.jar", LauncherStyle::Unix),
              LauncherEdit::WriteFailed);
    EXPECT_EQ(ReadTextFile(script("run.sh")), sh);
}

TEST_F(LauncherFiles, JavaFolderIsWrittenWithoutBlanksAndNamesTheRealFolder) {
    const std::string java = home.path() + "My Java Home";
    ASSERT_TRUE(CreateDirectoryA(java.c_str(), nullptr));
    WriteTextFile(script("run.bat"), "@echo off\nset JAVA_PATH=\"\"\n\"%JAVA_PATH%\\bin\\java\" Main\n");

    ASSERT_EQ(updateJavaPath(script("run.bat"), java), LauncherEdit::Rewritten);
    Lines lines = SplitLauncherLines(ReadTextFile(script("run.bat")));
    ASSERT_EQ(lines.size(), 3u);
    const std::string prefix = "set JAVA_PATH=\"";
    ASSERT_EQ(lines[1].compare(0, prefix.size(), prefix), 0) << lines[1];
    std::string written = lines[1].substr(prefix.size(), lines[1].size() - prefix.size() - 1);
    // The whole value is blank-free (the temporary folder's own path
    // included), and it must lead to the folder itself.
    EXPECT_EQ(written.find(' '), std::string::npos) << written;
    EXPECT_NE(written.back(), '\\');
    char longPath[MAX_PATH] = {};
    ASSERT_GT(GetLongPathNameA(written.c_str(), longPath, MAX_PATH), 0u) << written;
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, longPath, -1, java.c_str(), -1), CSTR_EQUAL)
        << longPath;

    // Filled now: a second run changes nothing.
    EXPECT_EQ(updateJavaPath(script("run.bat"), java), LauncherEdit::Unchanged);

    // A folder that does not exist gets the installer's own abbreviation.
    EXPECT_EQ(ShortJavaFolder("C:\\No Such Folder\\Java Runtime 5\\"), "C:\\NO SUC~1\\JAVA R~1");
}

namespace {

// Runs the batch file with cmd.exe in its own folder, as a shortcut to it
// would, and hands back what it printed.
std::string RunBatchFile(const std::string& folder, const std::string& name) {
    std::wstring line = L"cmd.exe /c " + Widen(name) + L" > out.txt";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, Widen(folder).c_str(),
                        &startup, &started))
        return "<cmd.exe did not start>";
    UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return "<cmd.exe did not end>";
    }
    return ReadTextFile(folder + "\\out.txt");
}

}  // namespace

// cmd.exe reads a batch file in the console's (OEM) code page. A folder name
// that code page holds ("Café") is written as it is, one it cannot hold
// (Cyrillic) by its short name; either way cmd.exe finds what the lines name.
TEST_F(LauncherFiles, BatchFileNamesNonLatinFoldersSoThatCmdFindsThem) {
    const std::string cafe = "Caf\xC3\xA9", cyrillic = "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC";
    ASSERT_EQ(GetOEMCP(), 437u);  // what the expected bytes below are in
    for (const std::string& folder : {cafe, cyrillic}) {
        const std::string app = home.path() + folder + "\\";
        for (const char* sub : {"", "bin", "lib", "ext", "jre", "jre\\bin"})
            ASSERT_TRUE(MakeFolder(app + sub)) << sub;
        for (const std::string& file :
             std::vector<std::string>{"lib\\base.jar", "lib\\app.jar", "jre\\bin\\java.exe", "ext\\" + folder + ".jar"})
            WriteTextFile(app + file, "x");
        const std::string bat = app + "bin\\QuillmarApp.bat";
        WriteTextFile(bat,
                      "@echo off\r\n"
                      "set JAVA_PATH=\"\"\r\n"
                      "set CLASSPATH=..\\lib\\base.jar\r\n"
                      "if exist %JAVA_PATH%\\bin\\java.exe echo java\r\n"
                      "for %%p in (%CLASSPATH%) do if exist %%p echo found\r\n");

        EXPECT_EQ(updateClassPath(app, bat, app + "lib\\app.jar", LauncherStyle::Windows), LauncherEdit::Rewritten);
        EXPECT_EQ(updateClassPath(app, bat, app + "ext\\" + folder + ".jar", LauncherStyle::Windows),
                  LauncherEdit::Rewritten);
        EXPECT_EQ(updateJavaPath(bat, app + "jre"), LauncherEdit::Rewritten);
        const std::string edited = ReadTextFile(bat);
        EXPECT_EQ(edited.find(folder), std::string::npos) << edited;  // no byte of the folder's UTF-8
        if (folder == cafe) {  // "é" is 0x82 in code page 437
            EXPECT_NE(edited.find("Caf\x82\\ext\\Caf\x82.jar;..\\lib\\app.jar;..\\lib\\base.jar\r\n"),
                      std::string::npos)
                << edited;
        }
        EXPECT_EQ(RunBatchFile(app + "bin", "QuillmarApp.bat"), "java\r\nfound\r\nfound\r\nfound\r\n") << edited;

        // A path with neither a form in the code page nor a short name (the
        // file is not there) is not written at all.
        const std::string before = ReadTextFile(bat);
        EXPECT_EQ(updateClassPath(app, bat, app + "ext\\" + cyrillic + "-missing.jar", LauncherStyle::Windows),
                  LauncherEdit::Inexpressible);
        EXPECT_EQ(ReadTextFile(bat), before);
    }
}
