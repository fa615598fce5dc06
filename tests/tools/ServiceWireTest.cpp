// What the update service puts on the wire: downloads, the request log, the
// misbehaviour switches and shutdown, seen through WinINet under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "support/ScratchFolder.h"
#include "support/UpdateService.h"

namespace {

const char kServlet[] = "/servlet/SoftwareUpdateServlet";

std::string SomeBytes(size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

class ServiceWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started()) << service.startError();
        service.putFile("data.bin", payload);
        service.publish(ServiceSoftware("a3d907:e2c41b7f96:-7c5e", 2001, "App", {"1.00000"})
                            .file(7, "data.bin"));
    }
    std::string installUrl() const { return service.serviceUrl() + "?task=install&file=7"; }

    // NUL, CR, LF and high bytes included: downloads are raw.
    const std::string payload = SomeBytes(10000) + "\r\n\n\0end";
    UpdateService service;
};

TEST_F(ServiceWire, DownloadsAreRawBytesWithTheirLength) {
    HttpFetch fetch = FetchUrl(service.fileUrl("data.bin"));
    ASSERT_TRUE(fetch.ok) << fetch.error;
    EXPECT_EQ(fetch.status, 200u);
    ASSERT_TRUE(fetch.hasContentLength);
    EXPECT_EQ(fetch.contentLength, payload.size());
    EXPECT_TRUE(fetch.body == payload);
}

TEST_F(ServiceWire, DownloadsStayInsideTheFilesFolder) {
    for (const char* path : {"/files/missing.bin", "/files/%2E%2E%2Fsoftware%2F0.txt",
                             "/files/..%2Fsoftware%2F0.txt", "/files/"}) {
        SCOPED_TRACE(path);
        HttpFetch fetch = FetchUrl(service.baseUrl() + path);
        EXPECT_EQ(fetch.status, 404u);
        EXPECT_EQ(fetch.body.find("guid"), std::string::npos);
    }
}

TEST_F(ServiceWire, LogHoldsEachRequestLineAsSent) {
    FetchUrl(service.serviceUrl() + "?task=availability&sof=a3d907:e2c41b7f96:-7c5e_2.10000&lang=25&os=11");
    FetchUrl(installUrl());
    FetchUrl(service.fileUrl("data.bin"));
    FetchUrl(service.baseUrl() + "/nowhere?x=1&y");
    std::vector<std::string> expected = {
        "GET /servlet/SoftwareUpdateServlet?task=availability&sof=a3d907:e2c41b7f96:-7c5e_2.10000&lang=25&os=11 HTTP/1.1",
        "GET /servlet/SoftwareUpdateServlet?task=install&file=7 HTTP/1.1",
        "GET /files/data.bin HTTP/1.1",
        "GET /nowhere?x=1&y HTTP/1.1",
    };
    EXPECT_EQ(service.requests(), expected);
    std::string log;
    for (const std::string& line : expected) log += line + "\n";
    EXPECT_EQ(ReadTextFile(service.logPath()), log);
    service.clearRequests();
    EXPECT_TRUE(service.requests().empty());
    FetchUrl(installUrl());
    EXPECT_EQ(service.requests(), std::vector<std::string>{expected[1]});
}

TEST_F(ServiceWire, HeadersAreRecordedWithEachRequest) {
    FetchUrl(installUrl());
    FetchUrl(service.fileUrl("data.bin"));
    std::vector<RecordedRequest> recorded = service.recordedRequests();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].line, "GET /servlet/SoftwareUpdateServlet?task=install&file=7 HTTP/1.1");
    EXPECT_EQ(recorded[1].line, "GET /files/data.bin HTTP/1.1");
    for (const RecordedRequest& request : recorded) {
        EXPECT_EQ(request.header("user-agent"), "vyn-tests");  // FetchUrl's agent; names ignore case
        EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(service.port()));
        EXPECT_EQ(request.header("X-Absent"), "");
        for (const auto& field : request.headers) EXPECT_NE(field.first, "REMOTE_ADDR");
    }
}

TEST_F(ServiceWire, WaitForRequestSeesRequestsMadeElsewhere) {
    std::string url = installUrl();
    std::thread later([url] {
        Sleep(300);
        FetchUrl(url);
    });
    EXPECT_TRUE(service.waitForRequest("task=install&file=7", 5000));
    later.join();
    EXPECT_FALSE(service.waitForRequest("task=updates", 200));
}

TEST_F(ServiceWire, StatusRuleAppliesByPrefixAndSwitchesOff) {
    for (unsigned long status : {404ul, 418ul, 500ul, 503ul}) {
        service.clearMisbehaviour();
        service.misbehave(std::string(kServlet) + "?task=install", "status " + std::to_string(status));
        SCOPED_TRACE(status);
        EXPECT_EQ(FetchUrl(installUrl()).status, status);
        EXPECT_EQ(FetchUrl(service.serviceUrl() + "?task=updates&sof=a3d907:e2c41b7f96:-7c5e_1.0").status,
                  200u);
        EXPECT_EQ(FetchUrl(service.fileUrl("data.bin")).status, 200u);
    }
    service.clearMisbehaviour();
    EXPECT_EQ(FetchUrl(installUrl()).status, 200u);
}

TEST_F(ServiceWire, CutBodyAnnouncesTheFullLengthButEndsEarly) {
    service.misbehave("/files/data.bin", "cut 100");
    HttpFetch fetch = FetchUrl(service.fileUrl("data.bin"));
    EXPECT_EQ(fetch.status, 200u);
    ASSERT_TRUE(fetch.hasContentLength);
    EXPECT_EQ(fetch.contentLength, payload.size());
    EXPECT_LT(fetch.body.size(), payload.size());
    EXPECT_EQ(fetch.body, payload.substr(0, fetch.body.size()));
    // The service itself is unharmed.
    service.clearMisbehaviour();
    EXPECT_TRUE(FetchUrl(service.fileUrl("data.bin")).body == payload);
}

TEST_F(ServiceWire, FilesAnswerASingleByteRange) {
    const size_t size = payload.size();
    const std::string total = "/" + std::to_string(size);
    const std::string last = std::to_string(size - 1);
    const struct {
        std::string range;
        unsigned long status;
        size_t first;
        size_t length;
        std::string contentRange;
    } cases[] = {
        {"", 200, 0, size, ""},
        {"bytes=100-", 206, 100, size - 100, "bytes 100-" + last + total},
        {"bytes=5-9", 206, 5, 5, "bytes 5-9" + total},
        {"bytes=-10", 206, size - 10, 10, "bytes " + std::to_string(size - 10) + "-" + last + total},
        {"bytes=10-99999999", 206, 10, size - 10, "bytes 10-" + last + total},
        {"bytes=" + std::to_string(size) + "-", 416, 0, 0, "bytes *" + total},
        {"bytes=0-1,5-6", 416, 0, 0, "bytes *" + total},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        HttpFetch fetch = FetchUrl(service.fileUrl("data.bin"), c.range.empty() ? "" : "Range: " + c.range + "\r\n");
        ASSERT_TRUE(fetch.ok) << fetch.error;
        EXPECT_EQ(fetch.status, c.status);
        EXPECT_EQ(fetch.contentRange, c.contentRange);
        EXPECT_TRUE(fetch.body == payload.substr(c.first, c.length));
    }
    EXPECT_EQ(service.recordedRequests().back().header("Range"), "bytes=0-1,5-6");
}

TEST_F(ServiceWire, CutOnceCutsOnlyTheFirstReply) {
    service.misbehave("/files/data.bin", "cut-once 100");
    HttpFetch cut = FetchUrl(service.fileUrl("data.bin"));
    EXPECT_EQ(cut.contentLength, payload.size());
    EXPECT_LT(cut.body.size(), payload.size());
    const std::string rest = "Range: bytes=" + std::to_string(cut.body.size()) + "-\r\n";
    HttpFetch resumed = FetchUrl(service.fileUrl("data.bin"), rest);
    ASSERT_TRUE(resumed.ok) << resumed.error;
    EXPECT_EQ(resumed.status, 206u);
    EXPECT_TRUE(cut.body + resumed.body == payload);
    EXPECT_TRUE(FetchUrl(service.fileUrl("data.bin")).body == payload);
    // A changed rule set arms it again.
    service.misbehave("/servlet", "delay 0");
    EXPECT_LT(FetchUrl(service.fileUrl("data.bin")).body.size(), payload.size());
}

TEST_F(ServiceWire, RepliesWithoutContentLengthStillCarryTheWholeBody) {
    for (const char* delivery : {"nolength", "chunked"}) {
        service.clearMisbehaviour();
        service.misbehave("/", delivery);
        SCOPED_TRACE(delivery);
        HttpFetch download = FetchUrl(service.fileUrl("data.bin"));
        ASSERT_TRUE(download.ok) << download.error;
        EXPECT_FALSE(download.hasContentLength);
        EXPECT_TRUE(download.body == payload);
        HttpFetch script = FetchUrl(installUrl());
        EXPECT_FALSE(script.hasContentLength);
        EXPECT_NE(script.body.find("</install>"), std::string::npos);
    }
}

TEST_F(ServiceWire, DelayHoldsTheReplyOnlyForMatchingRequests) {
    service.misbehave(std::string(kServlet) + "?task=install", "delay 800");
    DWORD begin = GetTickCount();
    EXPECT_EQ(FetchUrl(installUrl()).status, 200u);
    EXPECT_GE(GetTickCount() - begin, 750u);
    begin = GetTickCount();
    FetchUrl(service.fileUrl("data.bin"));
    EXPECT_LT(GetTickCount() - begin, 500u);
}

TEST_F(ServiceWire, RulesThatDoNotParseAreIgnored) {
    service.misbehave("/files/", "status 99");
    service.misbehave("/files/", "explode");
    service.misbehave("/files/", "cut");
    HttpFetch fetch = FetchUrl(service.fileUrl("data.bin"));
    EXPECT_EQ(fetch.status, 200u);
    EXPECT_TRUE(fetch.body == payload);
}

TEST_F(ServiceWire, ShutdownStopsAndAStartServesAgain) {
    std::string oldBase = service.baseUrl();
    service.stop();
    EXPECT_FALSE(service.started());
    HttpFetch gone = FetchUrl(oldBase + "/files/data.bin");
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.status, 0u);

    ASSERT_TRUE(service.start()) << service.startError();
    EXPECT_TRUE(FetchUrl(service.fileUrl("data.bin")).body == payload);
    EXPECT_EQ(service.requests(), std::vector<std::string>{"GET /files/data.bin HTTP/1.1"});
}

TEST(UpdateServiceLife, MaxSecondsEndsAForgottenService) {
    UpdateService service(1);
    ASSERT_TRUE(service.started()) << service.startError();
    std::string base = service.baseUrl();
    EXPECT_EQ(FetchUrl(base + "/files/x").status, 404u);
    Sleep(1600);
    EXPECT_FALSE(FetchUrl(base + "/files/x").ok);
}

}  // namespace
