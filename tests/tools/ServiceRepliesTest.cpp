// The update service's replies as the installer receives them: real WinINet
// requests from Wine to the Linux service on 127.0.0.1.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/ScratchFolder.h"
#include "support/TestPaths.h"
#include "support/UpdateService.h"
#include "system/Sha256.h"

namespace {

const char kApp[] = "a3d907:e2c41b7f96:-7c5e";
const char kHelper[] = "5b1c44:90ad3e7c21:-7f10";
const char kBase[] = "77aa01:c0ffee0123:-7a01";
const char kUnpublished[] = "000000:0000000000:-0001";
// The helper's bytes live on a mirror: its line gives their digest.
const char kHelperDigest[] = "0f4d3c8e0f4d3c8e0f4d3c8e0f4d3c8e0f4d3c8e0f4d3c8e0f4d3c8e0f4d3c8e";

// The texts of every <name>...</name> in document order.
std::vector<std::string> Texts(const std::string& body, const std::string& name) {
    std::vector<std::string> texts;
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    for (size_t at = body.find(open); at != std::string::npos; at = body.find(open, at)) {
        at += open.size();
        size_t end = body.find(close, at);
        if (end == std::string::npos) break;
        texts.push_back(body.substr(at, end - at));
    }
    return texts;
}

using Texts_ = std::vector<std::string>;

class ServiceReplies : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.started()) << service.startError(); }

    HttpFetch ask(const std::string& query) {
        HttpFetch fetch = FetchUrl(service.serviceUrl() + query);
        EXPECT_TRUE(fetch.ok) << fetch.error;
        return fetch;
    }
    static std::string sof(const std::string& guid, const std::string& version) {
        return "&sof=" + guid + "_" + version + "&lang=25&os=11";
    }
    // App 2001 needs Helper 3001, which needs Base 4001.
    void publishChain() {
        service.putFile("app.zip", "app bytes");
        service.putFile("base.jar", "base bytes");
        service.publish(ServiceSoftware(kApp, 2001, "App", {"2.00000", "2.10000"})
                            .file(7, "app.zip", "2.10000")
                            .dependsOn(kHelper, "1.40000", 3));
        ServiceSoftware helper = ServiceSoftware(kHelper, 3001, "Helper", {"1.50000"})
                                     .file(8, "helper.jar", "1.50000", {"/files/gone.jar", "http://mirror.invalid/h.jar"})
                                     .dependsOn(kBase);
        helper.files.back().sha256 = kHelperDigest;
        service.publish(helper);
        service.publish(ServiceSoftware(kBase, 4001, "Base", {"1.00000"}).file(9, "base.jar"));
    }

    UpdateService service;
};

TEST_F(ServiceReplies, AvailabilityCountsNewerReleasesAndDependencies) {
    publishChain();
    struct Case {
        const char* guid;
        const char* version;
        const char* updates;
        const char* associations;
    } cases[] = {
        {kApp, ".00000", "2", "1"},     // the installer's form of 0
        {kApp, "2.00000", "1", "1"},
        {kApp, "2.10000", "0", "1"},
        {kApp, "3.00000", "0", "1"},
        {kBase, "0.50000", "1", "0"},
        {kUnpublished, "1.00000", "0", "0"},  // unknown: nothing new, not an error
    };
    for (const Case& c : cases) {
        HttpFetch reply = ask("?task=availability" + sof(c.guid, c.version));
        SCOPED_TRACE(std::string(c.guid) + " " + c.version);
        EXPECT_EQ(reply.status, 200u);
        EXPECT_EQ(Texts(reply.body, "updates"), Texts_{c.updates});
        EXPECT_EQ(Texts(reply.body, "associations"), Texts_{c.associations});
        EXPECT_TRUE(Texts(reply.body, "message").empty());
    }
}

TEST_F(ServiceReplies, AvailabilityCarriesTheSoftwaresMessage) {
    ServiceSoftware app(kApp, 2001, "App", {"2.10000"});
    app.message = "Service closed for maintenance";
    service.publish(app);
    HttpFetch reply = ask("?task=availability" + sof(kApp, "1.00000"));
    EXPECT_EQ(Texts(reply.body, "message"), Texts_{"Service closed for maintenance"});
    EXPECT_EQ(Texts(reply.body, "updates"), Texts_{"1"});
}

TEST_F(ServiceReplies, UpdatesDescribeTheSoftwareItsFilesAndDependencies) {
    publishChain();
    service.putFile("app.zip", std::string(1234, 'z'));
    HttpFetch reply = ask("?task=updates" + sof(kApp, ".00000"));
    ASSERT_EQ(reply.status, 200u);
    const std::string& body = reply.body;

    EXPECT_NE(body.find("<association>"), std::string::npos) << "the main list: no type";
    EXPECT_EQ(Texts(body, "ID"), (Texts_{"2001", "7", "3001"}));  // software, file, dependency
    EXPECT_EQ(Texts(body, "GUID"), (Texts_{kApp, kHelper}));
    EXPECT_EQ(Texts(body, "name"), Texts_{"App"});
    EXPECT_EQ(Texts(body, "ver"), Texts_{"2.10000"});
    EXPECT_EQ(Texts(body, "releaseDate"), Texts_{"01/15/2005"});
    EXPECT_EQ(Texts(body, "fileName"), Texts_{"app.zip"});
    EXPECT_EQ(Texts(body, "fileSize"), Texts_{"1234"});
    EXPECT_EQ(Texts(body, "link"), Texts_{service.fileUrl("app.zip")});
    EXPECT_EQ(Texts(body, "minVersion"), Texts_{"1.40000"});
    EXPECT_EQ(Texts(body, "minBuild"), Texts_{"3"});
    EXPECT_TRUE(Texts(body, "clientMsg").empty());
    // The installer reads a name only before the software's first file, and a
    // record's fields only after its ID.
    EXPECT_LT(body.find("<name>"), body.find("<file>"));
    EXPECT_LT(body.find("<file>"), body.find("<dependency>"));
    EXPECT_EQ(body.find("/>"), std::string::npos) << "no self-closing elements";
}

TEST_F(ServiceReplies, LinksOnTheServiceGetItsAddressOthersStayAsWritten) {
    publishChain();
    HttpFetch reply = ask("?task=associations" + sof(kApp, ".00000") + "&type=dependency");
    EXPECT_EQ(Texts(reply.body, "link"),
              (Texts_{service.baseUrl() + "/files/gone.jar", "http://mirror.invalid/h.jar"}));
    EXPECT_EQ(Texts(reply.body, "fileSize"), Texts_{"0"}) << "no such file published";
}

TEST_F(ServiceReplies, AssociationsListDirectDependenciesAsDependent) {
    publishChain();
    HttpFetch app = ask("?task=associations" + sof(kApp, ".00000") + "&type=dependency");
    EXPECT_NE(app.body.find("<association type=\"dependent\">"), std::string::npos) << app.body;
    // Helper with its own file and its own dependency on Base; Base itself
    // comes with the next question.
    EXPECT_EQ(Texts(app.body, "ID"), (Texts_{"3001", "8", "4001"}));
    EXPECT_EQ(Texts(app.body, "GUID"), (Texts_{kHelper, kBase}));

    HttpFetch helper = ask("?task=associations" + sof(kHelper, ".00000") + "&type=dependency");
    EXPECT_EQ(Texts(helper.body, "ID"), (Texts_{"4001", "9"}));

    HttpFetch base = ask("?task=associations" + sof(kBase, ".00000") + "&type=dependency");
    EXPECT_EQ(base.status, 200u);
    EXPECT_TRUE(Texts(base.body, "software").empty());
    EXPECT_EQ(base.body.find("<association"), std::string::npos);

    HttpFetch untyped = ask("?task=associations" + sof(kApp, ".00000"));
    EXPECT_EQ(Texts(untyped.body, "ID"), (Texts_{"3001", "8", "4001"}));
    HttpFetch otherType = ask("?task=associations" + sof(kApp, ".00000") + "&type=related");
    EXPECT_TRUE(Texts(otherType.body, "ID").empty());
}

TEST_F(ServiceReplies, UnpublishedDependenciesAreLeftOutButKeepTheirEntry) {
    service.publish(ServiceSoftware(kApp, 2001, "App", {"1.00000"}).dependsOn(kUnpublished, "2.00000"));
    HttpFetch updates = ask("?task=updates" + sof(kApp, ".00000"));
    EXPECT_EQ(Texts(updates.body, "ID"), (Texts_{"2001", "0"}));
    EXPECT_EQ(Texts(updates.body, "GUID"), (Texts_{kApp, kUnpublished}));
    HttpFetch associations = ask("?task=associations" + sof(kApp, ".00000") + "&type=dependency");
    EXPECT_TRUE(Texts(associations.body, "software").empty());
}

TEST_F(ServiceReplies, ClientMessageLeadsUpdatesAndAssociations) {
    ServiceSoftware app(kApp, 2001, "App", {"1.00000"});
    app.clientMsg = "Please upgrade first";
    app.file(7, "app.zip");
    service.putFile("app.zip", "app bytes");
    service.publish(app);
    for (const char* task : {"updates", "associations"}) {
        HttpFetch reply = ask(std::string("?task=") + task + sof(kApp, ".00000"));
        SCOPED_TRACE(task);
        EXPECT_EQ(Texts(reply.body, "clientMsg"), Texts_{"Please upgrade first"});
        EXPECT_LT(reply.body.find("<clientMsg>"), reply.body.find("<association"));
    }
}

TEST_F(ServiceReplies, InstallScriptsVerbatimEmptyOrNotFound) {
    publishChain();
    const std::string script =
        "<install><fileID>7</fileID><task><unzip />"
        "<fileName>{$DIR_UPDATES}app.zip</fileName><dest>{$DIR_HOME}</dest>"
        "<value>@SERVER@/files/extra.bin</value></task></install>\n";
    service.setInstallScript(7, script);

    HttpFetch seven = ask("?task=install&file=7");
    EXPECT_EQ(seven.status, 200u);
    std::string expected = script;
    expected.replace(expected.find("@SERVER@"), 8, service.baseUrl());
    EXPECT_EQ(seven.body, expected);

    HttpFetch eight = ask("?task=install&file=8");  // a published file without a script
    EXPECT_EQ(eight.status, 200u);
    EXPECT_NE(eight.body.find("<install>"), std::string::npos);
    EXPECT_EQ(eight.body.find("<task>"), std::string::npos);

    service.setInstallScript(55, "<install />\n");  // a script needs no published file
    EXPECT_EQ(ask("?task=install&file=55").body, "<install />\n");
    EXPECT_EQ(ask("?task=install&file=56").status, 404u);
    EXPECT_EQ(ask("?task=install&file=x7").status, 400u);
}

TEST_F(ServiceReplies, BadQuestionsGetClearStatuses) {
    publishChain();
    struct Case {
        const char* query;
        unsigned long status;
    } cases[] = {
        {"?task=updates&sof=000000:0000000000:-0001_1.00000", 404},
        {"?task=associations&sof=000000:0000000000:-0001_1.00000", 404},
        {"?task=updates&sof=a3d907:e2c41b7f96:-7c5e", 400},  // no version
        {"?task=updates", 400},
        {"?task=install", 400},
        {"?task=uninstall&sof=a3d907:e2c41b7f96:-7c5e_1.0", 400},
        {"", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(ask(c.query).status, c.status);
    }
    EXPECT_EQ(FetchUrl(service.baseUrl() + "/servlet/Other").status, 404u);
}

TEST_F(ServiceReplies, PublishFolderEditsShowInTheNextReply) {
    service.publish(ServiceSoftware(kApp, 2001, "App", {"1.00000"}));
    EXPECT_EQ(Texts(ask("?task=availability" + sof(kApp, "1.00000")).body, "updates"), Texts_{"0"});
    service.publish(ServiceSoftware(kApp, 2001, "App", {"1.00000", "1.10000"}));
    EXPECT_EQ(Texts(ask("?task=availability" + sof(kApp, "1.00000")).body, "updates"), Texts_{"1"});
    service.unpublish(kApp);
    EXPECT_EQ(ask("?task=updates" + sof(kApp, "1.00000")).status, 404u);
}

TEST_F(ServiceReplies, HandEditedSoftwareFilesSkipOnlyWhatDoesNotParse) {
    // As a vendor might write them: comments, blanks, a broken line or two.
    service.putFile("app.zip", "app bytes");
    WriteTextFile(service.publishDir() + "software\\edited.txt",
                  "# the application\r\n"
                  "guid = a3d907:e2c41b7f96:-7c5e\r\n"
                  "id=2001\r\n"
                  "\r\n"
                  "name =   Edited App  \r\n"
                  "colour = blue\r\n"
                  "file = 7 | 2.0 | 01/01/2005\r\n"
                  "file = 8|2.0|01/01/2005|app.zip|/files/a.zip   /files/b.zip\r\n"
                  "dependency = 5b1c44:90ad3e7c21:-7f10\r\n");
    WriteTextFile(service.publishDir() + "software\\no-id.txt", "guid = " + std::string(kHelper) + "\n");
    HttpFetch app = ask("?task=updates" + sof(kApp, ".00000"));
    EXPECT_EQ(Texts(app.body, "name"), Texts_{"Edited App"});
    EXPECT_EQ(Texts(app.body, "ID"), (Texts_{"2001", "8", "0"}));
    EXPECT_EQ(Texts(app.body, "link"), (Texts_{service.baseUrl() + "/files/a.zip", service.baseUrl() + "/files/b.zip"}));
    EXPECT_EQ(Texts(app.body, "minVersion"), Texts_{"0"});
    EXPECT_EQ(ask("?task=updates" + sof(kHelper, ".00000")).status, 404u) << "a software needs an id";
}

}  // namespace

namespace {

// The sample publish folder of tools/update-service does what its README says.
TEST(SamplePublishFolder, ServesTheApplicationAndItsHelper) {
    UpdateService service;
    ASSERT_TRUE(service.started()) << service.startError();
    ASSERT_TRUE(service.copyPublishFolder(SourceDir() + "tools\\update-service\\sample"));

    HttpFetch availability = FetchUrl(service.serviceUrl() +
                                      "?task=availability&sof=4c8e21:10a7f5d2e64:-7d85_1.00000&lang=25&os=11");
    EXPECT_EQ(Texts(availability.body, "updates"), Texts_{"0"});

    HttpFetch app = FetchUrl(service.serviceUrl() + "?task=updates&sof=a3d907:e2c41b7f96:-7c5e_.00000&lang=25&os=11");
    std::vector<std::string> links = Texts(app.body, "link");
    ASSERT_EQ(links.size(), 1u);
    HttpFetch zip = FetchUrl(links[0]);
    EXPECT_EQ(zip.status, 200u);
    EXPECT_EQ(zip.body.substr(0, 2), "PK");
    EXPECT_EQ(Texts(app.body, "fileSize"), Texts_{std::to_string(zip.body.size())});

    HttpFetch helper = FetchUrl(service.serviceUrl() +
                                "?task=associations&sof=a3d907:e2c41b7f96:-7c5e_.00000&lang=25&os=11&type=dependency");
    links = Texts(helper.body, "link");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(FetchUrl(links[0]).status, 404u);  // the dead first link
    EXPECT_EQ(FetchUrl(links[1]).status, 200u);
    EXPECT_NE(FetchUrl(service.serviceUrl() + "?task=install&file=8").body.find("<classPath />"),
              std::string::npos);
}

}  // namespace

TEST_F(ServiceReplies, FilesCarryTheSizeAndDigestOfTheirBytes) {
    publishChain();
    const std::string bytes(70000, 'x');  // more than one block of the digest
    service.putFile("app.zip", bytes);
    HttpFetch reply = ask("?task=updates" + sof(kApp, ".00000"));
    EXPECT_EQ(Texts(reply.body, "fileSize"), Texts_{"70000"});
    Sha256 digest;
    digest.update(bytes.data(), bytes.size());
    EXPECT_EQ(Texts(reply.body, "sha256"), Texts_{digest.finish()});
    // A file on a mirror carries the digest its line gives, in either case.
    ServiceSoftware helper(kHelper, 3001, "Helper", {"1.50000"});
    helper.file(8, "helper.jar", "1.50000", {"http://mirror.invalid/h.jar"});
    helper.files.back().sha256 = "ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789";
    service.publish(helper);
    reply = ask("?task=updates" + sof(kHelper, ".00000"));
    EXPECT_EQ(Texts(reply.body, "fileSize"), Texts_{"0"});
    EXPECT_EQ(Texts(reply.body, "sha256"), Texts_{"abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789"});
}

TEST_F(ServiceReplies, AFileLineWithoutADigestIsRefusedNamingTheLine) {
    publishChain();
    // The service holds no base.jar and the line gives no digest: the
    // installer could not check its bytes, so no reply offers it.
    DeleteFileA((service.publishDir() + "files\\base.jar").c_str());
    HttpFetch reply = ask("?task=updates" + sof(kBase, ".00000"));
    EXPECT_EQ(reply.status, 500u);
    EXPECT_NE(reply.body.find("line 5: no digest for base.jar"), std::string::npos) << reply.body;
    EXPECT_EQ(ask("?task=associations" + sof(kHelper, ".00000")).status, 500u) << "it lists base.jar";
    EXPECT_EQ(ask("?task=updates" + sof(kApp, ".00000")).status, 200u) << "it does not";
    std::string failure;
    EXPECT_TRUE(service.exportStaticTree(&failure).empty());
    EXPECT_NE(failure.find("line 5: no digest for base.jar"), std::string::npos) << failure;

    // A digest given on the line must be that of the bytes the service holds.
    service.putFile("base.jar", "base bytes");
    ServiceSoftware base(kBase, 4001, "Base", {"1.00000"});
    base.file(9, "base.jar");
    base.files.back().sha256 = kHelperDigest;
    service.publish(base);
    reply = ask("?task=updates" + sof(kBase, ".00000"));
    EXPECT_EQ(reply.status, 500u);
    EXPECT_NE(reply.body.find("is not the digest of files/base.jar"), std::string::npos) << reply.body;
}

TEST_F(ServiceReplies, TheExportedTreeAnswersEveryQueryAsTheServiceDoes) {
    publishChain();
    service.putFile("app.zip", "app bytes");
    service.setInstallScript(7, "<install><task><unzip /><fileName>app.zip</fileName></task></install>");
    const std::string tree = service.exportStaticTree();
    ASSERT_FALSE(tree.empty());

    // replies.map: "~^<pattern>$" <reply>;  tried in order, as nginx does.
    std::vector<std::pair<std::regex, std::string>> routes;
    std::istringstream map(ReadTextFile(tree + "replies.map"));
    for (std::string line; std::getline(map, line);) {
        if (line.rfind("\"~", 0) != 0) continue;
        size_t close = line.find("\" ");
        routes.emplace_back(std::regex(line.substr(2, close - 2)),
                            line.substr(close + 2, line.size() - close - 3));
    }
    auto exported = [&](const std::string& task, const std::string& type, const std::string& sofValue,
                        const std::string& file) -> std::string {
        const std::string key = task + "|" + type + "|" + sofValue + "|" + file;
        for (const auto& route : routes) {
            if (!std::regex_match(key, route.first)) continue;
            std::string path = tree + route.second;
            for (char& c : path)
                if (c == '/') c = '\\';
            return ReadTextFile(path);
        }
        return "(no route)";
    };
    const struct {
        const char* task;
        const char* type;
        std::string sofValue;
        const char* file;
    } queries[] = {
        {"availability", "", std::string(kApp) + "_.00000", ""},
        {"availability", "", std::string(kApp) + "_1.99999", ""},
        {"availability", "", std::string(kApp) + "_2.00000", ""},
        {"availability", "", std::string(kApp) + "_2.05000", ""},
        {"availability", "", std::string(kApp) + "_2.10000", ""},
        {"availability", "", std::string(kApp) + "_12.00000", ""},
        {"availability", "", std::string(kUnpublished) + "_1.00000", ""},
        {"updates", "", std::string(kApp) + "_.00000", ""},
        {"associations", "dependency", std::string(kApp) + "_.00000", ""},
        {"associations", "", std::string(kHelper) + "_.00000", ""},
        {"associations", "related", std::string(kApp) + "_.00000", ""},
        {"install", "", "", "7"},
        {"install", "", "", "9"},
    };
    for (const auto& q : queries) {
        std::string query = std::string("?task=") + q.task;
        if (*q.type) query += std::string("&type=") + q.type;
        if (!q.sofValue.empty()) query += "&sof=" + q.sofValue + "&lang=25&os=11";
        if (*q.file) query += std::string("&file=") + q.file;
        EXPECT_EQ(exported(q.task, q.type, q.sofValue, q.file), ask(query).body) << query;
    }
    EXPECT_EQ(exported("updates", "", std::string(kUnpublished) + "_.00000", ""), "(no route)");
    EXPECT_EQ(ReadTextFile(tree + "files\\app.zip"), "app bytes");
}
