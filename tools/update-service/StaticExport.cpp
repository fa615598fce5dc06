#include "StaticExport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "ReplyDocuments.h"
#include "ServiceHandler.h"

namespace fs = std::filesystem;

namespace {

// The map key nginx builds from the query: "$arg_task|$arg_type|$arg_sof|$arg_file".
const char kAnyField[] = "[^|]*";

// Each byte that is not a letter or digit as \xHH, so a guid is matched
// literally and nothing in it means anything to nginx's parser.
std::string Literal(const std::string& text) {
    std::string pattern;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            pattern += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            pattern += escaped;
        }
    }
    return pattern;
}

// Digit strings of exactly digits.size() characters (leading zeros allowed
// from `first` on) whose value is below `digits`, as alternatives.
std::vector<std::string> SameLengthBelow(const std::string& digits, char lowestFirst) {
    std::vector<std::string> alternatives;
    for (size_t i = 0; i < digits.size(); ++i) {
        char lowest = i == 0 ? lowestFirst : '0';
        if (digits[i] <= lowest) continue;
        std::string alternative = digits.substr(0, i) + "[" + lowest + "-" + static_cast<char>(digits[i] - 1) + "]";
        if (i + 1 < digits.size()) alternative += "[0-9]{" + std::to_string(digits.size() - i - 1) + "}";
        alternatives.push_back(alternative);
    }
    return alternatives;
}

std::string Joined(const std::vector<std::string>& alternatives) {
    std::string text;
    for (const std::string& alternative : alternatives) text += (text.empty() ? "" : "|") + alternative;
    return text;
}

bool WriteFile(const fs::path& path, const std::string& bytes, std::string& error) {
    std::error_code code;
    fs::create_directories(path.parent_path(), code);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::string Answer(const PublishFolder& folder, const std::string& serverBase,
                   std::map<std::string, std::string> params) {
    ServiceRequest request;
    request.path = kServletPath;
    request.params = std::move(params);
    request.serverBase = serverBase;
    return AnswerRequest(folder, request).body;
}

}  // namespace

std::string VersionBelowPattern(double version) {
    char text[64];
    std::snprintf(text, sizeof text, "%.5f", version);
    std::string whole(text, std::strchr(text, '.'));
    std::string fraction(std::strchr(text, '.') + 1);
    if (version < 0) return std::string();
    if (whole == "0") whole.clear();

    // Either the whole part is smaller (any fraction), or it is the same and
    // the fraction is smaller.
    std::vector<std::string> smallerWhole;
    if (!whole.empty()) {
        smallerWhole.push_back("0?");
        if (whole.size() >= 2) smallerWhole.push_back("[1-9][0-9]{0," + std::to_string(whole.size() - 2) + "}");
        for (const std::string& alternative : SameLengthBelow(whole, '1')) smallerWhole.push_back(alternative);
    }
    std::vector<std::string> smallerFraction = SameLengthBelow(fraction, '0');
    std::vector<std::string> alternatives;
    if (!smallerWhole.empty()) alternatives.push_back("(?:" + Joined(smallerWhole) + ")[.][0-9]{5}");
    if (!smallerFraction.empty())
        alternatives.push_back((whole.empty() ? std::string("0?") : whole) + "[.](?:" + Joined(smallerFraction) + ")");
    if (alternatives.empty()) return std::string();
    return "(?:" + Joined(alternatives) + ")";
}

bool ExportStaticTree(const PublishFolder& folder, const std::string& outDir, const std::string& serverBase,
                      std::string& error) {
    const fs::path out(outDir);
    std::vector<std::string> problems;
    std::vector<PublishedSoftware> known = folder.software(&problems);
    if (problems.empty()) problems = folder.digestProblems(known);
    if (!problems.empty()) {
        error = problems.front();
        return false;
    }
    std::vector<std::string> mapLines;
    auto route = [&mapLines](const std::string& pattern, const std::string& reply) {
        mapLines.push_back("\"~^" + pattern + "$\" " + reply + ";");
    };

    std::set<int> fileIds;
    for (size_t index = 0; index < known.size(); ++index) {
        const PublishedSoftware& software = known[index];
        const std::string dir = "replies/" + std::to_string(index) + "/";
        const std::string sof = Literal(software.guid) + "_";

        // Availability depends on the version asked: one reply per interval
        // between releases, the first pattern that matches wins.
        std::vector<double> releases = software.versions;
        std::sort(releases.begin(), releases.end());
        releases.erase(std::unique(releases.begin(), releases.end()), releases.end());
        double below = releases.empty() ? 0.0 : releases.front() - 1.0;
        for (size_t i = 0; i <= releases.size(); ++i) {
            const std::string reply = dir + "availability-" + std::to_string(i) + ".xml";
            if (!WriteFile(out / reply, AvailabilityDocument(&software, below), error)) return false;
            if (i == releases.size()) {
                route(std::string("availability[|]") + kAnyField + "[|]" + sof + kAnyField + "[|]" + kAnyField,
                      reply);
            } else {
                std::string pattern = VersionBelowPattern(releases[i]);
                if (!pattern.empty())
                    route(std::string("availability[|]") + kAnyField + "[|]" + sof + pattern + "[|]" + kAnyField,
                          reply);
                below = releases[i];
            }
        }

        const std::string version = "_.00000";
        if (!WriteFile(out / (dir + "updates.xml"),
                       Answer(folder, serverBase, {{"task", "updates"}, {"sof", software.guid + version}}), error))
            return false;
        route(std::string("updates[|]") + kAnyField + "[|]" + sof + kAnyField + "[|]" + kAnyField,
              dir + "updates.xml");

        // Dependencies are listed for no type or "dependency"; any other
        // type gets the reply without software.
        if (!WriteFile(out / (dir + "associations.xml"),
                       Answer(folder, serverBase, {{"task", "associations"}, {"sof", software.guid + version}}),
                       error) ||
            !WriteFile(out / (dir + "associations-other.xml"),
                       Answer(folder, serverBase,
                              {{"task", "associations"}, {"type", "other"}, {"sof", software.guid + version}}),
                       error))
            return false;
        route(std::string("associations[|](?:dependency)?[|]") + sof + kAnyField + "[|]" + kAnyField,
              dir + "associations.xml");
        route(std::string("associations[|]") + kAnyField + "[|]" + sof + kAnyField + "[|]" + kAnyField,
              dir + "associations-other.xml");

        for (const PublishedFile& file : software.files) {
            if (!fileIds.insert(file.id).second) continue;
            const std::string reply = "replies/install/" + std::to_string(file.id) + ".xml";
            if (!WriteFile(out / reply,
                           Answer(folder, serverBase, {{"task", "install"}, {"file", std::to_string(file.id)}}),
                           error))
                return false;
            route(std::string("install[|]") + kAnyField + "[|]" + kAnyField + "[|]" + std::to_string(file.id),
                  reply);
        }
    }
    // Availability of software nobody published: no updates.
    if (!WriteFile(out / "replies/unknown-availability.xml", AvailabilityDocument(nullptr, 0), error)) return false;
    route(std::string("availability[|]") + kAnyField + "[|]" + kAnyField + "[|]" + kAnyField,
          "replies/unknown-availability.xml");

    std::error_code code;
    fs::create_directories(out / "files", code);
    const fs::path files = fs::path(folder.root()) / "files";
    if (fs::is_directory(files, code)) {
        fs::copy(files, out / "files", fs::copy_options::recursive | fs::copy_options::overwrite_existing, code);
        if (code) {
            error = "cannot copy " + files.string() + ": " + code.message();
            return false;
        }
    }
    // The map last, under its name only once whole: its presence says the
    // tree is complete.
    std::string map = "# Made by update-service --export: \"$arg_task|$arg_type|$arg_sof|$arg_file\" to a reply.\n";
    for (const std::string& line : mapLines) map += line + "\n";
    if (!WriteFile(out / "replies.map.tmp", map, error)) return false;
    fs::rename(out / "replies.map.tmp", out / "replies.map", code);
    if (code) {
        error = "cannot write " + (out / "replies.map").string() + ": " + code.message();
        return false;
    }
    return true;
}
