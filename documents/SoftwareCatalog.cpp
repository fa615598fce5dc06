#include "documents/SoftwareCatalog.h"

#include <algorithm>

SoftwareCatalog::SoftwareCatalog() = default;
SoftwareCatalog::~SoftwareCatalog() = default;

bool SoftwareCatalog::add(SoftwareList& list, std::unique_ptr<SoftwareRecord> record) {
    if (!record) return false;
    if (findSoftware(list, record->guid)) {
        setAside_.push_back(std::move(record));
        return false;
    }
    list.push_back(std::move(record));
    return true;
}

bool SoftwareCatalog::setAsideDuplicate(SoftwareList& list, const SoftwareRecord& record) {
    auto self = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r.get() == &record; });
    if (self == list.end()) return false;
    bool duplicate = std::any_of(list.begin(), list.end(), [&](const auto& r) {
        return r.get() != &record && r->guid == record.guid;
    });
    if (!duplicate) return false;
    setAside_.push_back(std::move(*self));
    list.erase(self);
    return true;
}

std::vector<SoftwareRecord*> SoftwareCatalog::unmetDependencies() const {
    std::vector<SoftwareRecord*> unmet;
    auto present = [this](const SoftwareRecord& target) {
        return std::any_of(dependentList.begin(), dependentList.end(),
                           [&](const auto& software) { return software->id == target.id; });
    };
    for (const SoftwareList* list : {&mainList, &dependentList, &relatedList, &osList}) {
        for (const auto& software : *list) {
            bool missing = std::any_of(
                software->dependencies.begin(), software->dependencies.end(), [&](const auto& dependency) {
                    return dependency->kind == kDependencyRequires && dependency->target &&
                           !present(*dependency->target);
                });
            if (missing) unmet.push_back(software.get());
        }
    }
    return unmet;
}

std::string SoftwareCatalog::softwareIdList(const SoftwareList& list) {
    std::string ids;
    for (const auto& software : list) {
        if (&software != &list.front()) ids += "&";
        ids += "sof=" + software->guid;
    }
    return ids;
}

DependencyRecord* SoftwareCatalog::findDependency(const SoftwareList& list, const std::string& guid) {
    for (const auto& software : list)
        for (const auto& dependency : software->dependencies)
            if (dependency->kind == kDependencyRequires && dependency->target && dependency->target->guid == guid)
                return dependency.get();
    return nullptr;
}

SoftwareRecord* SoftwareCatalog::findSoftware(const SoftwareList& list, const std::string& guid) {
    for (const auto& software : list)
        if (software->guid == guid) return software.get();
    return nullptr;
}

std::unique_ptr<SoftwareRecord> SoftwareCatalog::removeSoftware(SoftwareList& list, const std::string& guid) {
    auto found = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r->guid == guid; });
    if (found == list.end()) return nullptr;
    std::unique_ptr<SoftwareRecord> record = std::move(*found);
    list.erase(found);
    return record;
}
