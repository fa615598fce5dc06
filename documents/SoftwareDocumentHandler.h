#pragma once
// Reads an updates or associations reply into a catalog: software, files,
// links and dependencies, each created by its ID element and filled by the
// elements after it. Text goes by the last start tag; an ID goes by the last
// container opened (software, file, dependency, OS, state, country).
#include <string>

#include "documents/SoftwareCatalog.h"
#include "documents/XmlEventHandler.h"

class SoftwareDocumentHandler : public XmlEventHandler {
public:
    explicit SoftwareDocumentHandler(SoftwareCatalog& catalog) : catalog_(catalog) {}

    void startElement(const std::string& namespaceUri, const std::string& localName,
                      const std::string& qualifiedName, const XmlAttributes* attributes) override;
    void characters(const std::string& text) override;

    // The reply's message for the user; not empty means the query failed.
    const std::string& clientMsg() const { return clientMsg_; }

private:
    void addSoftware(int id);
    void addFile(int id);
    void addDependency(int id);
    void setGuid(const std::string& guid);

    SoftwareCatalog& catalog_;
    std::string currentElement_;
    std::string clientMsg_;
    std::string associationType_;
    std::string context_;
    // The records being filled; the catalog owns them.
    SoftwareRecord* software_ = nullptr;
    SoftwareList* softwareList_ = nullptr;  // the list software_ went into
    FileRecord* file_ = nullptr;
    DependencyRecord* dependency_ = nullptr;
};
