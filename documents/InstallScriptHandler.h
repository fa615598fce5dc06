#pragma once
// Reads an install reply (the task script of one file) into its InstallData
// while the XML reader parses it. Attributes and end tags play no part: a
// task element starts an item, a command element sets its type, and text
// goes to the field named by the last start tag.
#include <string>

#include "documents/InstallData.h"
#include "documents/XmlEventHandler.h"

class InstallScriptHandler : public XmlEventHandler {
public:
    explicit InstallScriptHandler(InstallData& installData) : installData_(installData) {}

    void startElement(const std::string& namespaceUri, const std::string& localName,
                      const std::string& qualifiedName, const XmlAttributes* attributes) override;
    void characters(const std::string& text) override;

    // The reply's clientMsg; not empty means the install query failed.
    const std::string& message() const { return message_; }

private:
    InstallData& installData_;
    std::string currentElement_;
    std::string message_;
    InstallItem* currentItem_ = nullptr;  // the last item of installData_.items
};
