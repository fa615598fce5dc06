// The reply handlers and the catalog on whole documents as the service sends
// them, dependency resolution, and who frees what.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "documents/InstallScriptHandler.h"
#include "documents/AvailabilityHandler.h"
#include "documents/SoftwareCatalog.h"
#include "documents/SoftwareDocumentHandler.h"
#include "documents/XmlEventReader.h"

namespace {

XmlReadSummary ReadInto(XmlEventHandler& handler, const std::string& document) {
    StringByteStream stream(document);
    return XmlEventReader::parse(stream, handler, nullptr);
}

std::string Software(int id, const std::string& guid, const std::string& inner = "") {
    return "<software>\n<ID>" + std::to_string(id) + "</ID>\n<GUID>" + guid + "</GUID>\n" + inner +
           "</software>\n";
}

std::string Dependency(int id, const std::string& guid) {
    return "<dependency><ID>" + std::to_string(id) + "</ID><GUID>" + guid +
           "</GUID><minVersion>1.40000</minVersion><minBuild>3</minBuild></dependency>";
}

std::vector<std::string> Guids(const SoftwareList& list) {
    std::vector<std::string> guids;
    for (const auto& software : list) guids.push_back(software->guid);
    return guids;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(SoftwareDocument, AssociationTypesChooseTheList) {
    SoftwareCatalog catalog;
    SoftwareDocumentHandler handler(catalog);
    XmlReadSummary summary = ReadInto(handler,
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<softwareUpdate>\n" +
        Software(1, "main:1") +
        "<association type=\"related\">\n" + Software(2, "rel:2") + Software(3, "rel:3") + "</association>\n"
        "<association type=\"dependent\">" + Software(4, "dep:4") + "</association>\n"
        "<association type=\"os\">" + Software(5, "os:5") + "</association>\n"
        "<association>" + Software(6, "os:6") + "</association>\n"
        "<association type=\"os2\">" + Software(7, "main:7") + "</association>\n"
        "<association type=\"Dependent\">" + Software(8, "main:8") + "</association>\n"
        "</softwareUpdate>\n");
    EXPECT_TRUE(summary.wellFormed);
    EXPECT_EQ(Guids(catalog.mainList), (Names{"main:1", "main:7", "main:8"}));
    EXPECT_EQ(Guids(catalog.relatedList), (Names{"rel:2", "rel:3"}));
    EXPECT_EQ(Guids(catalog.dependentList), (Names{"dep:4"}));
    // An association without a type leaves the last type in force.
    EXPECT_EQ(Guids(catalog.osList), (Names{"os:5", "os:6"}));
    EXPECT_TRUE(handler.clientMsg().empty());
}

TEST(SoftwareDocument, RecordsFilledFromTheirElements) {
    SoftwareCatalog catalog;
    SoftwareDocumentHandler handler(catalog);
    ReadInto(handler,
             "<softwareUpdate><association type=\"dependent\">\n"
             "<software>\n<ID>3001</ID>\n<GUID>5b1c44:90ad3e7c21:-7f10</GUID>\n<name>Sample Helper</name>\n"
             "<file>\n<ID>8</ID>\n<ver>1.50000</ver>\n<releaseDate>02/14/2005</releaseDate>\n"
             "<fileName>helper.jar</fileName>\n<fileSize>21</fileSize>\n"
             "<link>http://127.0.0.1:8080/files/no-such-file.jar</link>\n"
             "<link>http://127.0.0.1:8080/files/helper.jar</link>\n</file>\n"
             "<name>Late Name</name>\n"
             "<file><ID>9</ID><ver>x</ver><releaseDate>not a date</releaseDate><fileName>b.jar</fileName>"
             "<fileSize>12abc</fileSize></file>\n" +
             Dependency(4001, "77aa01:c0ffee0123:-7a01") +
             "</software>\n</association></softwareUpdate>");
    ASSERT_EQ(catalog.dependentList.size(), 1u);
    const SoftwareRecord& helper = *catalog.dependentList[0];
    EXPECT_EQ(helper.id, 3001);
    EXPECT_EQ(helper.guid, "5b1c44:90ad3e7c21:-7f10");  // not the dependency's GUID
    EXPECT_EQ(helper.name, "Sample Helper");              // the name after a file is ignored
    ASSERT_EQ(helper.files.size(), 2u);

    const FileRecord& jar = *helper.files[0];
    EXPECT_EQ(jar.id, 8);
    EXPECT_FLOAT_EQ(jar.ver, 1.5f);
    EXPECT_TRUE(jar.releaseDate.valid);
    EXPECT_DOUBLE_EQ(jar.releaseDate.value, 38397.0);  // 14 February 2005
    EXPECT_EQ(jar.fileName, "helper.jar");
    EXPECT_EQ(jar.fileSize, 21);
    ASSERT_EQ(jar.links.size(), 2u);
    EXPECT_EQ(jar.links[0]->url, "http://127.0.0.1:8080/files/no-such-file.jar");
    EXPECT_EQ(jar.links[1]->url, "http://127.0.0.1:8080/files/helper.jar");

    // A date that does not parse leaves the rest of the record alone.
    const FileRecord& second = *helper.files[1];
    EXPECT_FALSE(second.releaseDate.valid);
    EXPECT_EQ(second.id, 9);
    EXPECT_FLOAT_EQ(second.ver, 0.0f);
    EXPECT_EQ(second.fileName, "b.jar");
    EXPECT_EQ(second.fileSize, 12);

    ASSERT_EQ(helper.dependencies.size(), 1u);
    const DependencyRecord& needs = *helper.dependencies[0];
    EXPECT_EQ(needs.owner, &helper);
    EXPECT_EQ(needs.kind, kDependencyRequires);
    EXPECT_EQ(needs.target->id, 4001);
    EXPECT_EQ(needs.target->guid, "77aa01:c0ffee0123:-7a01");
    EXPECT_FLOAT_EQ(needs.minVersion, 1.4f);
    EXPECT_EQ(needs.minBuild, 3);
}

TEST(SoftwareDocument, ReleaseDatesKeepTheDayOnly) {
    const struct {
        const char* text;
        bool valid;
        double value;
    } cases[] = {
        {"01/15/2005", true, 38367.0},
        {"03/01/2005 18:30:00", true, 38412.0},
        {"12/30/1899", true, 0.0},
        {"", false, 0.0},
        {"soon", false, 0.0},
        {"13/45/2005", false, 0.0},
    };
    for (const auto& c : cases) {
        ReleaseDate date = ReleaseDateFromText(c.text);
        EXPECT_EQ(date.valid, c.valid) << c.text;
        if (c.valid) {
            EXPECT_DOUBLE_EQ(date.value, c.value) << c.text;
        }
    }
}

TEST(SoftwareDocument, ClientMessageAmongRecordsAndTextsBeforeTheirRecord) {
    SoftwareCatalog catalog;
    SoftwareDocumentHandler handler(catalog);
    ReadInto(handler,
             "<softwareUpdate>"
             "<file><fileName>orphan.zip</fileName><link>http://x/orphan.zip</link></file>"
             "<dependency><GUID>orphan</GUID><minVersion>2</minVersion></dependency>"
             "<GUID>no-software-yet</GUID><name>nobody</name>" +
             Software(1, "a:1") + "<clientMsg>Please upgrade first.</clientMsg>" + Software(2, "b:2") +
             "</softwareUpdate>");
    EXPECT_EQ(handler.clientMsg(), "Please upgrade first.");
    EXPECT_EQ(Guids(catalog.mainList), (Names{"a:1", "b:2"}));
    for (const auto& software : catalog.mainList) {
        EXPECT_TRUE(software->files.empty());
        EXPECT_TRUE(software->dependencies.empty());
        EXPECT_TRUE(software->name.empty());
    }
}

TEST(SoftwareDocument, SoftwareAlreadyListedIsNotListedAgain) {
    SoftwareCatalog catalog;
    const std::string reply = "<r><association type=\"dependent\">" +
                              Software(3001, "helper", "<file><ID>8</ID><fileName>h.jar</fileName></file>") +
                              "</association></r>";
    for (int query = 0; query < 3; ++query) {
        SoftwareDocumentHandler handler(catalog);
        ReadInto(handler, reply);
    }
    ASSERT_EQ(catalog.dependentList.size(), 1u);
    EXPECT_EQ(catalog.dependentList[0]->files.size(), 1u);
    // The same guid may stand in another list.
    SoftwareDocumentHandler handler(catalog);
    ReadInto(handler, "<r>" + Software(3001, "helper") + "</r>");
    EXPECT_EQ(catalog.mainList.size(), 1u);
}

TEST(Catalog, AddOperationsCompareGuidsAtTheMomentOfTheCall) {
    SoftwareCatalog catalog;
    auto make = [](const std::string& guid) {
        auto record = std::make_unique<SoftwareRecord>();
        record->guid = guid;
        return record;
    };
    EXPECT_TRUE(catalog.addSoftware(make("a")));
    EXPECT_FALSE(catalog.addSoftware(make("a")));
    EXPECT_TRUE(catalog.addSoftware(make("b")));
    EXPECT_TRUE(catalog.addDependent(make("a")));
    EXPECT_TRUE(catalog.addRelated(make("a")));
    EXPECT_TRUE(catalog.addOs(make("a")));
    EXPECT_FALSE(catalog.addOs(make("a")));
    EXPECT_EQ(Guids(catalog.mainList), (Names{"a", "b"}));

    EXPECT_EQ(SoftwareCatalog::softwareIdList(catalog.mainList), "sof=a&sof=b");
    EXPECT_EQ(SoftwareCatalog::softwareIdList(catalog.dependentList), "sof=a");
    EXPECT_EQ(SoftwareCatalog::softwareIdList(SoftwareList()), "");
    EXPECT_EQ(SoftwareCatalog::findSoftware(catalog.mainList, "b"), catalog.mainList[1].get());
    EXPECT_EQ(SoftwareCatalog::findSoftware(catalog.mainList, "c"), nullptr);

    std::unique_ptr<SoftwareRecord> removed = SoftwareCatalog::removeSoftware(catalog.mainList, "a");
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->guid, "a");
    EXPECT_EQ(Guids(catalog.mainList), (Names{"b"}));
    EXPECT_FALSE(SoftwareCatalog::removeSoftware(catalog.mainList, "a"));
}

TEST(Catalog, FindDependencyLooksAtKindTwoTargetsInOrder) {
    SoftwareCatalog catalog;
    SoftwareDocumentHandler handler(catalog);
    ReadInto(handler, "<r>" + Software(1, "app", Dependency(10, "lib") + Dependency(11, "jre")) +
                          Software(2, "tool", Dependency(12, "jre")) + "</r>");
    DependencyRecord* jre = SoftwareCatalog::findDependency(catalog.mainList, "jre");
    ASSERT_TRUE(jre);
    EXPECT_EQ(jre->target->id, 11);
    EXPECT_EQ(jre->owner->guid, "app");
    jre->kind = 1;
    jre = SoftwareCatalog::findDependency(catalog.mainList, "jre");
    ASSERT_TRUE(jre);
    EXPECT_EQ(jre->target->id, 12);
    EXPECT_EQ(SoftwareCatalog::findDependency(catalog.mainList, "app"), nullptr);
}

TEST(Catalog, UnmetDependenciesMatchTargetsByIdAgainstTheDependentList) {
    const struct {
        const char* what;
        std::string document;
        Names unmet;
    } cases[] = {
        {"no dependencies", "<r>" + Software(1, "app") + "</r>", {}},
        {"only dependency present",
         "<r>" + Software(1, "app", Dependency(30, "lib")) + "<association type=\"dependent\">" +
             Software(30, "lib") + "</association></r>",
         {}},
        {"dependency absent", "<r>" + Software(1, "app", Dependency(30, "lib")) + "</r>", {"app"}},
        {"present only in relatedList",
         "<r>" + Software(1, "app", Dependency(30, "lib")) + "<association type=\"related\">" +
             Software(30, "lib") + "</association></r>",
         {"app"}},
        {"matched by id, not by guid",
         "<r>" + Software(1, "app", Dependency(30, "lib")) + "<association type=\"dependent\">" +
             Software(30, "other-guid") + "</association></r>",
         {}},
        {"all of several dependencies present",
         "<r>" + Software(1, "app", Dependency(30, "lib") + Dependency(31, "jre")) +
             "<association type=\"dependent\">" + Software(31, "jre") + Software(30, "lib") +
             "</association></r>",
         {}},
        {"one of several missing",
         "<r>" + Software(1, "app", Dependency(30, "lib") + Dependency(31, "jre")) +
             "<association type=\"dependent\">" + Software(30, "lib") + "</association></r>",
         {"app"}},
        {"dependents with their own needs, in list order",
         "<r>" + Software(1, "app", Dependency(30, "lib")) + "<association type=\"dependent\">" +
             Software(30, "lib", Dependency(40, "base")) + "</association><association type=\"os\">" +
             Software(50, "os", Dependency(30, "lib")) + Software(51, "os2", Dependency(41, "x")) +
             "</association></r>",
         {"lib", "os2"}},
    };
    for (const auto& c : cases) {
        SoftwareCatalog catalog;
        SoftwareDocumentHandler handler(catalog);
        ReadInto(handler, c.document);
        Names unmet;
        for (SoftwareRecord* software : catalog.unmetDependencies()) unmet.push_back(software->guid);
        EXPECT_EQ(unmet, c.unmet) << c.what;
    }
}

TEST(Catalog, EveryRecordIsFreedWithItsCatalog) {
    const long before = CatalogRecord::liveCount();
    {
        SoftwareCatalog catalog;
        for (int query = 0; query < 2; ++query) {
            SoftwareDocumentHandler handler(catalog);
            // software 1 with a file of two links and two dependencies (with
            // targets), a duplicate of it, and one software without a GUID.
            ReadInto(handler,
                     "<r>" +
                         Software(1, "app",
                                  "<file><ID>7</ID><link>http://a</link><link>http://b</link></file>" +
                                      Dependency(30, "lib") + Dependency(31, "jre")) +
                         Software(1, "app", "<file><ID>7</ID><link>http://a</link></file>" +
                                                Dependency(30, "lib")) +
                         "<software><ID>9</ID></software></r>");
        }
        // 1 software + 1 file + 2 links + 2 dependencies + 2 targets, one
        // software without a guid; the duplicates are kept aside.
        EXPECT_EQ(Guids(catalog.mainList), (Names{"app", ""}));
        EXPECT_GT(CatalogRecord::liveCount() - before, 9);
        std::unique_ptr<SoftwareRecord> taken = SoftwareCatalog::removeSoftware(catalog.mainList, "app");
        ASSERT_TRUE(taken);
    }
    EXPECT_EQ(CatalogRecord::liveCount(), before);
}

TEST(Availability, CountsAndMessageWhereverTheyStand) {
    AvailabilityHandler handler;
    ReadInto(handler,
             "<?xml version=\"1.0\"?><availability><updates>3</updates><other><associations>2 more"
             "</associations></other><message>Newer installer available.</message><updates>4x</updates>"
             "<unrelated>9</unrelated></availability>");
    EXPECT_EQ(handler.updates, 4);
    EXPECT_EQ(handler.message, "Newer installer available.");

    AvailabilityHandler empty;
    ReadInto(empty, "<availability><updates>none</updates><updates>99999999999</updates></availability>");
    EXPECT_EQ(empty.updates, 2147483647);
    EXPECT_TRUE(empty.message.empty());
}

TEST(InstallScript, TasksCommandsFieldsAndFlags) {
    InstallData data;
    InstallScriptHandler handler(data);
    ReadInto(handler,
             "<?xml version=\"1.0\"?>\n<install>\n<move/><fileName>before any task</fileName>\n"
             "<fileID>77</fileID><restart>true</restart>\n"
             "<task>\n<unzip />\n<fileName>{$DIR_UPDATES}app.zip</fileName>\n<dest>{$DIR_HOME}</dest>\n"
             "<overwrite>TRUE</overwrite>\n</task>\n"
             "<task><extractFile></extractFile><fileName>a.zip</fileName><src>lib/x.jar</src>"
             "<dest>{$DIR_LIB}/x.jar</dest><overwrite>yes</overwrite><dest>second wins</dest></task>\n"
             "<task /><execute/><fileName>{$DIR_BIN}VYN2005.exe -register</fileName><exWin>1</exWin>"
             "<exUnix>True</exUnix>\n"
             "<task><classPath /><fileName>lib/x.jar</fileName><confFile>conf/app.xml</confFile>"
             "<class>com.example.Main</class><parent>root</parent><value>v</value><overwrite>true</overwrite>"
             "</task>\n"
             "<task><delete>ignored text</delete><fileName>old.txt</fileName></task>\n"
             "<task><module /></task><task><fileName>no command</fileName></task>\n"
             "</install>\n");
    EXPECT_TRUE(handler.message().empty());
    EXPECT_EQ(data.fileId, 77);
    EXPECT_TRUE(data.restart);
    ASSERT_EQ(data.items.size(), 7u);
    for (const auto& item : data.items) EXPECT_EQ(item->owner, &data);

    const InstallItem& unzip = *data.items[0];
    EXPECT_EQ(unzip.type, kInstallUnzip);
    EXPECT_EQ(unzip.fileName, "{$DIR_UPDATES}app.zip");
    EXPECT_EQ(unzip.dest, "{$DIR_HOME}");
    EXPECT_TRUE(unzip.overwrite);

    const InstallItem& extract = *data.items[1];
    EXPECT_EQ(extract.type, kInstallExtractFile);
    EXPECT_EQ(extract.src, "lib/x.jar");
    EXPECT_EQ(extract.dest, "second wins");
    EXPECT_FALSE(extract.overwrite);

    // "<task />" starts an item; "<execute/>" is read as "execute/", no command.
    const InstallItem& execute = *data.items[2];
    EXPECT_EQ(execute.type, kInstallNone);
    EXPECT_EQ(execute.fileName, "{$DIR_BIN}VYN2005.exe -register");
    EXPECT_TRUE(execute.exWin);
    EXPECT_FALSE(execute.exUnix);

    const InstallItem& classPath = *data.items[3];
    EXPECT_EQ(classPath.type, kInstallClassPath);
    EXPECT_EQ(classPath.confFile, "conf/app.xml");
    EXPECT_EQ(classPath.className, "com.example.Main");
    EXPECT_EQ(classPath.parent, "root");
    EXPECT_EQ(classPath.value, "v");
    EXPECT_TRUE(classPath.overwrite);

    EXPECT_EQ(data.items[4]->type, kInstallDelete);
    EXPECT_EQ(data.items[4]->fileName, "old.txt");
    EXPECT_EQ(data.items[5]->type, kInstallModule);
    EXPECT_EQ(data.items[6]->type, kInstallNone);
    EXPECT_FALSE(data.items[6]->overwrite);
}

TEST(InstallScript, MessageAndEmptyScripts) {
    InstallData data;
    InstallScriptHandler handler(data);
    ReadInto(handler, "<install><clientMsg>File withdrawn.</clientMsg><fileID>x</fileID></install>");
    EXPECT_EQ(handler.message(), "File withdrawn.");
    EXPECT_TRUE(data.items.empty());
    EXPECT_EQ(data.fileId, 0);
    EXPECT_FALSE(data.restart);

    const char* truthTable[][2] = {{"TRUE", "1"}, {"true", "1"}, {"1", "1"}, {"True", "0"},
                                   {"yes", "0"},  {"0", "0"},    {"1 ", "1"}, {"01", "0"}};
    for (const auto& row : truthTable) {
        InstallData flags;
        InstallScriptHandler reader(flags);
        ReadInto(reader, std::string("<i><restart>") + row[0] + "</restart><task /><overwrite>" + row[0] +
                             "</overwrite></i>");
        ASSERT_EQ(flags.items.size(), 1u);
        EXPECT_EQ(flags.items[0]->overwrite, row[1][0] == '1') << row[0];
        EXPECT_EQ(flags.restart, row[1][0] == '1') << row[0];
    }
}
