#include "PublishFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "Sha256Digest.h"
#include "system/PathSafety.h"

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) fields.push_back(Trim(field));
    if (!text.empty() && text.back() == separator) fields.push_back("");
    return fields;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0') return false;
    value = static_cast<int>(parsed);
    return true;
}

bool IsHexDigest(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// After the file name: the links, and "sha256=<64 hexadecimal digits>" for
// the bytes of a file the service does not hold, in either order.
bool ParseFileLine(const std::string& value, PublishedFile& file) {
    const std::string kDigestField = "sha256=";
    std::vector<std::string> fields = SplitFields(value, '|');
    if (fields.size() < 4 || !ParseInt(fields[0], file.id) || fields[3].empty()) return false;
    file.ver = fields[1];
    file.releaseDate = fields[2];
    file.fileName = fields[3];
    for (size_t index = 4; index < fields.size(); ++index) {
        const std::string& field = fields[index];
        if (field.compare(0, kDigestField.size(), kDigestField) == 0) {
            file.sha256 = Trim(field.substr(kDigestField.size()));
            std::transform(file.sha256.begin(), file.sha256.end(), file.sha256.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (!IsHexDigest(file.sha256)) return false;
        } else {
            for (const std::string& link : SplitWords(field)) file.links.push_back(link);
        }
    }
    return true;
}

bool ParseDependencyLine(const std::string& value, PublishedDependency& dependency) {
    std::vector<std::string> fields = SplitFields(value, '|');
    if (fields.empty() || fields[0].empty()) return false;
    dependency.guid = fields[0];
    dependency.minVersion = fields.size() > 1 && !fields[1].empty() ? fields[1] : "0";
    dependency.minBuild = fields.size() > 2 && !fields[2].empty() ? fields[2] : "0";
    return true;
}

// One software file's text; false when guid or id is missing.
bool ParseSoftwareText(const std::string& text, PublishedSoftware& software,
                       std::vector<std::string>* problems) {
    bool haveId = false;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto complain = [&](const std::string& what) {
        if (problems) problems->push_back("line " + std::to_string(lineNumber) + ": " + what);
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        size_t equals = trimmed.find('=');
        if (equals == std::string::npos) {
            complain("no '=' in \"" + trimmed + "\"");
            continue;
        }
        std::string key = Trim(trimmed.substr(0, equals));
        std::string value = Trim(trimmed.substr(equals + 1));
        if (key == "guid") {
            software.guid = value;
        } else if (key == "id") {
            haveId = ParseInt(value, software.id);
            if (!haveId) complain("id is not a number");
        } else if (key == "name") {
            software.name = value;
        } else if (key == "versions") {
            for (const std::string& word : SplitWords(value))
                software.versions.push_back(std::strtod(word.c_str(), nullptr));
        } else if (key == "message") {
            software.message = value;
        } else if (key == "clientMsg") {
            software.clientMsg = value;
        } else if (key == "file") {
            PublishedFile file;
            file.origin = "line " + std::to_string(lineNumber);
            if (ParseFileLine(value, file)) software.files.push_back(file);
            else complain("file needs id | ver | releaseDate | fileName [| links] [| sha256=<64 hex digits>]");
        } else if (key == "dependency") {
            PublishedDependency dependency;
            if (ParseDependencyLine(value, dependency)) software.dependencies.push_back(dependency);
            else complain("dependency needs guid [| minVersion | minBuild]");
        } else {
            complain("unknown key \"" + key + "\"");
        }
    }
    if (software.guid.empty()) complain("no guid");
    if (!haveId) complain("no id");
    return !software.guid.empty() && haveId;
}

// A whole file; nullopt when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    if (!in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
    return bytes;
}

}  // namespace

PublishFolder::PublishFolder(std::string root) : root_(std::move(root)) {}

std::vector<PublishedSoftware> PublishFolder::software(std::vector<std::string>* problems) const {
    std::vector<std::string> paths;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(root_ + "/software", error))
        if (entry.path().extension() == ".txt") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());

    std::vector<PublishedSoftware> result;
    for (const std::string& path : paths) {
        std::optional<std::string> text = ReadWholeFile(path);
        if (!text) continue;
        PublishedSoftware software;
        std::vector<std::string> notes;
        bool ok = ParseSoftwareText(*text, software, &notes);
        if (problems)
            for (const std::string& note : notes) problems->push_back(path + ": " + note);
        for (PublishedFile& file : software.files) file.origin = path + " " + file.origin;
        if (ok) result.push_back(std::move(software));
    }
    return result;
}

std::optional<PublishedFile> PublishFolder::findFile(int fileId) const {
    for (const PublishedSoftware& software : software())
        for (const PublishedFile& file : software.files)
            if (file.id == fileId) return file;
    return std::nullopt;
}

std::optional<std::string> PublishFolder::installScript(int fileId) const {
    return ReadWholeFile(root_ + "/scripts/" + std::to_string(fileId) + ".xml");
}

std::optional<std::string> PublishFolder::downloadPath(const std::string& name) const {
    // The name comes from the request: it must stay inside the files folder.
    if (!IsSafeMemberName(name)) return std::nullopt;
    std::string path = root_ + "/files/" + name;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return path;
}

std::optional<std::string> PublishFolder::download(const std::string& name) const {
    std::optional<std::string> path = downloadPath(name);
    if (!path) return std::nullopt;
    return ReadWholeFile(*path);
}

std::optional<DownloadFacts> PublishFolder::downloadFacts(const std::string& name) const {
    // Hashing a large file for every reply that lists it would cost seconds:
    // a digest is kept while the file's size and change time stay the same.
    struct Known {
        uintmax_t size;
        fs::file_time_type changed;
        DownloadFacts facts;
    };
    static std::mutex knownLock;
    static std::map<std::string, Known> known;
    const std::optional<std::string> found = downloadPath(name);
    if (!found) return std::nullopt;
    const std::string& path = *found;
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    const fs::file_time_type changed = fs::last_write_time(path, error);
    if (!error) {
        std::lock_guard<std::mutex> locked(knownLock);
        auto found = known.find(path);
        if (found != known.end() && found->second.size == size && found->second.changed == changed)
            return found->second.facts;
    }
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    DownloadFacts facts{static_cast<long long>(bytes->size()), Sha256Hex(*bytes)};
    if (!error && facts.size == static_cast<long long>(size)) {
        std::lock_guard<std::mutex> locked(knownLock);
        known[path] = Known{size, changed, facts};
    }
    return facts;
}

std::optional<DownloadFacts> PublishFolder::publishedFacts(const PublishedFile& file, std::string& problem) const {
    if (std::optional<DownloadFacts> facts = downloadFacts(file.fileName)) {
        if (file.sha256.empty() || file.sha256 == facts->sha256) return facts;
        problem = file.origin + ": the sha256 given for " + file.fileName + " is not the digest of files/" +
                  file.fileName;
        return std::nullopt;
    }
    if (!file.sha256.empty()) return DownloadFacts{0, file.sha256};
    problem = file.origin + ": no digest for " + file.fileName +
              ": put the file in files/ or give sha256=<64 hex digits> on its line";
    return std::nullopt;
}

std::vector<std::string> PublishFolder::digestProblems(const std::vector<PublishedSoftware>& software) const {
    std::vector<std::string> problems;
    for (const PublishedSoftware& each : software)
        for (const PublishedFile& file : each.files) {
            std::string problem;
            if (!publishedFacts(file, problem)) problems.push_back(problem);
        }
    return problems;
}

std::string PublishFolder::misbehaviourText() const {
    return ReadWholeFile(root_ + "/misbehave.txt").value_or("");
}
