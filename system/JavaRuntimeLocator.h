#pragma once
// Answers from the Java runtime's registration in the local-machine registry;
// nothing else (environment, file system) is consulted. Both registry views
// (32-bit and 64-bit runtimes) are read, with read access only. Versions are
// compared as exact decimals (see IsVersionAtLeast).
#include <string>

class JavaRuntimeLocator {
public:
    // True when the registered "CurrentVersion" is at least the required one.
    bool IsJavaRuntimeInstalled(double requiredVersion) const;
    // The "JavaHome" of the highest registered version, when that version is
    // at least the required one. The out text is unchanged on false.
    bool FindJavaRuntimeHome(double requiredVersion, std::string& home) const;
};
