#pragma once
// Exports a publish folder as a static tree that any web server can serve:
// every reply the service would send, written once, plus the files.
//
//   <out>/files/<name>             the downloads, copied
//   <out>/replies/...              the reply documents
//   <out>/replies.map              an nginx map from the query string to a reply,
//                                  written last: once it is there the tree is whole
//
// The replies' links start with `serverBase` (e.g. https://updates.example.com),
// the address the tree will be served at.
#include <string>

#include "PublishFolder.h"

bool ExportStaticTree(const PublishFolder& folder, const std::string& outDir, const std::string& serverBase,
                      std::string& error);

// A regular expression (PCRE) matching the version texts the installer sends
// ("2.10000", ".00000") whose value is below `version`; empty when none is.
std::string VersionBelowPattern(double version);
