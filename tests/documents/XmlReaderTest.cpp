// How the reader cuts bytes into callbacks, malformed input included.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "support/CountingProgressBar.h"
#include "documents/SoftwareCatalog.h"
#include "documents/SoftwareDocumentHandler.h"
#include "documents/XmlEventReader.h"

namespace {

// Writes every callback as text: start(name), start(name){} or
// start(name){k="v",...}, text(...), end(name).
class RecordingHandler : public XmlEventHandler {
public:
    void startElement(const std::string& ns, const std::string& local, const std::string& name,
                      const XmlAttributes* attributes) override {
        EXPECT_TRUE(ns.empty());
        EXPECT_TRUE(local.empty());
        add("start(" + name + ")");
        if (!attributes) return;
        std::string map = "{";
        for (const auto& attribute : *attributes)
            map += (map.size() > 1 ? "," : "") + attribute.first + "=\"" + attribute.second + "\"";
        log += map + "}";
    }
    void characters(const std::string& text) override { add("text(" + text + ")"); }
    void endElement(const std::string&, const std::string&, const std::string& name) override {
        add("end(" + name + ")");
    }

    std::string log;

private:
    void add(const std::string& event) { log += (log.empty() ? "" : " ") + event; }
};

struct ReadResult {
    std::string events;
    XmlReadSummary summary;
};

ReadResult Read(const std::string& bytes, ProgressBar* progress = nullptr) {
    StringByteStream stream(bytes);
    RecordingHandler handler;
    ReadResult result;
    result.summary = XmlEventReader::parse(stream, handler, progress);
    result.events = handler.log;
    return result;
}

struct ReaderCase {
    const char* what;
    std::string input;
    const char* events;
    bool wellFormed;
};

void Check(const ReaderCase& c) {
    ReadResult result = Read(c.input);
    EXPECT_EQ(result.events, c.events) << c.what;
    EXPECT_EQ(result.summary.wellFormed, c.wellFormed) << c.what;
    EXPECT_EQ(result.summary.bytesRead, c.input.size()) << c.what;
}

}  // namespace

TEST(XmlReader, ElementsTextAndAttributeMaps) {
    const ReaderCase cases[] = {
        {"plain element", "<a>x</a>", "start(a) text(x) end(a)", true},
        {"no space: no map", "<a></a>", "start(a) end(a)", true},
        {"trailing spaces: empty map", "<a  ></a>", "start(a){} end(a)", true},
        {"self-closing keeps its slash", "<a/>", "start(a/)", true},
        {"self-closing with attributes", "<a x='1'/>", "start(a){x=\"1\"}", true},
        {"spaces around =", "<a x = \"1\" y='2'></a>", "start(a){x=\"1\",y=\"2\"} end(a)", true},
        {"repeated attribute keeps the last", "<a x=\"1\" x=\"3\"/>", "start(a){x=\"3\"}", true},
        {"unquoted value runs to the first quote", "<a x=1 y='2'/>", "start(a){x=\"1 y=2\"}", true},
        {"other quote kind inside a value", "<a x=\"it's\" y='say \"hi\"'/>",
         "start(a){x=\"it's\",y=\"say \"hi\"\"}", true},
        {"unfinished name at the end is dropped", "<a x='1' y/>", "start(a){x=\"1\"}", true},
        {"declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>",
         "start(?xml){encoding=\"UTF-8\",version=\"1.0\"} start(r/)", true},
        {"comment with spaces", "<!-- note --><r/>", "start(!--){} start(r/)", true},
        {"comment without spaces", "<!--note--><r/>", "start(!--note--) start(r/)", true},
        {"entities stay as written", "<a>&amp; &lt;</a>", "start(a) text(&amp; &lt;) end(a)", true},
        {"end tag keeps a trailing space", "<a></a >", "start(a) end(a )", true},
        {"end tag name is everything between </ and >", "<a></a b>", "start(a) end(a b)", false},
    };
    for (const ReaderCase& c : cases) Check(c);
}

TEST(XmlReader, DroppedBytesBlankTextAndTheEnds) {
    const ReaderCase cases[] = {
        {"empty stream", "", "", false},
        {"only blanks", " \r\n\t ", "", false},
        {"line break inside a tag is removed", "<a\nx='1'></a>", "start(ax='1') end(a)", false},
        {"text across lines is joined", "<a>ab\r\ncd</a>", "start(a) text(abcd) end(a)", true},
        {"tab and NUL dropped", std::string("<a>a\tb\0c</a>", 12), "start(a) text(abc) end(a)", false},
        {"text is trimmed", "<a>  x y \x0b\x0c</a>", "start(a) text(x y) end(a)", true},
        {"blank text between tags never delivered", "<a> \t <b/>  </a>", "start(a) start(b/) end(a)", true},
        {"text after the last tag is lost", "<a/>tail", "start(a/)", false},
        {"text before the root", "lead<a/>", "text(lead) start(a/)", false},
        {"unfinished tag at the end", "<a><b", "start(a)", false},
    };
    for (const ReaderCase& c : cases) Check(c);
}

TEST(XmlReader, MalformedTagsNeverStopTheReading) {
    const ReaderCase cases[] = {
        {"> inside a value ends the tag", "<a x='>'>", "start(a){} start()", false},
        {"< inside a tag delivers the part before it as text", "<a <b>", "text(<a) start(b)", false},
        {"a lone >", ">", "start()", false},
        {"empty tags", "<></>", "start() end()", false},
        {"stray text with >", "<a>b>c</a>", "start(a) start() text(c) end(a)", false},
        {"mismatched end", "<a></b>", "start(a) end(b)", false},
        {"end before any start", "</a><a>", "end(a) start(a)", false},
        {"two roots", "<a/><b/>", "start(a/) start(b/)", false},
        {"root left open", "<a><b></b>", "start(a) start(b) end(b)", false},
    };
    for (const ReaderCase& c : cases) Check(c);
}

// Texts are UTF-8; a byte that is not part of well-formed UTF-8 fails the
// document wherever it stands, and every callback still comes.
TEST(XmlReader, OnlyWellFormedUtf8MakesAWellFormedDocument) {
    const ReaderCase cases[] = {
        {"Cyrillic, CJK and a four-byte character", "<a p='\xD0\xAF\xE5\x8D\x83'>\xF0\x9F\x93\xA6</a>",
         "start(a){p=\"\xD0\xAF\xE5\x8D\x83\"} text(\xF0\x9F\x93\xA6) end(a)", true},
        {"Latin-1 in a text", "<a>caf\xE9</a>", "start(a) text(caf\xE9) end(a)", false},
        {"Latin-1 in an attribute value", "<a dir='C:\\Caf\xE9'/>", "start(a){dir=\"C:\\Caf\xE9\"}", false},
        {"a sequence cut short by the tag", "<a>\xD0</a>", "start(a) text(\xD0) end(a)", false},
        {"a sequence cut short at the end", "<a/>\xE5\x8D", "start(a/)", false},
        {"a dropped line break cannot join two halves", "<a>\xC3\n\xA9</a>", "start(a) text(\xC3\xA9) end(a)",
         false},
        {"an overlong slash", "<a>\xC0\xAF</a>", "start(a) text(\xC0\xAF) end(a)", false},
        {"a surrogate", "<a>\xED\xA0\x80</a>", "start(a) text(\xED\xA0\x80) end(a)", false},
        {"a lone continuation byte in a name", "<a\x80/>", "start(a\x80/)", false},
    };
    for (const ReaderCase& c : cases) Check(c);
}

TEST(XmlReader, DepthAndRunLengthBoundsStopTheReading) {
    auto repeat = [](const std::string& part, size_t times) {
        std::string out;
        for (size_t i = 0; i < times; ++i) out += part;
        return out;
    };
    const size_t depth = XmlEventReader::kMaxDepth, run = XmlEventReader::kMaxRunBytes;
    const std::string fill(run, 'x');
    const struct {
        const char* what;
        std::string input;
        bool wellFormed;
        size_t bytesRead;  // where reading stopped
        size_t callbacks;
    } cases[] = {
        {"deepest nesting", repeat("<a>", depth) + repeat("</a>", depth), true, 7 * depth, 2 * depth},
        {"empty elements open nothing", repeat("<a>", depth) + "<b/>" + repeat("</a>", depth), true,
         7 * depth + 4, 2 * depth + 1},
        {"one level deeper", repeat("<a>", depth + 1) + repeat("</a>", depth + 1), false, 3 * (depth + 1),
         depth},
        {"longest tag", "<a x='" + fill.substr(9) + "'/>", true, run, 1},
        {"tag one byte longer", "<a x='" + fill.substr(8) + "'/>", false, run + 1, 0},
        {"longest text", "<a>" + fill + "</a>", true, run + 7, 3},
        {"dropped bytes are not kept", "<a>\r\n" + fill + "\r\n</a>", true, run + 11, 3},
        {"text one byte longer", "<a>" + fill + "x</a>", false, run + 4, 1},
    };
    for (const auto& c : cases) {
        ReadResult result = Read(c.input);
        EXPECT_EQ(result.summary.wellFormed, c.wellFormed) << c.what;
        EXPECT_EQ(result.summary.bytesRead, c.bytesRead) << c.what;
        EXPECT_EQ(static_cast<size_t>(std::count(result.events.begin(), result.events.end(), '(')), c.callbacks)
            << c.what;
    }
}

TEST(XmlReader, BinaryGarbageEndsWithTheStreamAndIsNeverWellFormed) {
    std::mt19937 random(2005);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + random() % 3000, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random() % 256);
        // Enough tag characters to exercise the tag and attribute paths.
        for (size_t i = 0; i < bytes.size(); i += 7) bytes[i] = "<>/= '\""[random() % 7];
        bytes[bytes.size() / 2] = '\0';
        ReadResult result = Read(bytes);
        EXPECT_EQ(result.summary.bytesRead, bytes.size());
        EXPECT_FALSE(result.summary.wellFormed) << round;
    }
}

TEST(XmlReader, ProgressStepsOncePerByteDroppedBytesIncluded) {
    CountingProgressBar bar;
    bar.setRange(0, 1 << 20);
    bar.setStep(1);
    std::string document = "<?xml version=\"1.0\"?>\r\n<a>\r\n\t<b x='1'>t</b>\r\n</a>\r\ntrailing";
    Read(document, &bar);
    EXPECT_EQ(bar.steps, static_cast<long long>(document.size()));
    EXPECT_EQ(bar.position(), static_cast<int>(document.size()));
}

// A software document of about 1 MB, read with and without a counting bar.
// Prints the times; the bar must see one step per byte.
TEST(XmlReader, OneMegabyteSoftwareDocumentWithAndWithoutProgress) {
    std::string document = "<?xml version=\"1.0\"?>\n<softwareUpdate>\n<association type=\"dependent\">\n";
    for (int i = 0; document.size() < (1u << 20); ++i) {
        document += "<software>\n<ID>" + std::to_string(i) + "</ID>\n<GUID>5b1c44:90ad3e7c21:-" +
                    std::to_string(i) + "</GUID>\n<name>Software " + std::to_string(i) +
                    "</name>\n<file>\n<ID>" + std::to_string(i) +
                    "</ID>\n<ver>1.50000</ver>\n<releaseDate>02/14/2005</releaseDate>\n<fileName>lib" +
                    std::to_string(i) + ".jar</fileName>\n<fileSize>21</fileSize>\n"
                    "<link>http://127.0.0.1:8080/files/lib.jar</link>\n</file>\n</software>\n";
    }
    document += "</association>\n</softwareUpdate>\n";

    auto read = [&](ProgressBar* progress) {
        SoftwareCatalog catalog;
        SoftwareDocumentHandler handler(catalog);
        StringByteStream stream(document);
        EXPECT_TRUE(XmlEventReader::parse(stream, handler, progress).wellFormed);
        return catalog.dependentList.size();
    };
    CountingProgressBar bar;
    bar.setStep(1);
    bar.setRange(0, static_cast<int>(document.size()) + 4096);
    const size_t withoutCount = read(nullptr);
    const size_t withCount = read(&bar);
    EXPECT_EQ(withoutCount, withCount);
    EXPECT_GT(withCount, 1000u);
    EXPECT_EQ(bar.steps, static_cast<long long>(document.size()));
}
