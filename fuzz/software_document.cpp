// Software documents on any bytes, read twice into one catalog as the update
// check reads the updates and then the associations reply; then every catalog
// operation on what they built. No list may hold one guid twice, and every
// dependency hangs off its owner with a target.
#include <set>

#include "FuzzInput.h"
#include "documents/SoftwareCatalog.h"
#include "documents/SoftwareDocumentHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SoftwareCatalog catalog;
    for (int reply = 0; reply < 2; ++reply) {
        SoftwareDocumentHandler handler(catalog);
        ReadReply(data, size, handler);
    }
    for (SoftwareList* list : {&catalog.mainList, &catalog.dependentList, &catalog.relatedList, &catalog.osList}) {
        std::set<std::string> guids;
        for (const auto& software : *list) {
            FUZZ_CHECK(guids.insert(software->guid).second);
            for (const auto& dependency : software->dependencies)
                FUZZ_CHECK(dependency->owner == software.get() && dependency->target);
        }
        SoftwareCatalog::softwareIdList(*list);
        for (const std::string& guid : guids) {
            FUZZ_CHECK(SoftwareCatalog::findSoftware(*list, guid));
            SoftwareCatalog::findDependency(*list, guid);
        }
    }
    catalog.unmetDependencies();
    if (!catalog.mainList.empty()) {
        const std::string guid = catalog.mainList.front()->guid;
        FUZZ_CHECK(SoftwareCatalog::removeSoftware(catalog.mainList, guid));
    }
    return 0;
}
