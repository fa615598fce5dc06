// The WinINet transport against the real update service on 127.0.0.1: what
// goes on the wire, status and length, downloads, and the failures.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "support/CountingProgressBar.h"
#include "service/InternetErrorText.h"
#include "service/UpdateServiceClient.h"
#include "support/ScratchFolder.h"
#include "support/UpdateService.h"

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started()) << service.startError();
        service.putFile("data.bin", payload);
    }
    std::unique_ptr<HttpRequest> open(const std::string& url) {
        std::unique_ptr<HttpRequest> request = client.openRequest(url, "", "", "");
        EXPECT_TRUE(request) << client.lastError();
        return request;
    }

    // Line ends of every kind and NUL bytes, longer than one read block.
    const std::string payload = [] {
        std::string bytes;
        for (int i = 0; i < 3000; ++i) bytes += std::string("line\n", 5) + std::string("\r\n\0", 3) + char(i);
        return bytes;
    }();
    UpdateService service;
    UpdateServiceClient client;
    ScratchFolder folder{"svc"};
};

std::string WithCrLf(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

}  // namespace

TEST_F(Transport, RequestLineAndHeaderBlockAsTheServiceReceivedThem) {
    ASSERT_TRUE(open(service.serviceUrl() + "?task=install&file=7"));
    ASSERT_TRUE(client.openRequest(service.fileUrl("data.bin"), "", "", "a=1&b=2"));
    std::vector<RecordedRequest> requests = service.recordedRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].line, "GET /servlet/SoftwareUpdateServlet?task=install&file=7 HTTP/1.1");
    std::vector<std::string> names;
    for (const auto& header : requests[0].headers) names.push_back(header.first);
    EXPECT_EQ(names, (std::vector<std::string>{"Accept", "Content-Type", "Host", "User-Agent"}));
    EXPECT_EQ(requests[0].header("Accept"), "*/*");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].header("User-Agent"), "QMT Win32 InstallerApp");
    // A body turns the request into a POST carrying it.
    EXPECT_EQ(requests[1].line, "POST /files/data.bin HTTP/1.1");
    EXPECT_EQ(requests[1].header("Content-Length"), "7");
}

// A path outside ASCII goes as the UTF-8 escapes a browser would send, and
// the file of that name comes back.
TEST_F(Transport, AnAddressWithANonAsciiPathReachesItsFile) {
    WriteTextFile(service.publishDir() + "files\\данные 数据.bin", "named bytes");
    std::unique_ptr<HttpRequest> request = open(service.fileUrl("данные 数据.bin") + "?язык=ru");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->statusCode(), 200);
    std::string path = folder.path() + "named.bin";
    EXPECT_EQ(request->downloadToFile(path, true, nullptr), 1) << request->errorText();
    EXPECT_EQ(ReadTextFile(path), "named bytes");
    EXPECT_EQ(service.requests(), std::vector<std::string>{"GET /files/%D0%B4%D0%B0%D0%BD%D0%BD%D1%8B%D0%B5%20"
                                                           "%E6%95%B0%E6%8D%AE.bin?%D1%8F%D0%B7%D1%8B%D0%BA=ru HTTP/1.1"});
}

TEST_F(Transport, SuccessMeansTwoHundredToTwoNinetyNine) {
    const struct {
        int status;
        bool success;
    } cases[] = {{200, true}, {202, true}, {299, true}, {300, false}, {404, false},
                 {418, false}, {500, false}, {505, false}};
    for (const auto& c : cases) {
        service.clearMisbehaviour();
        service.misbehave("/files/data.bin", "status " + std::to_string(c.status));
        std::unique_ptr<HttpRequest> request = open(service.fileUrl("data.bin"));
        ASSERT_TRUE(request);
        EXPECT_EQ(request->statusCode(), c.status);
        EXPECT_EQ(request->isSuccess(), c.success) << c.status;
    }
    EXPECT_EQ(UpdateServiceClient::statusText(404), "The requested site or file was not found.");
    EXPECT_EQ(UpdateServiceClient::statusText(418), "Unknown error");
}

TEST_F(Transport, ContentLengthStatedOrWhatIsAvailable) {
    std::unique_ptr<HttpRequest> stated = open(service.fileUrl("data.bin"));
    ASSERT_TRUE(stated);
    EXPECT_TRUE(stated->hasContentLength());
    EXPECT_EQ(stated->contentLength(), static_cast<int64_t>(payload.size()));

    for (const char* delivery : {"nolength", "chunked"}) {
        service.clearMisbehaviour();
        service.misbehave("/files/", delivery);
        std::unique_ptr<HttpRequest> unstated = open(service.fileUrl("data.bin"));
        ASSERT_TRUE(unstated);
        EXPECT_FALSE(unstated->hasContentLength()) << delivery;
        EXPECT_GT(unstated->contentLength(), 0) << delivery;
        EXPECT_LE(unstated->contentLength(), static_cast<int64_t>(payload.size())) << delivery;
        // The whole body still arrives and counts as whole.
        std::string path = folder.path() + delivery;
        EXPECT_EQ(unstated->downloadToFile(path, true, nullptr), 1) << unstated->errorText();
        EXPECT_TRUE(ReadTextFile(path) == payload) << delivery;
    }
}

TEST_F(Transport, DownloadCopiesRawOrWithCrLfAndMovesTheBarByBytes) {
    for (bool raw : {true, false}) {
        std::unique_ptr<HttpRequest> request = open(service.fileUrl("data.bin"));
        ASSERT_TRUE(request);
        CountingProgressBar bar;
        bar.setRange(0, 1 << 24);
        bar.setPosition(2);
        std::string path = folder.path() + (raw ? "raw.bin" : "text.txt");
        ASSERT_EQ(request->downloadToFile(path, raw, &bar), 1) << request->errorText();
        std::string saved = ReadTextFile(path);
        EXPECT_TRUE(saved == (raw ? payload : WithCrLf(payload))) << raw;
        EXPECT_EQ(bar.position(), 2 + static_cast<int>(payload.size()));
        EXPECT_EQ(bar.steps, 0);
        // The reply stream is gone afterwards.
        EXPECT_EQ(request->statusCode(), 0);
        EXPECT_EQ(request->downloadToFile(path + ".again", raw, nullptr), 0);
        EXPECT_FALSE(request->errorText().empty());
    }
}

TEST_F(Transport, FailedDownloadsSayWhyAndLeaveThePartialFile) {
    std::unique_ptr<HttpRequest> request = open(service.fileUrl("data.bin"));
    ASSERT_TRUE(request);
    std::string nowhere = folder.path() + "no-such-folder\\data.bin";
    EXPECT_EQ(request->downloadToFile(nowhere, true, nullptr), 0);
    EXPECT_NE(request->errorText().find(nowhere), std::string::npos) << request->errorText();
    EXPECT_FALSE(PathExists(nowhere));

    service.misbehave("/files/data.bin", "cut 5000");
    request = open(service.fileUrl("data.bin"));
    ASSERT_TRUE(request);
    std::string partial = folder.path() + "partial.bin";
    EXPECT_EQ(request->downloadToFile(partial, true, nullptr), 0);
    EXPECT_EQ(request->errorText(), "The connection ended before the whole reply arrived.");
    EXPECT_TRUE(ReadTextFile(partial) == payload.substr(0, 5000));
}

// The request itself finds no way to the server; the known first line stays
// and a second names the host, the cause and what to do.
TEST_F(Transport, NoWayToTheServerIsTheConnectionMessageWithTheHostAndCause) {
    const std::string host = "127.0.0.1:" + std::to_string(service.port());
    std::string url = service.fileUrl("data.bin");
    service.stop();
    EXPECT_FALSE(client.openRequest(url, "", "", ""));
    EXPECT_EQ(client.lastError(),
              "An internet connection was not found.  If you are using dial-up, please connect and run this "
              "application again.\nCould not connect to " + host + ": the connection was refused. Check your "
              "network or proxy settings, then run the installer again.");

    EXPECT_FALSE(client.openRequest("http://updates.proxy-only.test/files/data.bin", "", "", ""));
    EXPECT_EQ(client.lastError(), std::string(kNoConnectionText) +
                                      "\nCould not connect to updates.proxy-only.test: the name "
                                      "updates.proxy-only.test could not be found. Check your network or proxy "
                                      "settings, then run the installer again.");
}

TEST_F(Transport, OnlyHttpAndHttpsAddressesAreRequested) {
    std::string local = folder.path() + "local.xml";
    WriteTextFile(local, "<a>x</a>\n");
    std::string fileUrl = "file:///" + local;
    for (char& c : fileUrl)
        if (c == '\\') c = '/';
    for (const std::string& url : {fileUrl, std::string("\\\\127.0.0.1\\share\\app.zip"),
                                   "ftp://127.0.0.1:" + std::to_string(service.port()) + "/app.zip"}) {
        EXPECT_FALSE(client.openRequest(url, "", "", "")) << url;
        EXPECT_EQ(client.lastError(),
                  "The address \"" + url + "\" is not an http or https address; nothing was requested from it.");
    }
    EXPECT_TRUE(service.requests().empty());
}

// Redirects keep their scheme: within http they are followed, up to a bound;
// to any other scheme nothing more is requested.
TEST_F(Transport, RedirectsAreFollowedOnlyWithinTheirScheme) {
    service.misbehave("/files/moved.bin", "redirect " + service.fileUrl("data.bin"));
    service.misbehave("/files/relative.bin", "redirect /files/data.bin");
    for (const char* name : {"moved.bin", "relative.bin"}) {
        service.clearRequests();
        std::unique_ptr<HttpRequest> request = client.openRequest(service.fileUrl(name), "", "", "");
        ASSERT_TRUE(request) << client.lastError();
        EXPECT_EQ(request->statusCode(), 200);
        EXPECT_EQ(request->downloadToFile(folder.path() + name, true, nullptr), 1) << request->errorText();
        EXPECT_TRUE(ReadTextFile(folder.path() + name) == payload) << name;
        EXPECT_EQ(service.requests(), (std::vector<std::string>{"GET /files/" + std::string(name) + " HTTP/1.1",
                                                                "GET /files/data.bin HTTP/1.1"}));
    }

    const std::string port = std::to_string(service.port());
    for (const std::string& target : {"https://127.0.0.1:" + port + "/files/data.bin",
                                      "ftp://127.0.0.1:" + port + "/files/data.bin", std::string("file:///C:/a.zip")}) {
        service.clearMisbehaviour();
        service.clearRequests();
        service.misbehave("/files/other.bin", "redirect " + target);
        EXPECT_FALSE(client.openRequest(service.fileUrl("other.bin"), "", "", "")) << target;
        EXPECT_EQ(client.lastError(), "The update service at 127.0.0.1 redirected to an address that is not http; "
                                      "the download was refused.");
        EXPECT_EQ(service.requests(), std::vector<std::string>{"GET /files/other.bin HTTP/1.1"}) << target;
    }

    // A redirect to itself: after the last one followed, the redirect is the reply.
    service.clearMisbehaviour();
    service.clearRequests();
    service.misbehave("/files/loop.bin", "redirect /files/loop.bin");
    std::unique_ptr<HttpRequest> looped = open(service.fileUrl("loop.bin"));
    ASSERT_TRUE(looped);
    EXPECT_EQ(looped->statusCode(), 302);
    EXPECT_EQ(service.requests().size(), static_cast<size_t>(UpdateServiceClient::kMaxRedirects + 1));
}

TEST_F(Transport, AServiceThatNeverAnswersEndsInFailure) {
    // The service holds the reply far longer than the shortened bound.
    SetTransportTimeoutForTests(500);
    service.misbehave("/files/data.bin", "delay 20000");
    EXPECT_FALSE(client.openRequest(service.fileUrl("data.bin"), "", "", ""));
    EXPECT_FALSE(client.lastError().empty());
    SetTransportTimeoutForTests(kTransportTimeoutMs);
}

TEST_F(Transport, ASetStopFlagEndsADownloadBetweenBlocks) {
    std::unique_ptr<HttpRequest> request = open(service.fileUrl("data.bin"));
    ASSERT_TRUE(request);
    const std::atomic<bool> stop{true};
    EXPECT_EQ(request->downloadToFile(folder.path() + "stopped.bin", true, nullptr, &stop), 0);
    EXPECT_EQ(request->errorText(), "The download was stopped.");
    EXPECT_EQ(ReadTextFile(folder.path() + "stopped.bin"), "");
}

TEST(InternetErrors, TextsComeFromTheLibrarysMessageTable) {
    // 12029: cannot connect; 12007: name not resolved.
    for (unsigned long code : {12029ul, 12007ul}) {
        std::string text = InternetErrorText(code);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find("Internet error"), std::string::npos) << text;
        EXPECT_NE(text.back(), '\n');
        EXPECT_LT(text.size(), 256u);
    }
    EXPECT_EQ(InternetErrorText(0), kInternalErrorText);
    EXPECT_EQ(InternetErrorText(99999), "Internet error 99999.");
}
