#include "documents/XmlEventHandler.h"

void XmlEventHandler::startElement(const std::string&, const std::string&, const std::string&,
                                   const XmlAttributes*) {}
void XmlEventHandler::characters(const std::string&) {}
void XmlEventHandler::endElement(const std::string&, const std::string&, const std::string&) {}
