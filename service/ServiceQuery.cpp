#include "service/ServiceQuery.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "documents/InstallScriptHandler.h"
#include "documents/AvailabilityHandler.h"
#include "service/InternetErrorText.h"
#include "documents/SoftwareDocumentHandler.h"
#include "service/UpdateServiceClient.h"
#include "documents/XmlEventReader.h"
#include "system/PathSafety.h"
#include "system/ProgressBar.h"
#include "system/TextCase.h"
#include "system/Utf8.h"
#include "system/VersionText.h"

const char kUnreadableReplyText[] = "The reply from the update service is not a readable document.";

std::string DigestMismatchText(const std::string& fileName) {
    return "The downloaded file " + fileName +
           " was deleted: its SHA-256 digest does not match the one the update service published.";
}

namespace {

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
        lastError_ = UpdateServiceClient::statusText(request->statusCode());
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

int ServiceQuery::retrieveLink(const std::string& url, const std::string& fileName, const std::string& directory,
                               ProgressBar* progress, const std::string& expectedSha256) {
    return Guarded(lastError_, [&]() -> int {
        // The name becomes a path below the download folder: it may not
        // climb out of it or into a subfolder.
        if (!IsPlainFileName(fileName)) {
            lastError_ = "The update service named a file \"" + fileName + "\", which is not a plain file name.";
            return kQueryFailed;
        }
        std::unique_ptr<HttpRequest> request = openReply(url);
        if (!request) return kQueryFailed;
        PrepareBar(progress, *request);
        int result = kQueryFound;
        const std::string path = directory + fileName;
        if (!request->downloadToFile(path, true, progress, stop_)) {
            lastError_ = request->errorText();
            result = kQueryFailed;
        } else if (!expectedSha256.empty() && !EqualsIgnoringCase(request->downloadDigest(), expectedSha256)) {
            DeleteFileW(Widen(path).c_str());
            lastError_ = DigestMismatchText(fileName);
            result = kQueryFailed;
        }
        FillBar(progress);
        return result;
    });
}

int ServiceQuery::retrieveFile(const FileRecord& file, const std::string& directory, ProgressBar* progress) {
    if (file.links.empty()) return kQueryNothingFound;
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
