#pragma once
// A running update service (tools/update-service, a Linux program started
// from Wine) that serves a scratch publish folder of its own, for tests.
//
//   UpdateService service;
//   ASSERT_TRUE(service.started()) << service.startError();
//   service.publish(ServiceSoftware("a3d907:e2c41b7f96:-7c5e", 2001, "App", {"2.10000"})
//                       .file(7, "app.zip", "2.10000")
//                       .dependsOn("5b1c44:90ad3e7c21:-7f10", "1.40000"));
//   service.putFile("app.zip", zipBytes);
//   service.setInstallScript(7, "<install><task><unzip />...</task></install>");
//   service.misbehave("/files/app.zip", "cut 100");
//   ... the code under test uses service.serviceUrl() ...
//   EXPECT_EQ(service.requests().size(), 3u);
//
// The publish folder is re-read by the service on every request, so anything
// may be changed while it runs. Layout and switches: tools/update-service/README.md.
#include <string>
#include <utility>
#include <vector>

struct ServiceFile {
    ServiceFile(int id, std::string fileName, std::string ver = "1.00000",
                std::vector<std::string> links = {})
        : id(id), fileName(std::move(fileName)), ver(std::move(ver)), links(std::move(links)) {}
    int id;
    std::string fileName;
    std::string ver;
    std::string releaseDate = "01/15/2005";
    // Download addresses in order; "/..." is on the service itself. Empty:
    // the service's own copy, <baseUrl>/files/<fileName>.
    std::vector<std::string> links;
    // The digest written on the line (sha256=...), for a file the service
    // does not hold; empty: none written.
    std::string sha256;
};

struct ServiceDependency {
    std::string guid;  // the numeric ID sent is that of the published software with this guid
    std::string minVersion = "0.00000";
    int minBuild = 0;
};

struct ServiceSoftware {
    ServiceSoftware(std::string guid, int id, std::string name = "",
                    std::vector<std::string> versions = {})
        : guid(std::move(guid)), id(id), name(std::move(name)), versions(std::move(versions)) {}
    ServiceSoftware& file(int fileId, const std::string& fileName, const std::string& ver = "1.00000",
                          const std::vector<std::string>& links = {}) {
        files.emplace_back(fileId, fileName, ver, links);
        return *this;
    }
    ServiceSoftware& dependsOn(const std::string& targetGuid, const std::string& minVersion = "0.00000",
                               int minBuild = 0) {
        dependencies.push_back({targetGuid, minVersion, minBuild});
        return *this;
    }

    std::string guid;
    int id;
    std::string name;
    std::vector<std::string> versions;  // every release; availability counts those newer than asked
    std::vector<ServiceFile> files;
    std::vector<ServiceDependency> dependencies;
    std::string message;    // the availability reply's message
    std::string clientMsg;  // the updates and associations replies' clientMsg
};

// One request as the service received it.
struct RecordedRequest {
    std::string line;                                         // "GET /files/app.zip HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in name order
    // The value of the header `name` (compared without case); empty if absent.
    std::string header(const std::string& name) const;
};

class UpdateService {
public:
    static constexpr const char* kServletPath = "/servlet/SoftwareUpdateServlet";

    // Makes the publish folder and starts the service; it ends by itself
    // after maxSeconds in case this process never stops it.
    explicit UpdateService(long maxSeconds = 600);
    ~UpdateService();  // stops the service and removes the folder
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    bool started() const { return port_ > 0; }
    const std::string& startError() const { return startError_; }
    // Asks the service to end and waits (briefly) until it has; a second
    // stop or a start after it is allowed.
    void stop();
    bool start();

    int port() const { return port_; }
    std::string baseUrl() const;     // "http://127.0.0.1:<port>"
    std::string serviceUrl() const;  // baseUrl() + kServletPath
    std::string fileUrl(const std::string& fileName) const;  // baseUrl() + "/files/" + name
    const std::string& publishDir() const { return publishDir_; }  // Windows form, ends with "\"
    std::string logPath() const { return scratchDir_ + "requests.log"; }  // the service's --log

    // Copies a whole publish folder (Windows path), e.g. the sample of
    // tools/update-service or the demo's, over the scratch one.
    bool copyPublishFolder(const std::string& sourceDir);
    // Runs the service program's --export over the publish folder, with the
    // links of this service; the tree's Windows path (ending with "\\"), or
    // empty when the export failed, with what the program said in `failure`.
    std::string exportStaticTree(std::string* failure = nullptr) const;
    // Adds the software, or replaces the one published with the same guid.
    // The service lists no file without a digest: a file with neither a
    // sha256 nor bytes in files/ gets the bytes "bytes of <fileName>".
    void publish(const ServiceSoftware& software);
    void unpublish(const std::string& guid);
    void putFile(const std::string& fileName, const std::string& bytes);
    bool putFileFrom(const std::string& fileName, const std::string& sourcePath);
    // The reply to ?task=install&file=<fileId>; "@SERVER@" becomes baseUrl().
    void setInstallScript(int fileId, const std::string& xml);
    // Adds a rule "<targetPrefix> <action>": "status 500", "cut 10",
    // "cut-once 10", "nolength", "chunked", "delay 2000". Applies from the next request on.
    void misbehave(const std::string& targetPrefix, const std::string& action);
    void clearMisbehaviour();

    // Request lines received since start or the last clearRequests() (read
    // from the service's --headers record, written with its --log), e.g.
    // "GET /servlet/SoftwareUpdateServlet?task=install&file=7 HTTP/1.1";
    // the fixture's own control requests are left out.
    std::vector<std::string> requests() const;
    // The same requests with their headers.
    std::vector<RecordedRequest> recordedRequests() const;
    void clearRequests();
    // Polls until a request line holding `fragment` arrives (for requests
    // made by another process); false after the time-out.
    bool waitForRequest(const std::string& fragment, unsigned timeoutMs = 10000) const;

private:
    void writeSoftwareFile(size_t index) const;
    void writeMisbehaviour() const;
    std::vector<RecordedRequest> allRecordedRequests() const;

    long maxSeconds_;
    std::string scratchUnix_;  // Linux form, no final slash
    std::string scratchDir_;   // Windows form, ends with "\"
    std::string publishDir_;
    std::string startError_;
    int port_ = 0;
    size_t requestsSeen_ = 0;
    std::vector<ServiceSoftware> software_;
    std::vector<std::string> rules_;
};

// What one plain WinINet GET saw; for tests that look at the wire.
struct HttpFetch {
    bool ok = false;  // opened, and the body read to its end without a failing call
    unsigned long status = 0;
    bool hasContentLength = false;
    unsigned long contentLength = 0;
    std::string contentRange;  // empty without one
    std::string body;
    std::string error;  // the failing call and its code, when !ok
};
// `headers`: extra request lines, each ending in CR LF.
HttpFetch FetchUrl(const std::string& url, const std::string& headers = std::string());
