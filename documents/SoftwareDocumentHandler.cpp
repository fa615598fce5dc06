#include "documents/SoftwareDocumentHandler.h"

#include <memory>

#include "documents/NumberText.h"

namespace {

bool IsContainer(const std::string& name) {
    return name == "software" || name == "file" || name == "OS" || name == "state" || name == "country" ||
           name == "dependency";
}

}  // namespace

void SoftwareDocumentHandler::startElement(const std::string&, const std::string&,
                                           const std::string& qualifiedName, const XmlAttributes* attributes) {
    currentElement_ = qualifiedName;
    if (qualifiedName == "association" && attributes) {
        auto type = attributes->find("type");
        if (type != attributes->end()) associationType_ = type->second;
    } else if (IsContainer(qualifiedName)) {
        context_ = qualifiedName;
    }
}

void SoftwareDocumentHandler::characters(const std::string& text) {
    const std::string& element = currentElement_;
    if (element == "clientMsg") {
        clientMsg_ = text;
    } else if (element == "ID") {
        if (context_ == "software")
            addSoftware(TextToInt(text));
        else if (context_ == "file")
            addFile(TextToInt(text));
        else if (context_ == "dependency")
            addDependency(TextToInt(text));
    } else if (element == "GUID") {
        setGuid(text);
    } else if (element == "name") {
        if (context_ == "software" && software_) software_->name = text;
    } else if (element == "minVersion" || element == "minBuild") {
        if (!dependency_) return;
        if (element == "minVersion")
            dependency_->minVersion = TextToFloat(text);
        else
            dependency_->minBuild = static_cast<int>(TextToLong(text));
    } else if (file_) {
        if (element == "ver")
            file_->ver = TextToFloat(text);
        else if (element == "releaseDate")
            file_->releaseDate = ReleaseDateFromText(text);
        else if (element == "fileName")
            file_->fileName = text;
        else if (element == "fileSize")
            file_->fileSize = TextToInt(text);
        else if (element == "sha256")
            file_->sha256 = text;
        else if (element == "link")
            file_->links.push_back(std::make_unique<LinkRecord>(text));
    }
}

void SoftwareDocumentHandler::addSoftware(int id) {
    auto record = std::make_unique<SoftwareRecord>();
    record->id = id;
    software_ = record.get();
    file_ = nullptr;
    dependency_ = nullptr;
    // The guid is still empty here: the GUID element follows the ID.
    if (associationType_ == "dependent") {
        softwareList_ = &catalog_.dependentList;
        catalog_.addDependent(std::move(record));
    } else if (associationType_ == "related") {
        softwareList_ = &catalog_.relatedList;
        catalog_.addRelated(std::move(record));
    } else if (associationType_ == "os") {
        softwareList_ = &catalog_.osList;
        catalog_.addOs(std::move(record));
    } else {
        softwareList_ = &catalog_.mainList;
        catalog_.addSoftware(std::move(record));
    }
}

void SoftwareDocumentHandler::addFile(int id) {
    if (!software_) return;
    auto record = std::make_unique<FileRecord>();
    record->id = id;
    file_ = record.get();
    software_->files.push_back(std::move(record));
}

void SoftwareDocumentHandler::addDependency(int id) {
    if (!software_) return;
    auto record = std::make_unique<DependencyRecord>();
    record->owner = software_;
    record->target = std::make_unique<SoftwareRecord>();
    record->target->id = id;
    dependency_ = record.get();
    software_->dependencies.push_back(std::move(record));
}

void SoftwareDocumentHandler::setGuid(const std::string& guid) {
    if (context_ == "dependency") {
        if (dependency_) dependency_->target->guid = guid;
        return;
    }
    if (!software_) return;
    software_->guid = guid;
    // The catalog's guid check ran while the guid was empty; a second entry
    // for software the list already holds would otherwise be downloaded and
    // installed twice.
    if (softwareList_) catalog_.setAsideDuplicate(*softwareList_, *software_);
}
