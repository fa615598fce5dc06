#include "support/UpdateService.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <sstream>

#include "support/ProcessRunner.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"
#include "system/UniqueHandle.h"

namespace {

const char kControlShutdown[] = "/control/shutdown";
const unsigned kStartTimeoutMs = 10000;
const unsigned kStopTimeoutMs = 3000;

std::string JoinFields(const std::vector<std::string>& fields, const char* separator) {
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) joined += (i ? separator : "") + fields[i];
    return joined;
}

std::string SoftwareText(const ServiceSoftware& software) {
    std::ostringstream out;
    out << "guid = " << software.guid << "\n"
        << "id = " << software.id << "\n";
    if (!software.name.empty()) out << "name = " << software.name << "\n";
    if (!software.versions.empty()) out << "versions = " << JoinFields(software.versions, " ") << "\n";
    if (!software.message.empty()) out << "message = " << software.message << "\n";
    if (!software.clientMsg.empty()) out << "clientMsg = " << software.clientMsg << "\n";
    for (const ServiceFile& file : software.files)
        out << "file = " << file.id << " | " << file.ver << " | " << file.releaseDate << " | "
            << file.fileName << " | " << JoinFields(file.links, " ")
            << (file.sha256.empty() ? "" : " | sha256=" + file.sha256) << "\n";
    for (const ServiceDependency& dependency : software.dependencies)
        out << "dependency = " << dependency.guid << " | " << dependency.minVersion << " | "
            << dependency.minBuild << "\n";
    return out.str();
}

bool CopyTree(const std::string& source, const std::string& target) {
    CreateDirectoryA(target.c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((source + "*").c_str(), &entry));
    if (!find) return false;
    bool ok = true;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(source + name + "\\", target + name + "\\") && ok;
        else
            ok = CopyFileA((source + name).c_str(), (target + name).c_str(), FALSE) && ok;
    } while (FindNextFileA(find.get(), &entry));
    return ok;
}

std::string FailedCall(const char* call) {
    return std::string(call) + " failed: " + std::to_string(GetLastError());
}

}  // namespace

HttpFetch FetchUrl(const std::string& url, const std::string& headers) {
    HttpFetch fetch;
    UniqueInternetHandle root(InternetOpenA("vyn-tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!root) {
        fetch.error = FailedCall("InternetOpen");
        return fetch;
    }
    UniqueInternetHandle reply(InternetOpenUrlA(
        root.get(), url.c_str(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    if (!reply) {
        fetch.error = FailedCall("InternetOpenUrl");
        return fetch;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    if (HttpQueryInfoA(reply.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        fetch.status = value;
    size = sizeof value;
    if (HttpQueryInfoA(reply.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
        fetch.hasContentLength = true;
        fetch.contentLength = value;
    }
    char range[256] = "Content-Range";
    size = sizeof range;
    if (HttpQueryInfoA(reply.get(), HTTP_QUERY_CUSTOM, range, &size, nullptr)) fetch.contentRange = range;
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(reply.get(), buffer, sizeof buffer, &read)) {
            fetch.error = FailedCall("InternetReadFile");
            return fetch;
        }
        if (read == 0) break;
        fetch.body.append(buffer, read);
    }
    fetch.ok = true;
    return fetch;
}

UpdateService::UpdateService(long maxSeconds) : maxSeconds_(maxSeconds) {
    // Below the build folder, whose Linux path the environment gives, so the
    // Linux program can be handed Linux paths.
    static int counter = 0;
    std::string name = "update-service-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++counter) + "-" + std::to_string(GetTickCount());
    std::string binaryUnix = EnvironmentText("VYN_BINARY_DIR");
    while (!binaryUnix.empty() && binaryUnix.back() == '/') binaryUnix.pop_back();
    scratchUnix_ = binaryUnix + "/test-scratch/" + name;
    scratchDir_ = UnixToWindowsPath(scratchUnix_) + "\\";
    publishDir_ = scratchDir_ + "publish\\";
    CreateDirectoryA(UnixToWindowsPath(binaryUnix + "/test-scratch").c_str(), nullptr);
    for (const std::string& dir : {scratchDir_, publishDir_, publishDir_ + "software\\",
                                   publishDir_ + "files\\", publishDir_ + "scripts\\"})
        CreateDirectoryA(dir.c_str(), nullptr);
    start();
}

UpdateService::~UpdateService() {
    stop();
    RemoveTreeForTest(scratchDir_);
}

std::string UpdateService::exportStaticTree(std::string* failure) const {
    // A Linux process started from here has no handle to wait on: a shell
    // script runs the export and then records its exit code.
    const std::string script = "'" + EnvironmentText("VYN_UPDATE_SERVICE_BIN") + "' --root '" + scratchUnix_ +
                               "/publish' --export '" + scratchUnix_ + "/tree' --base " + baseUrl() + " 2> '" +
                               scratchUnix_ + "/export.err'\necho $? > '" + scratchUnix_ + "/export.tmp'\nmv '" +
                               scratchUnix_ + "/export.tmp' '" + scratchUnix_ + "/export.rc'\n";
    RemoveTreeForTest(scratchDir_ + "tree");
    DeleteFileA((scratchDir_ + "export.rc").c_str());
    WriteTextFile(scratchDir_ + "export.sh", script);
    (void)StartProcess("\"" + UnixToWindowsPath("/bin/sh") + "\" \"" + scratchUnix_ + "/export.sh\"");
    if (!WaitForFile(scratchDir_ + "export.rc", 30000)) {
        if (failure) *failure = "the export did not end";
        return std::string();
    }
    if (std::atoi(ReadTextFile(scratchDir_ + "export.rc").c_str()) != 0) {
        if (failure) *failure = ReadTextFile(scratchDir_ + "export.err");
        return std::string();
    }
    return scratchDir_ + "tree\\";
}

bool UpdateService::start() {
    if (started()) return true;
    startError_.clear();
    std::string program = EnvironmentText("VYN_UPDATE_SERVICE_BIN");
    if (EnvironmentText("VYN_BINARY_DIR").empty() || program.empty()) {
        startError_ = "VYN_BINARY_DIR and VYN_UPDATE_SERVICE_BIN must be set (CTest sets them)";
        return false;
    }
    std::string portFile = scratchDir_ + "port.txt";
    DeleteFileA(portFile.c_str());
    // The program is a Linux one: its arguments are Linux paths.
    std::string commandLine = "\"" + UnixToWindowsPath(program) + "\" --root \"" + scratchUnix_ +
                              "/publish\" --port 0 --port-file \"" + scratchUnix_ +
                              "/port.txt\" --log \"" + scratchUnix_ + "/requests.log\" --headers \"" +
                              scratchUnix_ + "/headers.log\" --max-seconds " +
                              std::to_string(maxSeconds_) + " --quiet";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created)) {
        startError_ = FailedCall("CreateProcess") + " for " + commandLine;
        return false;
    }
    // Under Wine a Linux process's handle cannot be waited on or terminated:
    // the service is stopped through its control request instead.
    UniqueKernelHandle process(created.hProcess);
    UniqueKernelHandle thread(created.hThread);
    if (!WaitForFile(portFile, kStartTimeoutMs)) {
        startError_ = "the service did not write " + portFile + " (command: " + commandLine + ")";
        return false;
    }
    port_ = std::atoi(ReadTextFile(portFile).c_str());
    if (port_ <= 0) startError_ = "no port number in " + portFile;
    requestsSeen_ = allRecordedRequests().size();
    return started();
}

void UpdateService::stop() {
    if (!started()) return;
    FetchUrl(baseUrl() + kControlShutdown);
    // The service takes its port file away once it no longer accepts requests.
    std::string portFile = scratchDir_ + "port.txt";
    DWORD begin = GetTickCount();
    while (PathExists(portFile) && GetTickCount() - begin < kStopTimeoutMs) Sleep(20);
    port_ = 0;
}

std::string UpdateService::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
std::string UpdateService::serviceUrl() const { return baseUrl() + kServletPath; }
std::string UpdateService::fileUrl(const std::string& fileName) const {
    return baseUrl() + "/files/" + fileName;
}

void UpdateService::writeSoftwareFile(size_t index) const {
    // Named by position: guids hold colons, which Windows names cannot.
    WriteTextFile(publishDir_ + "software\\" + std::to_string(index) + ".txt", SoftwareText(software_[index]));
}

bool UpdateService::copyPublishFolder(const std::string& sourceDir) {
    std::string source = sourceDir;
    if (!source.empty() && source.back() != '\\') source += '\\';
    return CopyTree(source, publishDir_);
}

void UpdateService::publish(const ServiceSoftware& software) {
    for (const ServiceFile& file : software.files)
        if (file.sha256.empty() && !PathExists(publishDir_ + "files\\" + file.fileName))
            putFile(file.fileName, "bytes of " + file.fileName);
    for (size_t i = 0; i < software_.size(); ++i) {
        if (software_[i].guid == software.guid) {
            software_[i] = software;
            writeSoftwareFile(i);
            return;
        }
    }
    software_.push_back(software);
    writeSoftwareFile(software_.size() - 1);
}

void UpdateService::unpublish(const std::string& guid) {
    for (size_t i = 0; i < software_.size(); ++i)
        DeleteFileA((publishDir_ + "software\\" + std::to_string(i) + ".txt").c_str());
    std::vector<ServiceSoftware> kept;
    for (const ServiceSoftware& software : software_)
        if (software.guid != guid) kept.push_back(software);
    software_ = kept;
    for (size_t i = 0; i < software_.size(); ++i) writeSoftwareFile(i);
}

void UpdateService::putFile(const std::string& fileName, const std::string& bytes) {
    WriteTextFile(publishDir_ + "files\\" + fileName, bytes);
}

bool UpdateService::putFileFrom(const std::string& fileName, const std::string& sourcePath) {
    return CopyFileA(sourcePath.c_str(), (publishDir_ + "files\\" + fileName).c_str(), FALSE) != 0;
}

void UpdateService::setInstallScript(int fileId, const std::string& xml) {
    WriteTextFile(publishDir_ + "scripts\\" + std::to_string(fileId) + ".xml", xml);
}

void UpdateService::writeMisbehaviour() const {
    WriteTextFile(publishDir_ + "misbehave.txt", JoinFields(rules_, "\n") + "\n");
}

void UpdateService::misbehave(const std::string& targetPrefix, const std::string& action) {
    rules_.push_back(targetPrefix + " " + action);
    writeMisbehaviour();
}

void UpdateService::clearMisbehaviour() {
    rules_.clear();
    writeMisbehaviour();
}

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& field : headers)
        if (lstrcmpiA(field.first.c_str(), name.c_str()) == 0) return field.second;
    return "";
}

std::vector<RecordedRequest> UpdateService::allRecordedRequests() const {
    // Blocks of a request line and its "Name: value" lines, each ended by an
    // empty line.
    std::vector<RecordedRequest> recorded;
    std::istringstream in(ReadTextFile(scratchDir_ + "headers.log"));
    std::string line;
    bool inBlock = false;
    while (std::getline(in, line)) {
        if (line.empty()) {
            inBlock = false;
        } else if (!inBlock) {
            recorded.push_back({line, {}});
            inBlock = true;
        } else {
            size_t colon = line.find(": ");
            if (colon != std::string::npos)
                recorded.back().headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    std::vector<RecordedRequest> kept;
    for (RecordedRequest& request : recorded)
        if (request.line.find(std::string(" ") + kControlShutdown) == std::string::npos)
            kept.push_back(std::move(request));
    return kept;
}

std::vector<RecordedRequest> UpdateService::recordedRequests() const {
    std::vector<RecordedRequest> all = allRecordedRequests();
    if (requestsSeen_ >= all.size()) return {};
    return std::vector<RecordedRequest>(all.begin() + static_cast<long>(requestsSeen_), all.end());
}

bool UpdateService::waitForRequest(const std::string& fragment, unsigned timeoutMs) const {
    DWORD begin = GetTickCount();
    for (;;) {
        for (const std::string& line : requests())
            if (line.find(fragment) != std::string::npos) return true;
        if (GetTickCount() - begin >= timeoutMs) return false;
        Sleep(50);
    }
}

std::vector<std::string> UpdateService::requests() const {
    std::vector<std::string> lines;
    for (const RecordedRequest& request : recordedRequests()) lines.push_back(request.line);
    return lines;
}

void UpdateService::clearRequests() { requestsSeen_ = allRecordedRequests().size(); }
