// update-service: serves a publish folder to the installer over HTTP on
// 127.0.0.1. See README.md for the folder layout and the test switches.
#include <fcntl.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "Misbehaviour.h"
#include "PublishFolder.h"
#include "RequestLog.h"
#include "ServiceHandler.h"
#include "StaticExport.h"

namespace {

const char kListenAddress[] = "127.0.0.1";

bool WritePortFile(const std::string& path, int port) {
    // Written under another name and renamed, so a reader never sees half.
    std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    bool ok = std::fprintf(file, "%d\n", port) > 0;
    ok = std::fclose(file) == 0 && ok;
    return ok && std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Stops listening, takes the port file away and ends the process a moment
// later, once the reply in hand (the shutdown's own) is out. Connections kept
// alive must not go on being served after a stop.
class Stopper {
public:
    Stopper(httplib::Server& server, std::string portFile)
        : server_(server), portFile_(std::move(portFile)) {}

    bool stopping() const { return stopping_; }
    void stop() {
        if (stopping_.exchange(true)) return;
        server_.stop();
        if (!portFile_.empty()) std::remove(portFile_.c_str());
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::fflush(nullptr);
            _exit(0);
        }).detach();
    }

private:
    httplib::Server& server_;
    std::string portFile_;
    std::atomic<bool> stopping_{false};
};

std::string ServerBase(const httplib::Request& request, int port) {
    std::string host = request.get_header_value("Host");
    if (host.empty()) host = std::string(kListenAddress) + ":" + std::to_string(port);
    return "http://" + host;
}

// The headers as the client sent them, without the entries the library adds
// for the connection's addresses.
RequestLog::HeaderLines ReceivedHeaders(const httplib::Request& request) {
    RequestLog::HeaderLines lines;
    for (const auto& header : request.headers)
        if (header.first != "REMOTE_ADDR" && header.first != "REMOTE_PORT" &&
            header.first != "LOCAL_ADDR" && header.first != "LOCAL_PORT")
            lines.emplace_back(header.first, header.second);
    return lines;
}

// A published file sent as it is read, in pieces of up to 1 MB: a large
// download is never held in memory. False when the file cannot be read.
bool SendFile(const std::string& path, const std::string& contentType, httplib::Response& response) {
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary | std::ios::ate);
    if (!*file) return false;
    const size_t size = static_cast<size_t>(file->tellg());
    if (size == 0) {  // the library would wait for a provider that has nothing to give
        response.set_content(std::string(), contentType);
        return true;
    }
    response.set_content_provider(size, contentType, [file](size_t offset, size_t length, httplib::DataSink& sink) {
        std::vector<char> piece(std::min<size_t>(length, 1 << 20));
        file->seekg(static_cast<std::streamoff>(offset));
        if (!file->read(piece.data(), static_cast<std::streamsize>(piece.size()))) return false;
        return sink.write(piece.data(), piece.size());
    });
    return true;
}

// The status of a file reply to `request`: 200 without a Range header, 206
// for one satisfiable range, else 416 (with the Content-Range it needs). The
// library itself cuts the body to the range and states the Content-Range.
int RangeStatus(const httplib::Request& request, size_t size, httplib::Response& response) {
    response.set_header("Accept-Ranges", "bytes");
    if (!request.has_header("Range")) return 200;
    if (request.ranges.size() == 1) {
        const auto& range = request.ranges[0];
        // -1 marks a bound left open: "N-" or the suffix form "-N".
        const bool satisfiable = range.first >= 0 ? static_cast<size_t>(range.first) < size
                                                  : range.second > 0 && size > 0;
        if (satisfiable && (range.second < 0 || range.first <= range.second)) {
            // An end past the file means its last byte. The library would
            // announce the end as asked, so it is clamped where the library
            // reads it; the request object itself is not const.
            if (range.first >= 0 && range.second >= 0 && static_cast<size_t>(range.second) >= size)
                const_cast<httplib::Request&>(request).ranges[0].second = static_cast<ssize_t>(size - 1);
            return 206;
        }
    }
    response.set_header("Content-Range", "bytes */" + std::to_string(size));
    return 416;
}

// Files published empty or unreadable are sent as they are, ranges aside.
size_t FileSize(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return file ? static_cast<size_t>(file.tellg()) : 0;
}

void SendPlanned(ServiceReply&& reply, const ReplyPlan& plan, const httplib::Request& request,
                 httplib::Response& response) {
    const bool wholeBody = plan.delivery == Delivery::Normal || plan.delivery == Delivery::Cut;
    if (!reply.bodyFile.empty() && reply.status == 200 && wholeBody) {
        reply.status = RangeStatus(request, FileSize(reply.bodyFile), response);
        if (reply.status == 416) {
            response.status = 416;
            return;
        }
    }
    if (!reply.bodyFile.empty()) {
        if (plan.delivery == Delivery::Normal && SendFile(reply.bodyFile, reply.contentType, response)) {
            response.status = reply.status;
            return;
        }
        // The misbehaving deliveries cut and chunk a body held in memory.
        std::ifstream in(reply.bodyFile, std::ios::binary);
        reply.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    response.status = reply.status;
    // Shared with the providers below, never copied: a download may be large.
    auto body = std::make_shared<std::string>(std::move(reply.body));
    auto chunks = [body](size_t offset, httplib::DataSink& sink) {
        if (offset < body->size())
            return sink.write(body->data() + offset, std::min<size_t>(body->size() - offset, 4096));
        sink.done();
        return true;
    };
    switch (plan.delivery) {
    case Delivery::Normal:
        response.set_content_provider(body->size(), reply.contentType,
                                      [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                          return sink.write(body->data() + offset, length);
                                      });
        break;
    case Delivery::Cut: {
        // The full length is announced; after `cut` bytes the provider fails,
        // which makes the library drop the connection.
        size_t cut = std::min(plan.cutAfter, body->empty() ? 0 : body->size() - 1);
        response.set_content_provider(
            body->size(), reply.contentType,
            [body, cut](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= cut) return false;
                return sink.write(body->data() + offset, std::min(length, cut - offset));
            });
        break;
    }
    case Delivery::NoLength:
        // Failing after the last byte makes the library close the connection,
        // which is what ends such a body.
        response.set_header("Connection", "close");
        response.set_content_provider(reply.contentType, [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) return false;
            return sink.write(body->data() + offset, std::min<size_t>(body->size() - offset, 4096));
        });
        break;
    case Delivery::Chunked:
        response.set_chunked_content_provider(reply.contentType, chunks);
        break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ServiceOptions options;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "update-service: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (!options.exportDir.empty()) {
        if (!ExportStaticTree(PublishFolder(options.root), options.exportDir, options.exportBase, error)) {
            std::fprintf(stderr, "update-service: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    RequestLog log(options.logPath, options.headersPath, !options.quiet);
    if (!log.ok()) {
        std::fprintf(stderr, "update-service: cannot write the log %s %s\n", options.logPath.c_str(),
                     options.headersPath.c_str());
        return 2;
    }
    PublishFolder folder(options.root);
    std::vector<std::string> problems;
    const std::vector<PublishedSoftware> published = folder.software(&problems);
    for (const std::string& problem : folder.digestProblems(published)) problems.push_back(problem);
    for (const std::string& problem : problems) log.note(problem);

    httplib::Server server;
    Stopper stopper(server, options.portFile);
    // cut-once rules already served, forgotten when misbehave.txt changes.
    std::mutex onceMutex;
    std::string onceRulesText;
    std::set<std::string> spentOnceRules;
    int port = 0;

    server.set_pre_routing_handler([&](const httplib::Request& request, httplib::Response& response) {
        log.write(request.method + " " + request.target + " " + request.version, ReceivedHeaders(request));
        if (stopper.stopping()) {
            response.status = 503;
            response.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.path == "/control/shutdown") {
            response.set_header("Connection", "close");
            response.set_content("stopping\n", "text/plain");
            stopper.stop();
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        std::vector<std::string> ruleProblems;
        const std::string rulesText = folder.misbehaviourText();
        ReplyPlan plan = PlanReply(rulesText, request.target, &ruleProblems);
        for (const std::string& problem : ruleProblems) log.note(problem);
        if (!plan.onceRule.empty()) {
            std::lock_guard<std::mutex> lock(onceMutex);
            if (onceRulesText != rulesText) {
                onceRulesText = rulesText;
                spentOnceRules.clear();
            }
            if (!spentOnceRules.insert(plan.onceRule).second) plan.delivery = Delivery::Normal;
        }
        if (plan.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(plan.delayMs));
        // A stalled request holds its connection until the service stops,
        // which must not wait for it.
        while (plan.stall && !stopper.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (plan.stall) {
            response.status = 503;
            response.set_header("Connection", "close");
            return;
        }

        ServiceReply reply;
        if (!plan.redirectTo.empty()) {
            reply.status = 302;
            reply.contentType = "text/plain";
            reply.body = "redirect from misbehave.txt\n";
            response.set_header("Location", plan.redirectTo);
        } else if (plan.status != 0) {
            reply.status = plan.status;
            reply.contentType = "text/plain";
            reply.body = "status " + std::to_string(plan.status) + " from misbehave.txt\n";
        } else {
            ServiceRequest serviceRequest;
            serviceRequest.path = request.path;
            for (const auto& param : request.params) serviceRequest.params.insert(param);
            serviceRequest.serverBase = ServerBase(request, port);
            reply = AnswerRequest(folder, serviceRequest);
        }
        SendPlanned(std::move(reply), plan, request, response);
    });

    port = options.port == 0 ? server.bind_to_any_port(kListenAddress)
                             : (server.bind_to_port(kListenAddress, options.port) ? options.port : -1);
    if (port <= 0) {
        std::fprintf(stderr, "update-service: cannot listen on %s:%d\n", kListenAddress, options.port);
        return 1;
    }
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::fprintf(stderr, "update-service: cannot write %s\n", options.portFile.c_str());
        return 1;
    }
    if (options.quiet) {
        // Let go of inherited output: a test runner waits for its pipes to
        // close, and a service left running must not hold them.
        int null = open("/dev/null", O_RDWR);
        for (int stream = 0; null >= 0 && stream <= 2; ++stream) dup2(null, stream);
        if (null > 2) close(null);
    } else {
        std::printf("update-service: http://%s:%d%s\n", kListenAddress, port, kServletPath);
        std::fflush(stdout);
    }

    if (options.maxSeconds > 0) {
        std::thread([&stopper, seconds = options.maxSeconds] {
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            stopper.stop();
        }).detach();
    }
    server.listen_after_bind();
    stopper.stop();
    return 0;
}
