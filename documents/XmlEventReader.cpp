#include "documents/XmlEventReader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "system/ProgressBar.h"
#include "system/Utf8.h"

namespace {

bool IsXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsXmlBlank(text[begin])) ++begin;
    while (end > begin && IsXmlBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// `tail` is the tag after its first space, closing '>' included. What is left
// unfinished at the end (the "/>" or "?>", or a name without '=') is dropped.
std::unique_ptr<XmlAttributes> ParseAttributes(const std::string& tail) {
    const char kNoQuote = ' ';
    auto attributes = std::make_unique<XmlAttributes>();
    std::string accumulator, name;
    char quote = kNoQuote;
    bool readingValue = false;
    for (char c : tail) {
        if (!readingValue) {
            if (c == '=') {
                name = Trimmed(accumulator);
                accumulator.clear();
                quote = kNoQuote;
                readingValue = true;
            } else {
                accumulator += c;
            }
        } else if ((c == '\'' || c == '"') && c == quote) {
            (*attributes)[name] = Trimmed(accumulator);
            accumulator.clear();
            name.clear();
            quote = kNoQuote;
            readingValue = false;
        } else if ((c == '\'' || c == '"') && quote == kNoQuote) {
            quote = c;
        } else {
            // The other kind of quote inside a quoted value stays in the value.
            accumulator += c;
        }
    }
    return attributes;
}

// Follows the nesting beside the callbacks, for XmlReadSummary::wellFormed.
class StructureCheck {
public:
    void binaryByte() { broken_ = true; }
    void text(const std::string& text) {
        if (stack_.empty() || text.find('<') != std::string::npos) broken_ = true;
    }
    void tag(const std::string& tag) {
        if (tag.size() < 3 || tag[0] != '<') {
            broken_ = true;
            return;
        }
        if (tag[1] == '/') {
            std::string name = Trimmed(tag.substr(2, tag.size() - 3));
            if (stack_.empty() || stack_.back() != name) {
                broken_ = true;
                return;
            }
            stack_.pop_back();
            if (stack_.empty()) rootClosed_ = true;
            return;
        }
        if (tag[1] == '?' || tag[1] == '!') return;  // declaration, comment, doctype
        if (stack_.empty() && rootClosed_) broken_ = true;  // a second root
        bool empty = tag[tag.size() - 2] == '/';
        size_t nameEnd = 1;
        while (nameEnd < tag.size() - 1 && !IsXmlBlank(tag[nameEnd]) && tag[nameEnd] != '/') ++nameEnd;
        std::string name = tag.substr(1, nameEnd - 1);
        if (name.empty()) broken_ = true;
        if (empty) {
            if (stack_.empty()) rootClosed_ = true;
        } else {
            stack_.push_back(name);
        }
    }
    size_t depth() const { return stack_.size(); }
    bool finish(const std::string& leftover) const {
        return !broken_ && rootClosed_ && stack_.empty() && leftover.empty();
    }

private:
    std::vector<std::string> stack_;
    bool rootClosed_ = false;
    bool broken_ = false;
};

// Checks byte by byte that the document is UTF-8: each multi-byte sequence
// is judged whole once its last byte is in. The bytes the reader drops are
// checked too, so a dropped line break cannot join two halves into a valid
// character.
class Utf8Check {
public:
    void byte(char c) {
        const auto value = static_cast<unsigned char>(c);
        const bool continuation = (value & 0xC0) == 0x80;
        if (!pending_.empty() && !continuation) {
            broken_ = true;  // a sequence cut short
            pending_.clear();
        }
        if (pending_.empty()) {
            if (value < 0x80) return;
            expected_ = value >= 0xF0 ? 4 : value >= 0xE0 ? 3 : value >= 0xC0 ? 2 : 1;
        }
        pending_ += c;
        if (pending_.size() == expected_) {
            if (!IsValidUtf8(pending_)) broken_ = true;
            pending_.clear();
        }
    }
    bool valid() const { return !broken_ && pending_.empty(); }

private:
    std::string pending_;
    size_t expected_ = 0;
    bool broken_ = false;
};

void ProcessTag(const std::string& tag, XmlEventHandler& handler) {
    static const std::string kEmpty;
    size_t size = tag.size();
    if (size >= 2 && tag[1] == '/') {
        handler.endElement(kEmpty, kEmpty, tag.substr(2, size >= 3 ? size - 3 : 0));
        return;
    }
    size_t space = tag.find(' ');
    if (space == std::string::npos) {
        handler.startElement(kEmpty, kEmpty, tag.substr(std::min<size_t>(1, size), size >= 2 ? size - 2 : 0),
                             nullptr);
        return;
    }
    std::unique_ptr<XmlAttributes> attributes = ParseAttributes(tag.substr(space + 1));
    handler.startElement(kEmpty, kEmpty, tag.substr(1, space >= 1 ? space - 1 : 0), attributes.get());
}

}  // namespace

XmlReadSummary XmlEventReader::parse(ByteStream& stream, XmlEventHandler& handler, ProgressBar* progress) {
    XmlReadSummary summary;
    StructureCheck structure;
    Utf8Check encoding;
    std::string buffer;
    char byte = 0;
    while (stream.read(&byte, 1) == 1) {
        ++summary.bytesRead;
        if (progress) progress->stepIt();
        encoding.byte(byte);
        if (byte == '\0' || byte == '\t' || byte == '\r' || byte == '\n') {
            if (byte == '\0') structure.binaryByte();
            continue;
        }
        if (byte == '<') {
            std::string text = Trimmed(buffer);
            if (!text.empty()) {
                structure.text(text);
                handler.characters(text);
            }
            buffer.clear();
        }
        buffer += byte;
        if (buffer.size() > kMaxRunBytes) return summary;
        if (byte == '>') {
            std::string tag = Trimmed(buffer);
            buffer.clear();
            structure.tag(tag);
            if (structure.depth() > kMaxDepth) return summary;
            ProcessTag(tag, handler);
        }
    }
    summary.wellFormed = structure.finish(Trimmed(buffer)) && encoding.valid();
    return summary;
}
