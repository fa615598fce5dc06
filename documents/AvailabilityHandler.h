#pragma once
// Reads the availability reply: the texts of its updates and message
// elements, wherever they stand. A later text replaces an earlier one.
#include <string>

#include "documents/XmlEventHandler.h"

class AvailabilityHandler : public XmlEventHandler {
public:
    void startElement(const std::string& namespaceUri, const std::string& localName,
                      const std::string& qualifiedName, const XmlAttributes* attributes) override;
    void characters(const std::string& text) override;

    int updates = 0;
    std::string message;

private:
    std::string currentElement_;
};
