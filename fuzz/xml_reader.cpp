// The reader on any bytes: the callbacks keep their promises and stay within
// the reader's bounds, and the bar steps once per byte read.
#include "FuzzInput.h"
#include "support/CountingProgressBar.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

class CheckingHandler : public XmlEventHandler {
public:
    void startElement(const std::string& namespaceUri, const std::string& localName,
                      const std::string& qualifiedName, const XmlAttributes* attributes) override {
        FUZZ_CHECK(namespaceUri.empty() && localName.empty());
        FUZZ_CHECK(qualifiedName.size() < XmlEventReader::kMaxRunBytes);
        if (attributes)
            for (const auto& attribute : *attributes)
                FUZZ_CHECK(attribute.first.size() + attribute.second.size() < XmlEventReader::kMaxRunBytes);
    }
    void characters(const std::string& text) override {
        FUZZ_CHECK(!text.empty() && !IsBlank(text.front()) && !IsBlank(text.back()));
        FUZZ_CHECK(text.size() <= XmlEventReader::kMaxRunBytes);
    }
    void endElement(const std::string& namespaceUri, const std::string& localName,
                    const std::string& qualifiedName) override {
        FUZZ_CHECK(namespaceUri.empty() && localName.empty());
        FUZZ_CHECK(qualifiedName.size() < XmlEventReader::kMaxRunBytes);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckingHandler handler;
    CountingProgressBar bar;
    bar.setStep(1);
    XmlReadSummary summary = ReadReply(data, size, handler, &bar);
    FUZZ_CHECK(bar.steps == static_cast<long long>(summary.bytesRead));
    return 0;
}
