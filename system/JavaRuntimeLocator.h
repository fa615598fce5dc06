#pragma once
// Answers from the Java runtimes registered in the local-machine registry,
// both registry views (32-bit and 64-bit runtimes), read access only:
// - the classic layout: JavaSoft\Java Runtime Environment, JRE, JDK and
//   Java Development Kit, a key per version with "JavaHome";
// - the MSI layout of the OpenJDK builds: <maker>\{JRE|JDK}\<version>\<vm>\MSI
//   with "Path";
// - one key per major version with "InstallationPath".
// A registered home counts only when it holds bin\javaw.exe, the program the
// launcher starts. Versions follow Java's own order (see CompareJavaVersions).
#include <string>
#include <vector>

struct JavaRuntime {
    std::string version;  // as registered: "1.8.0_301", "17.0.2.8", "zulu-17"
    std::string home;
};

class JavaRuntimeLocator {
public:
    // True when a runtime of at least the required version is registered.
    bool IsJavaRuntimeInstalled(double requiredVersion) const;
    // The home of the highest registered runtime of at least the required
    // version. The out text is unchanged on false.
    bool FindJavaRuntimeHome(double requiredVersion, std::string& home) const;
    // Every registered runtime whose home holds bin\javaw.exe.
    std::vector<JavaRuntime> RegisteredRuntimes() const;
};
