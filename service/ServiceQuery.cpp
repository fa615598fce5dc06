#include "service/ServiceQuery.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>

#include "documents/InstallScriptHandler.h"
#include "documents/AvailabilityHandler.h"
#include "service/InternetErrorText.h"
#include "service/RetryDecision.h"
#include "documents/SoftwareDocumentHandler.h"
#include "service/UpdateServiceClient.h"
#include "documents/XmlEventReader.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathSafety.h"
#include "system/Sha256.h"
#include "system/ProgressBar.h"
#include "system/TextCase.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"
#include "system/VersionText.h"

const char kUnreadableReplyText[] = "The reply from the update service is not a readable document.";

std::string DigestMismatchText(const std::string& fileName) {
    return "The downloaded file " + fileName +
           " was deleted: its SHA-256 digest does not match the one the update service published.";
}

std::string MissingDigestText(const std::string& fileName) {
    return "The file " + fileName +
           " was not downloaded: the update service published no SHA-256 digest to check it against.";
}

namespace {

std::atomic<long> g_retryWaitMs{-1};

// The service's documents are a few kilobytes; anything near this is not one.
const uint64_t kMaxDocumentBytes = 8u << 20;

void PrepareBar(ProgressBar* progress, const HttpRequest& request) {
    if (!progress) return;
    int64_t upper = std::min<int64_t>(request.contentLength() + 4096, INT_MAX);
    progress->setStep(1);
    progress->setRange(0, static_cast<int>(upper));
    progress->setPosition(2);
}

void FillBar(ProgressBar* progress) {
    if (!progress) return;
    int lower = 0, upper = 0;
    progress->getRange(lower, upper);
    progress->setPosition(upper);
}

// Nothing escapes a query: any exception becomes the internal error text.
template <typename Body>
int Guarded(std::string& lastError, Body body) {
    try {
        return body();
    } catch (...) {
        lastError = kInternalErrorText;
        return kQueryFailed;
    }
}

}  // namespace

#ifdef VYN_TEST_HOOKS
long SetRetryWaitForTests(long milliseconds) { return g_retryWaitMs.exchange(milliseconds); }
#endif

struct ServiceQuery::Attempt {
    bool done = false;
    long failure = 0;  // as DecideRetry takes it
    std::string retryAfter;
};

std::string ServiceQuery::softwareQuery(const char* task, const std::string& softwareId, double version,
                                        int language, int os) const {
    return serviceUrl_ + "?task=" + task + "&sof=" + softwareId + "_" + FormatVersionNumber(version) +
           "&lang=" + std::to_string(language) + "&os=" + std::to_string(os);
}

std::unique_ptr<HttpRequest> ServiceQuery::openReply(const std::string& url) {
    UpdateServiceClient client;
    std::unique_ptr<HttpRequest> request = client.openRequest(url, "", "", "");
    if (!request) {
        lastError_ = client.lastError();
        return nullptr;
    }
    if (!request->isSuccess()) {
        lastError_ = UpdateServiceClient::statusFailureText(request->statusCode(), url);
        return nullptr;
    }
    return request;
}

bool ServiceQuery::readDocument(const std::string& url, XmlEventHandler& handler, ProgressBar* progress) {
    std::unique_ptr<HttpRequest> request = openReply(url);
    if (!request) return false;
    PrepareBar(progress, *request);
    request->body().setLimit(kMaxDocumentBytes);
    XmlReadSummary summary = XmlEventReader::parse(request->body(), handler, progress);
    FillBar(progress);
    std::string failure = request->bodyFailure();
    if (!failure.empty()) {
        lastError_ = failure;
        return false;
    }
    if (!summary.wellFormed) {
        lastError_ = kUnreadableReplyText;
        return false;
    }
    return true;
}

int ServiceQuery::checkAvailability(const std::string& softwareId, double version, int language, int os,
                                    ProgressBar* progress) {
    return Guarded(lastError_, [&]() -> int {
        AvailabilityHandler handler;
        if (!readDocument(softwareQuery("availability", softwareId, version, language, os), handler, progress))
            return kQueryFailed;
        int result = kQueryNothingFound;
        if (!handler.message.empty()) {
            lastError_ = handler.message;
            result = kQueryFailed;
        }
        if (handler.updates > 0) result = kQueryFound;
        return result;
    });
}

int ServiceQuery::getUpdates(SoftwareCatalog& catalog, const std::string& softwareId, double version,
                             int language, int os, ProgressBar* progress) {
    return Guarded(lastError_, [&]() -> int {
        SoftwareDocumentHandler handler(catalog);
        if (!readDocument(softwareQuery("updates", softwareId, version, language, os), handler, progress))
            return kQueryFailed;
        if (!handler.clientMsg().empty()) {
            lastError_ = handler.clientMsg();
            return kQueryFailed;
        }
        return catalog.mainList.empty() ? kQueryNothingFound : kQueryFound;
    });
}

int ServiceQuery::getAssociations(SoftwareCatalog& catalog, const std::string& softwareId, double version,
                                  int language, int os, const char* type, ProgressBar* progress) {
    return Guarded(lastError_, [&]() -> int {
        std::string url = softwareQuery("associations", softwareId, version, language, os);
        if (type) url += std::string("&type=") + type;
        SoftwareDocumentHandler handler(catalog);
        if (!readDocument(url, handler, progress)) return kQueryFailed;
        int result = catalog.dependentList.empty() && catalog.relatedList.empty() && catalog.osList.empty()
                         ? kQueryNothingFound
                         : kQueryFound;
        if (!handler.clientMsg().empty()) {
            lastError_ = handler.clientMsg();
            result = kQueryFailed;
        }
        return result;
    });
}

int ServiceQuery::getInstallScript(InstallData& installData, int fileId, ProgressBar* progress) {
    return Guarded(lastError_, [&]() -> int {
        InstallScriptHandler handler(installData);
        if (!readDocument(serviceUrl_ + "?task=install&file=" + std::to_string(fileId), handler, progress))
            return kQueryFailed;
        if (!handler.message().empty()) {
            lastError_ = handler.message();
            return kQueryFailed;
        }
        return installData.items.empty() ? kQueryNothingFound : kQueryFound;
    });
}

bool ServiceQuery::waitUnlessStopped(unsigned long milliseconds) const {
    // Polled in short naps: the flag is a plain atomic, with nothing to wait on.
    const unsigned long kNapMs = 50;
    for (unsigned long waited = 0; waited < milliseconds; waited += kNapMs) {
        if (stopRequested()) return false;
        Sleep(std::min(kNapMs, milliseconds - waited));
    }
    return !stopRequested();
}

ServiceQuery::Attempt ServiceQuery::downloadOnce(const std::string& url, FileDownload& download, bool& resumable,
                                                 ProgressBar* progress) {
    Attempt attempt;
    const uint64_t kept = download.isOpen() ? download.received() : 0;
    const bool resuming = resumable && kept > 0;
    UpdateServiceClient client;
    std::unique_ptr<HttpRequest> request = client.openRequest(
        url, "", "", "", resuming ? "Range: bytes=" + std::to_string(kept) + "-\r\n" : std::string());
    if (!request) {
        lastError_ = client.lastError();
        attempt.failure = static_cast<long>(client.lastErrorCode());
        return attempt;
    }
    const int status = request->statusCode();
    if (!request->isSuccess()) {
        lastError_ = UpdateServiceClient::statusFailureText(status, url);
        attempt.failure = status;
        attempt.retryAfter = request->headerValue("Retry-After");
        return attempt;
    }
    const bool continues = resuming && status == 206 &&
                           ContentRangeContinuesAt(request->headerValue("Content-Range"), kept);
    resumable = continues || AcceptsByteRanges(request->headerValue("Accept-Ranges"));
    if (!continues) {
        // Anything but the rest asked for is the whole file again.
        if (status == 206) {
            lastError_ = "The update service answered with a part of the file that was not asked for.";
            attempt.failure = kBodyCutShort;
            resumable = false;
            return attempt;
        }
        if (!(download.isOpen() ? download.restart() : download.open())) {
            lastError_ = download.errorText();
            return attempt;
        }
        PrepareBar(progress, *request);
    }
    if (!request->appendToDownload(download, progress, stop_)) {
        lastError_ = request->errorText();
        attempt.failure = request->downloadFailureCode();
        return attempt;
    }
    attempt.done = true;
    return attempt;
}

int ServiceQuery::retrieveLink(const std::string& url, const std::string& fileName, const std::string& directory,
                               ProgressBar* progress, const std::string& expectedSha256) {
    return Guarded(lastError_, [&]() -> int {
        // The name becomes a path below the download folder: it may not
        // climb out of it or into a subfolder.
        if (!IsPlainFileName(fileName)) {
            lastError_ = "The update service named a file \"" + fileName + "\", which is not a plain file name.";
            return kQueryFailed;
        }
        const std::string path = directory + fileName;
        FileDownload download(path, true);
        bool resumable = false;
        for (int tries = 1;; ++tries) {
            const Attempt attempt = downloadOnce(url, download, resumable, progress);
            if (attempt.done) break;
            if (stopRequested()) {
                lastError_ = kDownloadStoppedText;
                return kQueryFailed;
            }
            const RetryDecision decision = DecideRetry(tries, attempt.failure, attempt.retryAfter);
            if (!decision.retry) {
                if (download.isOpen()) FillBar(progress);
                return kQueryFailed;
            }
            const long waitForTests = g_retryWaitMs.load();
            if (!waitUnlessStopped(waitForTests >= 0 ? static_cast<unsigned long>(waitForTests) : decision.delayMs)) {
                lastError_ = kDownloadStoppedText;
                return kQueryFailed;
            }
        }
        int result = kQueryFound;
        const bool hold = holdDownloads_ && !expectedSha256.empty();
        const std::string digest = download.finish(hold);
        if (!expectedSha256.empty() && !EqualsIgnoringCase(digest, expectedSha256)) {
            download.release().reset();
            DeleteFileW(Widen(path).c_str());
            lastError_ = DigestMismatchText(fileName);
            result = kQueryFailed;
        } else if (hold) {
            heldDownloads_.emplace_back(FullPathName(path), download.release());
        }
        FillBar(progress);
        return result;
    });
}

int ServiceQuery::retrieveFile(const FileRecord& file, const std::string& directory, ProgressBar* progress) {
    if (file.links.empty()) return kQueryNothingFound;
    // Bytes nobody can check are never fetched: a mirror or file host could
    // serve anything under the name.
    if (!IsSha256Text(file.sha256)) {
        lastError_ = MissingDigestText(file.fileName);
        return kQueryFailed;
    }
    // A file an earlier run left with the published digest is the same
    // file: it is not fetched again.
    const std::string path = directory + file.fileName;
    if (IsPlainFileName(file.fileName)) {
        UniqueFileHandle held = holdDownloads_ ? LockVerifiedFile(path, file.sha256) : UniqueFileHandle();
        if (held || (!holdDownloads_ && EqualsIgnoringCase(FileSha256(path), file.sha256))) {
            LogLine("Already downloaded: " + path);
            if (held) heldDownloads_.emplace_back(FullPathName(path), std::move(held));
            FillBar(progress);
            return kQueryFound;
        }
    }
    for (const auto& link : file.links)
        if (retrieveLink(link->url, file.fileName, directory, progress, file.sha256) == kQueryFound)
            return kQueryFound;
    return kQueryFailed;
}

int ServiceQuery::retrieveFiles(const FileList& files, const std::string& directory, ProgressBar* progress,
                                ProgressBar* totalProgress) {
    for (const auto& file : files) {
        if (retrieveFile(*file, directory, progress) == kQueryFailed) return kQueryFailed;
        if (totalProgress) totalProgress->stepIt();
    }
    return kQueryFound;
}

int ServiceQuery::retrieveSoftware(const SoftwareList& softwareList, const std::string& directory,
                                   ProgressBar* progress, ProgressBar* totalProgress) {
    for (const auto& software : softwareList)
        if (retrieveFiles(software->files, directory, progress, totalProgress) == kQueryFailed) return kQueryFailed;
    return kQueryFound;
}

int ServiceQuery::installFiles(FileList& files, ProgressBar* progress, ProgressBar* totalProgress) {
    for (const auto& file : files) {
        if (getInstallScript(file->installData, file->id, progress) == kQueryFailed) return kQueryFailed;
        if (totalProgress) totalProgress->stepIt();
    }
    return kQueryNothingFound;
}

int ServiceQuery::installSoftware(SoftwareList& softwareList, ProgressBar* progress, ProgressBar* totalProgress) {
    for (const auto& software : softwareList)
        if (installFiles(software->files, progress, totalProgress) == kQueryFailed) return kQueryFailed;
    return kQueryNothingFound;
}
