// The five queries and the download and install loops against the update
// service on 127.0.0.1; its request log witnesses what was asked.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/CountingProgressBar.h"
#include "system/Sha256.h"
#include "system/UniqueHandle.h"
#include "system/TextCase.h"
#include "service/ServiceQuery.h"
#include "service/UpdateServiceClient.h"
#include "support/ScratchFolder.h"
#include "support/TextLines.h"
#include "support/UpdateService.h"

namespace {

const char kApp[] = "a3d907:e2c41b7f96:-7c5e";
const char kHelper[] = "5b1c44:90ad3e7c21:-7f10";
const char kBase[] = "77aa01:c0ffee0123:-7a01";
const char kServlet[] = "GET /servlet/SoftwareUpdateServlet?task=";
const char kNotFound[] = "The requested site or file was not found.";

using Lines = std::vector<std::string>;

// Every wait before a download's retry lasts this long while it lives.
class RetryWait {
public:
    explicit RetryWait(long milliseconds) : previous_(SetRetryWaitForTests(milliseconds)) {}
    ~RetryWait() { SetRetryWaitForTests(previous_); }
    RetryWait(const RetryWait&) = delete;
    RetryWait& operator=(const RetryWait&) = delete;

private:
    long previous_;
};

// Notes any move of the bar back towards its start.
class ForwardOnlyBar : public CountingProgressBar {
public:
    void setPosition(int position) override {
        if (position < this->position()) movedBack = true;
        CountingProgressBar::setPosition(position);
    }
    bool movedBack = false;
};

std::string Sha256Of(const std::string& bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.finish();
}

class ServiceQueries : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.started()) << service.startError(); }

    // App 2001 needs Helper 3001, which needs Base 4001. Helper's first link
    // is missing on the service; its second works.
    void publishChain() {
        service.publish(ServiceSoftware(kApp, 2001, "App", {"2.00000", "2.10000"})
                            .file(7, "app.zip", "2.10000")
                            .dependsOn(kHelper, "1.40000", 3));
        service.publish(ServiceSoftware(kHelper, 3001, "Helper", {"1.50000"})
                            .file(8, "helper.jar", "1.50000", {"/files/gone.jar", "/files/helper.jar"})
                            .dependsOn(kBase));
        service.publish(ServiceSoftware(kBase, 4001, "Base", {"1.00000"})
                            .file(9, "base.jar")
                            .file(10, "base-extra.jar"));
        service.putFile("app.zip", std::string(5000, 'a'));
        service.putFile("helper.jar", "helper bytes");
        service.putFile("base.jar", "base bytes");
        service.putFile("base-extra.jar", "extra bytes");
    }
    // The app's file as an update check lists it (publishChain first).
    static const FileRecord& AppFile(ServiceQuery& query, SoftwareCatalog& catalog) {
        EXPECT_EQ(query.getUpdates(catalog, kApp, 0.0, 25, 11, nullptr), kQueryFound) << query.lastError();
        return *catalog.mainList.at(0)->files.at(0);
    }
    static std::string sof(const std::string& guid, const std::string& version) {
        return "&sof=" + guid + "_" + version + "&lang=25&os=11";
    }
    // Builds the catalog an update check would: the app, then its
    // dependencies until none is unmet.
    void resolveChain(ServiceQuery& query, SoftwareCatalog& catalog) {
        ASSERT_EQ(query.getUpdates(catalog, kApp, 0.0, 25, 11, nullptr), kQueryFound) << query.lastError();
        for (int round = 0; round < 4; ++round) {
            std::vector<SoftwareRecord*> unmet = catalog.unmetDependencies();
            if (unmet.empty()) return;
            for (SoftwareRecord* software : unmet)
                ASSERT_EQ(query.getAssociations(catalog, software->guid, 0.0, 25, 11, "dependency", nullptr),
                          kQueryFound)
                    << query.lastError();
        }
        FAIL() << "dependencies did not resolve";
    }

    RetryWait noWaits{0};
    UpdateService service;
    ScratchFolder folder{"svcq"};
};

}  // namespace

TEST_F(ServiceQueries, AvailabilityResultsInTheirOrder) {
    ServiceSoftware app(kApp, 2001, "App", {"2.00000", "2.10000"});
    service.publish(app);
    app.guid = kHelper;
    app.message = "Please call the vendor.";
    service.publish(app);
    const struct {
        const char* guid;
        double version;
        int result;
        const char* lastError;
        const char* line;
    } cases[] = {
        {kApp, 2.0, kQueryFound, "", "availability&sof=a3d907:e2c41b7f96:-7c5e_2.00000&lang=25&os=11"},
        {kApp, 2.1, kQueryNothingFound, "", "availability&sof=a3d907:e2c41b7f96:-7c5e_2.10000&lang=25&os=11"},
        {kApp, 0.5, kQueryFound, "", "availability&sof=a3d907:e2c41b7f96:-7c5e_.50000&lang=25&os=11"},
        // A message fails the query unless updates are counted, which is decided last.
        {kHelper, 2.1, kQueryFailed, "Please call the vendor.",
         "availability&sof=5b1c44:90ad3e7c21:-7f10_2.10000&lang=25&os=11"},
        {kHelper, 0.05, kQueryFound, "Please call the vendor.",
         "availability&sof=5b1c44:90ad3e7c21:-7f10_0.05000&lang=25&os=11"},
    };
    for (const auto& c : cases) {
        service.clearRequests();
        ServiceQuery query(service.serviceUrl());
        EXPECT_EQ(query.checkAvailability(c.guid, c.version, 25, 11, nullptr), c.result) << c.line;
        EXPECT_EQ(query.lastError(), c.lastError) << c.line;
        EXPECT_EQ(service.requests(), Lines{kServlet + std::string(c.line) + " HTTP/1.1"});
    }
}

TEST_F(ServiceQueries, UpdatesAndAssociationsFillTheCatalog) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    EXPECT_EQ(query.getUpdates(catalog, kApp, 2.1, 25, 11, nullptr), kQueryFound);
    ASSERT_EQ(catalog.mainList.size(), 1u);
    EXPECT_EQ(catalog.mainList[0]->files[0]->fileName, "app.zip");
    EXPECT_EQ(catalog.mainList[0]->files[0]->fileSize, 5000);

    EXPECT_EQ(query.getAssociations(catalog, kApp, 2.1, 25, 11, "dependency", nullptr), kQueryFound);
    ASSERT_EQ(catalog.dependentList.size(), 1u);
    EXPECT_EQ(catalog.dependentList[0]->guid, kHelper);
    // Without a type no type parameter is sent.
    EXPECT_EQ(query.getAssociations(catalog, kHelper, 1.5, 25, 11, nullptr, nullptr), kQueryFound);
    EXPECT_EQ(catalog.dependentList.size(), 2u);
    EXPECT_TRUE(catalog.unmetDependencies().empty());
    // Asking again lists nothing twice.
    EXPECT_EQ(query.getAssociations(catalog, kHelper, 1.5, 25, 11, nullptr, nullptr), kQueryFound);
    EXPECT_EQ(catalog.dependentList.size(), 2u);

    EXPECT_EQ(service.requests(),
              (Lines{kServlet + std::string("updates") + sof(kApp, "2.10000") + " HTTP/1.1",
                     kServlet + std::string("associations") + sof(kApp, "2.10000") + "&type=dependency HTTP/1.1",
                     kServlet + std::string("associations") + sof(kHelper, "1.50000") + " HTTP/1.1",
                     kServlet + std::string("associations") + sof(kHelper, "1.50000") + " HTTP/1.1"}));

    // A type the service does not know gives no association: nothing found.
    SoftwareCatalog fresh;
    EXPECT_EQ(query.getAssociations(fresh, kApp, 2.1, 25, 11, "related", nullptr), kQueryNothingFound);
}

TEST_F(ServiceQueries, ClientMessagesFailTheQueryButKeepTheRecords) {
    publishChain();
    ServiceSoftware app(kApp, 2001, "App", {"2.10000"});
    app.dependsOn(kHelper);
    app.clientMsg = "App withdrawn.";
    service.publish(app);
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    EXPECT_EQ(query.getAssociations(catalog, kApp, 2.1, 25, 11, "dependency", nullptr), kQueryFailed);
    EXPECT_EQ(query.lastError(), "App withdrawn.");
    EXPECT_EQ(catalog.dependentList.size(), 1u);
    EXPECT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, nullptr), kQueryFailed);
    EXPECT_EQ(query.lastError(), "App withdrawn.");
    EXPECT_EQ(catalog.mainList.size(), 1u);
}

TEST_F(ServiceQueries, InstallScriptResults) {
    publishChain();
    service.setInstallScript(7, "<install><task><unzip /><fileName>{$DIR_UPDATES}app.zip</fileName>"
                                "<dest>{$DIR_HOME}</dest><overwrite>true</overwrite></task></install>");
    service.setInstallScript(9, "<install><clientMsg>Base is not for this system.</clientMsg></install>");
    ServiceQuery query(service.serviceUrl());
    const struct {
        int fileId;
        int result;
        size_t items;
        const char* lastError;
    } cases[] = {
        {7, kQueryFound, 1, ""},
        {8, kQueryNothingFound, 0, ""},  // a file without a script gets an empty one
        {9, kQueryFailed, 0, "Base is not for this system."},
        {99, kQueryFailed, 0, kNotFound},
    };
    for (const auto& c : cases) {
        service.clearRequests();
        InstallData data;
        EXPECT_EQ(query.getInstallScript(data, c.fileId, nullptr), c.result) << c.fileId;
        EXPECT_EQ(data.items.size(), c.items) << c.fileId;
        if (c.result == kQueryFailed) {
            EXPECT_EQ(FirstLine(query.lastError()), c.lastError) << c.fileId;
        }
        EXPECT_EQ(service.requests(),
                  Lines{kServlet + std::string("install&file=") + std::to_string(c.fileId) + " HTTP/1.1"});
    }
}

TEST_F(ServiceQueries, StatusAndConnectionFailuresOfEveryQuery) {
    publishChain();
    const struct {
        const char* rule;
        const char* lastError;
    } failures[] = {
        {"status 404", kNotFound},
        {"status 500",
         "Something internal went wrong with the server. The server didn't crash, but it got so sick that it "
         "couldn't process your request. Usually, this indicates a configuration problem on the server."},
        {"status 418", "Unknown error"},
        {"cut 30", "The connection ended before the whole reply arrived."},
    };
    ServiceQuery query(service.serviceUrl());
    const std::string appUrl = service.fileUrl("app.zip");  // kept once the service stops
    const std::string host = "127.0.0.1:" + std::to_string(service.port());
    // A status failure's second line names the server and what was asked for.
    auto runAll = [&](const char* what, const std::string& expected) {
        auto check = [&](const std::string& error, const std::string& asked) {
            const bool wholeText = expected.find('\n') != std::string::npos;
            EXPECT_EQ(wholeText ? error : FirstLine(error), expected) << what;
            if (std::string(what).rfind("status", 0) == 0) {
                EXPECT_NE(error.find("\nThe server " + host + " answered " + std::string(what).substr(7) +
                                     " when asked for " + asked + ". "),
                          std::string::npos)
                    << error;
            }
        };
        SoftwareCatalog catalog;
        InstallData data;
        EXPECT_EQ(query.checkAvailability(kApp, 1.0, 25, 11, nullptr), kQueryFailed) << what;
        check(query.lastError(), "SoftwareUpdateServlet");
        EXPECT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, nullptr), kQueryFailed) << what;
        check(query.lastError(), "SoftwareUpdateServlet");
        EXPECT_EQ(query.getAssociations(catalog, kApp, 1.0, 25, 11, "dependency", nullptr), kQueryFailed)
            << what;
        check(query.lastError(), "SoftwareUpdateServlet");
        EXPECT_EQ(query.getInstallScript(data, 7, nullptr), kQueryFailed) << what;
        check(query.lastError(), "SoftwareUpdateServlet");
        EXPECT_EQ(query.retrieveLink(appUrl, "app.zip", folder.path(), nullptr), kQueryFailed) << what;
        check(query.lastError(), "app.zip");
    };
    for (const auto& failure : failures) {
        service.clearMisbehaviour();
        service.misbehave("/", failure.rule);
        runAll(failure.rule, failure.lastError);
    }
    service.clearMisbehaviour();
    service.stop();
    runAll("no service", std::string(kNoConnectionText) + "\nCould not connect to " + host +
                             ": the connection was refused. Check your network or proxy settings, then run the "
                             "installer again.");
}

TEST_F(ServiceQueries, RepliesWithoutContentLengthAreReadWhole) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    for (const char* delivery : {"nolength", "chunked"}) {
        service.clearMisbehaviour();
        service.misbehave("/", delivery);
        SoftwareCatalog catalog;
        CountingProgressBar bar;
        EXPECT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, &bar), kQueryFound) << delivery;
        ASSERT_EQ(catalog.mainList.size(), 1u);
        EXPECT_EQ(catalog.mainList[0]->dependencies.size(), 1u);
        EXPECT_EQ(bar.position(), bar.upper());
        EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), "app.zip", folder.path(), nullptr), kQueryFound)
            << delivery;
        EXPECT_EQ(ReadTextFile(folder.path() + "app.zip"), std::string(5000, 'a'));
    }
}

// Replies that are not service documents, served as files: the query URL's
// parameters do not change what /files/ returns.
TEST_F(ServiceQueries, BadDocumentsFailWithAReason) {
    std::string garbage;
    for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    std::string huge = "<softwareUpdate>";
    while (huge.size() < (9 << 20)) huge += "<note>a small element</note>\n";
    huge += "</softwareUpdate>";
    const struct {
        const char* what;
        std::string body;
        const char* lastError;
    } cases[] = {
        {"empty body", "", kUnreadableReplyText},
        {"binary garbage", garbage, kUnreadableReplyText},
        {"plain text", "Service unavailable, try later\n", kUnreadableReplyText},
        {"unclosed document", "<softwareUpdate><association><software><ID>1</ID>", kUnreadableReplyText},
        {"html page", "<html><body><p>Welcome<br></body></html>", kUnreadableReplyText},
        {"many megabytes", huge, "The reply from the update service is larger than any it should send."},
        // The reader stops at a text run no document needs; the rest is unread.
        {"one huge text", "<softwareUpdate>" + std::string(1 << 20, 'x') + "</softwareUpdate>", kUnreadableReplyText},
    };
    for (const auto& c : cases) {
        service.putFile("reply.xml", c.body);
        ServiceQuery query(service.fileUrl("reply.xml"));
        SoftwareCatalog catalog;
        InstallData data;
        EXPECT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, nullptr), kQueryFailed) << c.what;
        EXPECT_EQ(query.lastError(), c.lastError) << c.what;
        EXPECT_EQ(query.checkAvailability(kApp, 1.0, 25, 11, nullptr), kQueryFailed) << c.what;
        EXPECT_EQ(query.getInstallScript(data, 7, nullptr), kQueryFailed) << c.what;
        EXPECT_EQ(query.lastError(), c.lastError) << c.what;
    }
    // A well-formed document without software: answered, nothing found.
    service.putFile("reply.xml", "<?xml version=\"1.0\"?>\n<softwareUpdate>\n</softwareUpdate>\n");
    ServiceQuery query(service.fileUrl("reply.xml"));
    SoftwareCatalog catalog;
    EXPECT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, nullptr), kQueryNothingFound) << query.lastError();
}

TEST_F(ServiceQueries, QueryProgressCoversTheReplyAndEndsAtTheTop) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    CountingProgressBar bar;
    SoftwareCatalog catalog;
    ASSERT_EQ(query.getUpdates(catalog, kApp, 1.0, 25, 11, &bar), kQueryFound);
    HttpFetch reply = FetchUrl(service.serviceUrl() + "?task=updates" + sof(kApp, "1.00000"));
    EXPECT_EQ(bar.step(), 1);
    EXPECT_EQ(bar.upper(), static_cast<int>(reply.body.size()) + 4096);
    EXPECT_EQ(bar.steps, static_cast<long long>(reply.body.size()));
    EXPECT_EQ(bar.position(), bar.upper());
}

TEST_F(ServiceQueries, FileWithAFailingFirstLinkAndAWorkingSecond) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    ASSERT_EQ(query.getAssociations(catalog, kApp, 2.1, 25, 11, "dependency", nullptr), kQueryFound);
    const FileRecord& jar = *catalog.dependentList.at(0)->files.at(0);
    service.clearRequests();
    CountingProgressBar bar;
    EXPECT_EQ(query.retrieveFile(jar, folder.path(), &bar), kQueryFound);
    EXPECT_EQ(ReadTextFile(folder.path() + "helper.jar"), "helper bytes");
    EXPECT_EQ(FirstLine(query.lastError()), kNotFound);  // left by the first link
    EXPECT_EQ(service.requests(), (Lines{"GET /files/gone.jar HTTP/1.1", "GET /files/helper.jar HTTP/1.1"}));
    EXPECT_EQ(bar.position(), bar.upper());

    FileRecord noLinks;
    noLinks.fileName = "nothing.bin";
    EXPECT_EQ(query.retrieveFile(noLinks, folder.path(), nullptr), kQueryNothingFound);
    FileRecord allGone;
    allGone.fileName = "gone.jar";
    allGone.sha256 = jar.sha256;
    allGone.links.push_back(std::make_unique<LinkRecord>(service.fileUrl("gone.jar")));
    EXPECT_EQ(query.retrieveFile(allGone, folder.path(), nullptr), kQueryFailed);
}

TEST_F(ServiceQueries, PublishedDigestsAreCheckedAndAMismatchLeavesNoFile) {
    // "app.zip" is published with the digest of its bytes; its second entry
    // links to other bytes under the same name, as a tampered mirror would.
    service.publish(ServiceSoftware(kApp, 2001, "App", {"2.10000"})
                        .file(7, "app.zip", "2.10000")
                        .file(8, "app.zip", "2.10000", {"/files/tampered.zip"}));
    service.putFile("app.zip", "abc");
    service.putFile("tampered.zip", "abd");
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    ASSERT_EQ(query.getUpdates(catalog, kApp, 0.0, 25, 11, nullptr), kQueryFound) << query.lastError();
    const FileList& files = catalog.mainList.at(0)->files;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(files[0]->fileSize, 3);

    EXPECT_EQ(query.retrieveFile(*files[0], folder.path(), nullptr), kQueryFound) << query.lastError();
    EXPECT_EQ(ReadTextFile(folder.path() + "app.zip"), "abc");
    DeleteFileA((folder.path() + "app.zip").c_str());

    EXPECT_EQ(query.retrieveFile(*files[1], folder.path(), nullptr), kQueryFailed);
    EXPECT_EQ(query.lastError(), DigestMismatchText("app.zip"));
    EXPECT_FALSE(PathExists(folder.path() + "app.zip"));

    // Either case of hexadecimal digits is the same digest.
    FileRecord upper;
    upper.fileName = "upper.zip";
    upper.sha256 = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    upper.links.push_back(std::make_unique<LinkRecord>(service.fileUrl("app.zip")));
    EXPECT_EQ(query.retrieveFile(upper, folder.path(), nullptr), kQueryFound) << query.lastError();

    // Without a digest nothing could be checked: nothing is fetched.
    FileRecord unchecked;
    unchecked.fileName = "unchecked.zip";
    unchecked.links.push_back(std::make_unique<LinkRecord>(service.fileUrl("app.zip")));
    service.clearRequests();
    EXPECT_EQ(query.retrieveFile(unchecked, folder.path(), nullptr), kQueryFailed);
    EXPECT_EQ(query.lastError(), MissingDigestText("unchecked.zip"));
    EXPECT_TRUE(service.requests().empty());
    EXPECT_FALSE(PathExists(folder.path() + "unchecked.zip"));
}

TEST_F(ServiceQueries, DownloadsKeepFolderAndFileNamesInAnyScript) {
    service.putFile("app.zip", "abc");
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::string name = "приложение 应用.zip";
    const std::string downloads = folder.path() + "загрузки 下载\\";
    ASSERT_TRUE(MakeFolder(downloads));
    ServiceQuery query(service.serviceUrl());
    EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), name, downloads, nullptr, digest), kQueryFound)
        << query.lastError();
    EXPECT_EQ(ReadTextFile(downloads + name), "abc");

    // Bytes that are not the published ones are deleted by that same name.
    service.putFile("app.zip", "abd");
    EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), name, downloads, nullptr, digest), kQueryFailed);
    EXPECT_EQ(query.lastError(), DigestMismatchText(name));
    EXPECT_FALSE(PathExists(downloads + name));
}

TEST_F(ServiceQueries, DownloadTargetsThatCannotBeWritten) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    std::string nowhere = folder.path() + "missing\\";
    EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), "app.zip", nowhere, nullptr), kQueryFailed);
    EXPECT_NE(query.lastError().find(nowhere + "app.zip"), std::string::npos) << query.lastError();

    // Names from the service never leave the download folder.
    service.clearRequests();
    for (const char* name : {"..\\escape.zip", "../escape.zip", "sub\\app.zip", "C:app.zip", "..", ""}) {
        EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), name, folder.path(), nullptr), kQueryFailed)
            << name;
        EXPECT_NE(query.lastError().find("not a plain file name"), std::string::npos) << name;
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(ServiceQueries, DownloadAndInstallLoopsStopAtTheFirstFailure) {
    publishChain();
    service.setInstallScript(7, "<install><task><unzip /><fileName>app.zip</fileName></task></install>");
    service.setInstallScript(9, "<install><task><delete /><fileName>old.jar</fileName></task></install>");
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    resolveChain(query, catalog);
    ASSERT_EQ(catalog.mainList.size(), 1u);
    ASSERT_EQ(catalog.dependentList.size(), 2u);

    CountingProgressBar bar, total;
    EXPECT_EQ(query.retrieveSoftware(catalog.mainList, folder.path(), &bar, &total), kQueryFound);
    EXPECT_EQ(query.retrieveSoftware(catalog.dependentList, folder.path(), &bar, &total), kQueryFound);
    EXPECT_EQ(total.steps, 4);
    for (const char* name : {"app.zip", "helper.jar", "base.jar", "base-extra.jar"})
        EXPECT_TRUE(PathExists(folder.path() + name)) << name;

    service.clearRequests();
    EXPECT_EQ(query.installSoftware(catalog.mainList, &bar, &total), kQueryNothingFound);
    EXPECT_EQ(query.installSoftware(catalog.dependentList, &bar, &total), kQueryNothingFound);
    EXPECT_EQ(total.steps, 8);
    EXPECT_EQ(catalog.mainList[0]->files[0]->installData.items.size(), 1u);
    EXPECT_EQ(catalog.dependentList[1]->files[0]->installData.items[0]->type, kInstallDelete);
    EXPECT_EQ(service.requests().size(), 4u);

    // The first failing file ends each loop; the files after it are not asked
    // for. None is in the folder, so each is fetched again.
    for (const char* name : {"app.zip", "helper.jar", "base.jar", "base-extra.jar"})
        DeleteFileA((folder.path() + name).c_str());
    service.putFile("base.jar", "");
    service.misbehave("/files/base.jar", "status 503");
    service.misbehave("/servlet/SoftwareUpdateServlet?task=install&file=9", "status 500");
    service.clearRequests();
    total.steps = 0;
    EXPECT_EQ(query.retrieveSoftware(catalog.dependentList, folder.path(), &bar, &total), kQueryFailed);
    EXPECT_EQ(FirstLine(query.lastError()), UpdateServiceClient::statusText(503));
    EXPECT_EQ(query.installSoftware(catalog.dependentList, &bar, &total), kQueryFailed);
    EXPECT_EQ(FirstLine(query.lastError()), UpdateServiceClient::statusText(500));
    EXPECT_EQ(total.steps, 2);  // helper.jar downloaded, its script read
    // A 503 is worth three more tries.
    EXPECT_EQ(service.requests(),
              (Lines{"GET /files/gone.jar HTTP/1.1", "GET /files/helper.jar HTTP/1.1", "GET /files/base.jar HTTP/1.1",
                     "GET /files/base.jar HTTP/1.1", "GET /files/base.jar HTTP/1.1", "GET /files/base.jar HTTP/1.1",
                     kServlet + std::string("install&file=8 HTTP/1.1"),
                     kServlet + std::string("install&file=9 HTTP/1.1")}));
}

TEST_F(ServiceQueries, ADownloadCutShortGoesOnFromWhereItStopped) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>((i * 31 + i / 977) & 0xFF);
    service.putFile("big.bin", bytes);
    service.misbehave("/files/big.bin", "cut-once 70000");
    ServiceQuery query(service.serviceUrl());
    ForwardOnlyBar bar;
    EXPECT_EQ(query.retrieveLink(service.fileUrl("big.bin"), "big.bin", folder.path(), &bar, Sha256Of(bytes)),
              kQueryFound)
        << query.lastError();
    EXPECT_TRUE(ReadTextFile(folder.path() + "big.bin") == bytes);
    std::vector<RecordedRequest> requests = service.recordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("Range"), "");
    EXPECT_EQ(requests[1].header("Range"), "bytes=70000-");
    EXPECT_EQ(bar.rangeCalls, 1);
    EXPECT_FALSE(bar.movedBack);
    EXPECT_EQ(bar.position(), bar.upper());
}

// A reply that does not take byte ranges (the servlet's) is fetched whole again.
TEST_F(ServiceQueries, ADownloadWithoutRangesStartsOver) {
    publishChain();
    const std::string script = "<install><task><unzip /><fileName>" + std::string(3000, 'x') + "</fileName></task></install>";
    service.setInstallScript(7, script);
    const std::string url = service.serviceUrl() + "?task=install&file=7";
    service.misbehave("/servlet", "cut-once 1000");
    ServiceQuery query(service.serviceUrl());
    CountingProgressBar bar;
    EXPECT_EQ(query.retrieveLink(url, "script.xml", folder.path(), &bar), kQueryFound) << query.lastError();
    const std::string saved = ReadTextFile(folder.path() + "script.xml");
    EXPECT_NE(saved.find(script), std::string::npos);
    std::vector<RecordedRequest> requests = service.recordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].line, requests[0].line);
    EXPECT_EQ(requests[1].header("Range"), "");
    EXPECT_EQ(bar.rangeCalls, 2);

    // Cut every time, it fails after three more tries, each going on.
    service.misbehave("/files/app.zip", "cut 30");
    service.clearRequests();
    EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), "app.zip", folder.path(), nullptr), kQueryFailed);
    EXPECT_EQ(query.lastError(), "The connection ended before the whole reply arrived.");
    requests = service.recordedRequests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].header("Range"), "bytes=30-");
}

TEST_F(ServiceQueries, StopDuringTheWaitEndsTheRetries) {
    publishChain();
    // Far longer than the test: a stop that did not end the wait shows as a
    // second request (or a test that hangs), never as a pass.
    RetryWait longWait(60000);
    service.misbehave("/files/app.zip", "status 503");
    std::atomic<bool> stop{false};
    ServiceQuery query(service.serviceUrl());
    query.setStopFlag(&stop);
    std::thread stopper([&] {
        service.waitForRequest("/files/app.zip");
        stop = true;
    });
    EXPECT_EQ(query.retrieveLink(service.fileUrl("app.zip"), "app.zip", folder.path(), nullptr), kQueryFailed);
    stopper.join();
    EXPECT_EQ(query.lastError(), "The download was stopped.");
    EXPECT_EQ(service.requests(), Lines{"GET /files/app.zip HTTP/1.1"});
}

TEST_F(ServiceQueries, AFileAlreadyThereWithThePublishedDigestIsNotFetchedAgain) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    const FileRecord& app = AppFile(query, catalog);
    ASSERT_FALSE(app.sha256.empty());
    const std::string path = folder.path() + "app.zip", published(5000, 'a');
    const Lines fetched{"GET /files/app.zip HTTP/1.1"};
    const struct {
        const char* what;
        std::string before;  // empty: no file
        Lines requests;
    } cases[] = {
        {"no file yet", "", fetched},
        {"the published bytes", published, {}},
        {"other bytes of the same size", std::string(5000, 'b'), fetched},
        {"the first bytes only", published.substr(0, 100), fetched},
    };
    for (const auto& c : cases) {
        DeleteFileA(path.c_str());
        if (!c.before.empty()) WriteTextFile(path, c.before);
        service.clearRequests();
        CountingProgressBar bar;
        EXPECT_EQ(query.retrieveFile(app, folder.path(), &bar), kQueryFound) << c.what << ": " << query.lastError();
        EXPECT_EQ(service.requests(), c.requests) << c.what;
        EXPECT_EQ(ReadTextFile(path), published) << c.what;
        EXPECT_EQ(bar.position(), bar.upper()) << c.what << ": the bar reaches its end either way";
    }
}

// Held as verified, a download can be read, by the zip reader's sharing,
// but nobody can write or delete it until it is let go; a file an earlier
// run left is held the same way.
TEST_F(ServiceQueries, VerifiedDownloadsAreHeldAgainstChangesUntilLetGo) {
    publishChain();
    ServiceQuery query(service.serviceUrl());
    SoftwareCatalog catalog;
    const FileRecord& app = AppFile(query, catalog);
    const std::string path = folder.path() + "app.zip";
    query.holdVerifiedDownloads();
    for (const char* pass : {"downloaded", "already there"}) {
        ASSERT_EQ(query.retrieveFile(app, folder.path(), nullptr), kQueryFound) << pass << ": " << query.lastError();
        const auto held = query.takeHeldDownloads();
        ASSERT_EQ(held.size(), 1u) << pass;
        EXPECT_EQ(AsciiUpperCase(held[0].first), AsciiUpperCase(path)) << pass;
        const DWORD allSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        EXPECT_FALSE(UniqueFileHandle(
            CreateFileA(path.c_str(), GENERIC_WRITE, allSharing, nullptr, OPEN_EXISTING, 0, nullptr)))
            << pass;
        EXPECT_FALSE(DeleteFileA(path.c_str())) << pass;
        EXPECT_TRUE(UniqueFileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr)))
            << pass;
    }
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "let go";
}
