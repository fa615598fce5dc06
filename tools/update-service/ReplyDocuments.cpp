#include "ReplyDocuments.h"

#include <sstream>

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

void Element(std::ostringstream& out, const char* name, const std::string& text) {
    out << '<' << name << '>' << text << "</" << name << ">\n";
}

int IdOfGuid(const std::vector<PublishedSoftware>& known, const std::string& guid) {
    for (const PublishedSoftware& software : known)
        if (software.guid == guid) return software.id;
    return 0;
}

void WriteSoftware(std::ostringstream& out, const PublishedSoftware& software,
                   const SoftwareDocumentInput& input) {
    out << "<software>\n";
    Element(out, "ID", std::to_string(software.id));
    Element(out, "GUID", software.guid);
    // The name must precede the first file: the installer reads it only in
    // the software context.
    if (!software.name.empty()) Element(out, "name", software.name);
    for (const PublishedFile& file : software.files) {
        std::optional<DownloadFacts> facts = input.fileFacts ? input.fileFacts(file) : std::nullopt;
        if (!facts) continue;
        out << "<file>\n";
        Element(out, "ID", std::to_string(file.id));
        if (!file.ver.empty()) Element(out, "ver", file.ver);
        if (!file.releaseDate.empty()) Element(out, "releaseDate", file.releaseDate);
        Element(out, "fileName", file.fileName);
        Element(out, "fileSize", std::to_string(facts->size));
        Element(out, "sha256", facts->sha256);
        for (const std::string& link : ResolveLinks(file, input.serverBase)) Element(out, "link", link);
        out << "</file>\n";
    }
    for (const PublishedDependency& dependency : software.dependencies) {
        out << "<dependency>\n";
        Element(out, "ID", std::to_string(IdOfGuid(input.known, dependency.guid)));
        Element(out, "GUID", dependency.guid);
        Element(out, "minVersion", dependency.minVersion);
        Element(out, "minBuild", dependency.minBuild);
        out << "</dependency>\n";
    }
    out << "</software>\n";
}

}  // namespace

int CountNewerReleases(const PublishedSoftware& software, double askedVersion) {
    int count = 0;
    for (double version : software.versions)
        if (version > askedVersion) ++count;
    return count;
}

std::string AvailabilityDocument(const PublishedSoftware* software, double askedVersion) {
    std::ostringstream out;
    out << kDeclaration << "<availability>\n";
    Element(out, "updates", std::to_string(software ? CountNewerReleases(*software, askedVersion) : 0));
    Element(out, "associations", std::to_string(software ? software->dependencies.size() : 0));
    if (software && !software->message.empty()) Element(out, "message", software->message);
    out << "</availability>\n";
    return out.str();
}

std::string SoftwareDocument(const SoftwareDocumentInput& input) {
    std::ostringstream out;
    out << kDeclaration << "<softwareUpdate>\n";
    if (!input.clientMsg.empty()) Element(out, "clientMsg", input.clientMsg);
    if (!input.listed.empty()) {
        if (input.associationType.empty()) out << "<association>\n";
        else out << "<association type=\"" << input.associationType << "\">\n";
        for (const PublishedSoftware& software : input.listed) WriteSoftware(out, software, input);
        out << "</association>\n";
    }
    out << "</softwareUpdate>\n";
    return out.str();
}

std::vector<std::string> ResolveLinks(const PublishedFile& file, const std::string& serverBase) {
    if (file.links.empty()) return {serverBase + "/files/" + file.fileName};
    std::vector<std::string> links;
    for (const std::string& link : file.links)
        links.push_back(!link.empty() && link[0] == '/' ? serverBase + link : link);
    return links;
}

std::string FillServerBase(std::string text, const std::string& serverBase) {
    const std::string marker = "@SERVER@";
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + serverBase.size()))
        text.replace(at, marker.size(), serverBase);
    return text;
}

std::string EmptyInstallScript() { return std::string(kDeclaration) + "<install>\n</install>\n"; }
