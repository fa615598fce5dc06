#pragma once
// What the update service says about software: four owned lists of records.
#include <vector>

class SoftwareRecord;

class SoftwareCatalog {
public:
    SoftwareCatalog() = default;
    ~SoftwareCatalog();
    SoftwareCatalog(const SoftwareCatalog&) = delete;
    SoftwareCatalog& operator=(const SoftwareCatalog&) = delete;

    std::vector<SoftwareRecord*> mainList;
    std::vector<SoftwareRecord*> dependentList;
    std::vector<SoftwareRecord*> relatedList;
    std::vector<SoftwareRecord*> osList;
};
