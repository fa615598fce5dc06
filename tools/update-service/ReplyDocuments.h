#pragma once
// The XML replies of the servlet. Texts go out as written in the publish
// folder: the installer's reader decodes no entities, so nothing is escaped.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PublishFolder.h"

// Releases of `software` newer than `askedVersion`.
int CountNewerReleases(const PublishedSoftware& software, double askedVersion);

// updates / associations / message; `software` is null for an unknown id.
std::string AvailabilityDocument(const PublishedSoftware* software, double askedVersion);

struct SoftwareDocumentInput {
    std::string clientMsg;
    std::string associationType;            // empty: no type attribute (the main list)
    std::vector<PublishedSoftware> listed;  // the software the reply describes
    std::vector<PublishedSoftware> known;   // everything published: dependency ids come from here
    std::string serverBase;                 // "http://host:port", for the service's own links
    // Size and digest of a file; a file without them is left out of the reply
    // (callers refuse such a reply first: PublishFolder::digestProblems).
    std::function<std::optional<DownloadFacts>(const PublishedFile&)> fileFacts;
};

// association / software / ID / GUID / name / file... / dependency...
std::string SoftwareDocument(const SoftwareDocumentInput& input);

// A file's links as the installer gets them: "/..." gets the server base,
// no links at all means the service's own copy.
std::vector<std::string> ResolveLinks(const PublishedFile& file, const std::string& serverBase);

// Every "@SERVER@" replaced by the server base.
std::string FillServerBase(std::string text, const std::string& serverBase);

// "<install></install>": a file that needs no install tasks.
std::string EmptyInstallScript();
