#pragma once
// Registry keys below HKEY_LOCAL_MACHINE that a test may change: deleted when
// the guard is made and again when it goes, so tests start and end clean.
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>

class ScratchRegistry {
public:
    ScratchRegistry(std::initializer_list<std::string> paths);
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
    std::vector<std::string> paths_;
};

// Test-side registry helpers that do not use the code under test.
bool LocalMachineKeyExists(const std::string& path);
std::string LocalMachineString(const std::string& path, const std::string& name);
void SetLocalMachineString(const std::string& path, const std::string& name, const std::string& value);
void DeleteLocalMachineTree(const std::string& path);
// Leaves everyone only read access to the key (as for a user without write
// rights), and gives full access back.
bool DenyWriteAccess(const std::string& path);
void AllowFullAccess(const std::string& path);

// The keys the product writes when registered.
extern const char kCompanyRoot[];      // Software\Quillmar Technologies INC
extern const char kFamilyKey[];        // ...\QMTApp
extern const char kProductKeyPath[];   // ...\QMTApp\VYN
extern const char kUninstallEntry[];   // ...\Uninstall\VYN2005
extern const char kJavaRuntimeRoot[];  // Software\JavaSoft\Java Runtime Environment
