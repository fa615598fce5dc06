#pragma once
// What the update service says about software: four lists of records, owned
// by the catalog. The update check fills it and resolves dependencies with
// it; the install worker downloads and installs what it lists.
#include <memory>
#include <string>
#include <vector>

#include "documents/CatalogRecords.h"

class SoftwareCatalog {
public:
    SoftwareCatalog();
    ~SoftwareCatalog();
    SoftwareCatalog(const SoftwareCatalog&) = delete;
    SoftwareCatalog& operator=(const SoftwareCatalog&) = delete;

    SoftwareList mainList;       // the software asked for; associations of no known type
    SoftwareList dependentList;  // association type "dependent"
    SoftwareList relatedList;    // "related"
    SoftwareList osList;         // "os"

    // Each appends the record to its list unless the list already holds one
    // with the same guid; true when appended. The catalog keeps a record it
    // did not append until it is destroyed itself, so a pointer taken before
    // the call stays good either way.
    bool addSoftware(std::unique_ptr<SoftwareRecord> record) { return add(mainList, std::move(record)); }
    bool addDependent(std::unique_ptr<SoftwareRecord> record) { return add(dependentList, std::move(record)); }
    bool addRelated(std::unique_ptr<SoftwareRecord> record) { return add(relatedList, std::move(record)); }
    bool addOs(std::unique_ptr<SoftwareRecord> record) { return add(osList, std::move(record)); }

    // For a record of `list` whose guid became known after it was added:
    // when another record of the list has that guid, this one moves aside
    // (kept, not listed) and the result is true.
    bool setAsideDuplicate(SoftwareList& list, const SoftwareRecord& record);

    // Every software of the four lists, in list order, with a dependency
    // whose target's id is not that of some software in dependentList. The
    // records stay the catalog's.
    std::vector<SoftwareRecord*> unmetDependencies() const;

    // "sof=<guid>" for each software, joined by "&".
    static std::string softwareIdList(const SoftwareList& list);
    // The first dependency among the list's software whose target has `guid`.
    static DependencyRecord* findDependency(const SoftwareList& list, const std::string& guid);
    static SoftwareRecord* findSoftware(const SoftwareList& list, const std::string& guid);
    // Takes the first software with `guid` out of the list and hands it to
    // the caller; empty when there is none.
    static std::unique_ptr<SoftwareRecord> removeSoftware(SoftwareList& list, const std::string& guid);

private:
    bool add(SoftwareList& list, std::unique_ptr<SoftwareRecord> record);

    SoftwareList setAside_;  // added but not listed
};
