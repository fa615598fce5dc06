// The install reply on any bytes: every item belongs to the script and has a
// known type or none.
#include "FuzzInput.h"
#include "documents/InstallScriptHandler.h"
#include "system/PathSafety.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InstallData script;
    InstallScriptHandler handler(script);
    ReadReply(data, size, handler);
    for (const auto& item : script.items) {
        FUZZ_CHECK(item && item->owner == &script);
        FUZZ_CHECK(item->type >= kInstallNone && item->type <= kInstallClassPath);
        // The name rule on the script's own paths: a safe member name is a
        // literal one.
        for (const std::string* path : {&item->fileName, &item->src, &item->dest, &item->confFile})
            FUZZ_CHECK(!IsSafeMemberName(*path) || IsLiteralPathName(*path));
    }
    return 0;
}
