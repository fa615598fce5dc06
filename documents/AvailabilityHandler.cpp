#include "documents/AvailabilityHandler.h"

#include "documents/NumberText.h"

void AvailabilityHandler::startElement(const std::string&, const std::string&, const std::string& qualifiedName,
                                       const XmlAttributes*) {
    currentElement_ = qualifiedName;
}

void AvailabilityHandler::characters(const std::string& text) {
    if (currentElement_ == "updates")
        updates = TextToInt(text);
    else if (currentElement_ == "message")
        message = text;
}
