#include "ServiceHandler.h"

#include <cstdlib>

#include "ReplyDocuments.h"

const char kServletPath[] = "/servlet/SoftwareUpdateServlet";

namespace {

ServiceReply Text(int status, const std::string& text) {
    ServiceReply reply;
    reply.status = status;
    reply.contentType = "text/plain";
    reply.body = text + "\n";
    return reply;
}

ServiceReply Xml(const std::string& body) {
    ServiceReply reply;
    reply.body = body;
    return reply;
}

std::string Param(const ServiceRequest& request, const char* name) {
    auto found = request.params.find(name);
    return found == request.params.end() ? "" : found->second;
}

SoftwareDocumentInput DocumentInput(const PublishFolder& folder, const ServiceRequest& request,
                                    const std::vector<PublishedSoftware>& known) {
    SoftwareDocumentInput input;
    input.known = known;
    input.serverBase = request.serverBase;
    input.fileFacts = [&folder](const PublishedFile& file) {
        std::string problem;
        return folder.publishedFacts(file, problem);
    };
    return input;
}

// A file the installer could not verify is never offered: the reply fails
// instead, naming the line to fix.
ServiceReply Document(const PublishFolder& folder, const SoftwareDocumentInput& input) {
    const std::vector<std::string> problems = folder.digestProblems(input.listed);
    if (!problems.empty()) return Text(500, problems.front());
    return Xml(SoftwareDocument(input));
}

const PublishedSoftware* Find(const std::vector<PublishedSoftware>& known, const std::string& guid) {
    for (const PublishedSoftware& software : known)
        if (software.guid == guid) return &software;
    return nullptr;
}

ServiceReply AnswerServlet(const PublishFolder& folder, const ServiceRequest& request) {
    std::string task = Param(request, "task");
    if (task == "install") {
        char* end = nullptr;
        std::string text = Param(request, "file");
        long fileId = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0') return Text(400, "file must be a number");
        if (std::optional<std::string> script = folder.installScript(static_cast<int>(fileId)))
            return Xml(FillServerBase(*script, request.serverBase));
        if (folder.findFile(static_cast<int>(fileId))) return Xml(EmptyInstallScript());
        return Text(404, "no file " + text);
    }
    if (task != "availability" && task != "updates" && task != "associations")
        return Text(400, "unknown task \"" + task + "\"");

    std::string guid;
    double version = 0;
    if (!SplitSoftwareParameter(Param(request, "sof"), guid, version))
        return Text(400, "sof must be <software id>_<version>");
    std::vector<PublishedSoftware> known = folder.software();
    const PublishedSoftware* software = Find(known, guid);

    if (task == "availability") return Xml(AvailabilityDocument(software, version));
    if (!software) return Text(404, "no software " + guid);

    SoftwareDocumentInput input = DocumentInput(folder, request, known);
    input.clientMsg = software->clientMsg;
    if (task == "updates") {
        input.listed.push_back(*software);
        return Document(folder, input);
    }
    // associations: what the software depends on, each with its own files and
    // dependencies, so the installer can walk a chain one step per query.
    std::string type = Param(request, "type");
    if (type.empty() || type == "dependency") {
        input.associationType = "dependent";
        for (const PublishedDependency& dependency : software->dependencies)
            if (const PublishedSoftware* target = Find(known, dependency.guid))
                input.listed.push_back(*target);
    }
    return Document(folder, input);
}

}  // namespace

bool SplitSoftwareParameter(const std::string& sof, std::string& guid, double& version) {
    size_t underscore = sof.rfind('_');
    if (underscore == std::string::npos || underscore == 0) return false;
    guid = sof.substr(0, underscore);
    version = std::strtod(sof.c_str() + underscore + 1, nullptr);
    return true;
}

ServiceReply AnswerRequest(const PublishFolder& folder, const ServiceRequest& request) {
    if (request.path == kServletPath) return AnswerServlet(folder, request);
    const std::string filesPrefix = "/files/";
    if (request.path.compare(0, filesPrefix.size(), filesPrefix) == 0) {
        std::string name = request.path.substr(filesPrefix.size());
        std::optional<std::string> path = folder.downloadPath(name);
        if (!path) return Text(404, "no file " + name);
        ServiceReply reply;
        reply.contentType = "application/octet-stream";
        reply.bodyFile = *path;
        return reply;
    }
    return Text(404, "nothing at " + request.path);
}
