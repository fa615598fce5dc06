#pragma once
// The questions the installer asks the update service, and the loops that
// download files and fetch install scripts over the catalog's records.
// Results: 0 failed (lastError() says why), 1 answered with nothing found,
// 2 answered with something found. Nothing throws out of an operation.
// Progress bars may be null; totalProgress steps once per finished item.
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "documents/InstallData.h"
#include "documents/SoftwareCatalog.h"
#include "system/UniqueHandle.h"

class FileDownload;
class HttpRequest;
class ProgressBar;
class XmlEventHandler;

enum QueryResult { kQueryFailed = 0, kQueryNothingFound = 1, kQueryFound = 2 };

class ServiceQuery {
public:
    // The servlet's address, e.g. "http://host/servlet/SoftwareUpdateServlet".
    explicit ServiceQuery(std::string serviceUrl) : serviceUrl_(std::move(serviceUrl)) {}

    // 1, then 0 when the reply carries a message, then 2 when it counts
    // updates (a message stays in lastError() even then).
    int checkAvailability(const std::string& softwareId, double version, int language, int os,
                          ProgressBar* progress);
    // 2 when the catalog's mainList is not empty afterwards, else 1; 0 when
    // the reply carries a clientMsg.
    int getUpdates(SoftwareCatalog& catalog, const std::string& softwareId, double version, int language, int os,
                   ProgressBar* progress);
    // `type` may be null: then no type is sent. 2 when any of dependentList,
    // relatedList and osList is not empty afterwards, else 1; 0 when the
    // reply carries a clientMsg.
    int getAssociations(SoftwareCatalog& catalog, const std::string& softwareId, double version, int language,
                        int os, const char* type, ProgressBar* progress);
    // Fills installData from the file's install script: 2 when it lists
    // tasks, 1 when none, 0 on a clientMsg.
    int getInstallScript(InstallData& installData, int fileId, ProgressBar* progress);
    // Saves the body at `url` as directory + fileName (directory ends with a
    // backslash; fileName must be a plain name). 2 or 0. A transient failure
    // (time-out, dropped connection, 408, 429, 5xx, a body cut short) is
    // tried again up to 3 times after a growing wait; a body cut short goes
    // on from where it stopped when the service takes byte ranges. The stop
    // flag ends the waiting at once. With an expected
    // SHA-256, bytes that do not match it fail the download and the file is
    // deleted, so nothing can use them.
    int retrieveLink(const std::string& url, const std::string& fileName, const std::string& directory,
                     ProgressBar* progress, const std::string& expectedSha256 = std::string());

    // The first link that downloads ends with 2; 0 when none does or the
    // record has no SHA-256 to check the bytes against (nothing is fetched
    // then), 1 when the file has no links.
    int retrieveFile(const FileRecord& file, const std::string& directory, ProgressBar* progress);
    int retrieveFiles(const FileList& files, const std::string& directory, ProgressBar* progress,
                      ProgressBar* totalProgress);
    int retrieveSoftware(const SoftwareList& softwareList, const std::string& directory, ProgressBar* progress,
                         ProgressBar* totalProgress);
    // Fetches the install script of every file: 1, or 0 at the first failure.
    int installFiles(FileList& files, ProgressBar* progress, ProgressBar* totalProgress);
    int installSoftware(SoftwareList& softwareList, ProgressBar* progress, ProgressBar* totalProgress);

    // From now on each download whose bytes match their published digest
    // stays open, held against changes (see FileDownload::release), until
    // taken here: an archive read from the path then has the verified bytes
    // without hashing them again. A file an earlier run left, with the
    // published digest, is held the same way.
    void holdVerifiedDownloads() { holdDownloads_ = true; }
    std::vector<std::pair<std::string, UniqueFileHandle>> takeHeldDownloads() { return std::move(heldDownloads_); }

    std::string lastError() const { return lastError_; }
    const std::string& serviceUrl() const { return serviceUrl_; }
    // A flag that, once set, stops a download between blocks (null: never).
    void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

private:
    // Opens the URL; null unless a reply with a 2xx status came (lastError_
    // says why).
    std::unique_ptr<HttpRequest> openReply(const std::string& url);
    // Runs one document query: opens the URL, reads the reply into the
    // handler. False (with lastError_) when there is no whole, readable reply.
    bool readDocument(const std::string& url, XmlEventHandler& handler, ProgressBar* progress);
    struct Attempt;
    // One request of a download into `download`, going on after the bytes it
    // holds when `resumable`, which it then updates for the next try.
    Attempt downloadOnce(const std::string& url, FileDownload& download, bool& resumable, ProgressBar* progress);
    // Waits `milliseconds` unless the stop flag comes first; false then.
    bool waitUnlessStopped(unsigned long milliseconds) const;
    bool stopRequested() const { return stop_ && stop_->load(); }
    std::string softwareQuery(const char* task, const std::string& softwareId, double version, int language,
                              int os) const;

    std::string serviceUrl_;
    std::string lastError_;
    const std::atomic<bool>* stop_ = nullptr;
    bool holdDownloads_ = false;
    std::vector<std::pair<std::string, UniqueFileHandle>> heldDownloads_;  // full path, handle
};

#ifdef VYN_TEST_HOOKS
// Test builds only: every wait before a retry lasts `milliseconds` instead;
// a negative value restores the real waits. Gives the value it replaces.
long SetRetryWaitForTests(long milliseconds);
#endif

// Texts of the query layer's own failures.
extern const char kUnreadableReplyText[];
// The failure of a download whose bytes are not the ones published.
std::string DigestMismatchText(const std::string& fileName);
// The failure of a file whose record carries no digest.
std::string MissingDigestText(const std::string& fileName);
