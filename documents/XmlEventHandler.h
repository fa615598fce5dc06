#pragma once
// The callbacks of the XML reader. Every document handler derives from this
// and overrides what it needs; the defaults do nothing.
#include <map>
#include <string>

// Attribute name to value; a repeated name keeps its last value.
using XmlAttributes = std::map<std::string, std::string>;

class XmlEventHandler {
public:
    virtual ~XmlEventHandler() = default;
    // namespaceUri and localName are always empty; the name is qualifiedName.
    // attributes is null when the tag holds no space; it belongs to the reader
    // and is gone once the call returns.
    virtual void startElement(const std::string& namespaceUri, const std::string& localName,
                              const std::string& qualifiedName, const XmlAttributes* attributes);
    // Trimmed text between two tags, never empty.
    virtual void characters(const std::string& text);
    virtual void endElement(const std::string& namespaceUri, const std::string& localName,
                            const std::string& qualifiedName);
};
