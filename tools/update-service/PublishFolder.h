#pragma once
// What a publish folder says, read afresh for every request so a vendor (or a
// test) can edit it while the service runs. Layout: README.md.
#include <optional>
#include <string>
#include <vector>

struct PublishedFile {
    int id = 0;
    std::string ver;          // as written, e.g. 2.10000
    std::string releaseDate;  // as written
    std::string fileName;
    std::vector<std::string> links;  // as written; empty means the service's own /files/<fileName>
    std::string sha256;  // given on the line (sha256=...), lower-case; empty when not given
    std::string origin;  // "<software file> line N", to name the line in a complaint
};

// What the service publishes about the bytes of files/<name>.
struct DownloadFacts {
    long long size = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits
};

struct PublishedDependency {
    std::string guid;
    std::string minVersion;
    std::string minBuild;
};

struct PublishedSoftware {
    std::string guid;
    int id = 0;
    std::string name;
    std::vector<double> versions;  // every release; the highest is the latest
    std::string message;           // availability reply's message
    std::string clientMsg;         // updates and associations replies' clientMsg
    std::vector<PublishedFile> files;
    std::vector<PublishedDependency> dependencies;
};

class PublishFolder {
public:
    explicit PublishFolder(std::string root);

    // Every software/*.txt, in file-name order. Lines that do not parse are
    // skipped; `problems` collects a note for each.
    std::vector<PublishedSoftware> software(std::vector<std::string>* problems = nullptr) const;
    // The file with this id in any software, if any.
    std::optional<PublishedFile> findFile(int fileId) const;

    // scripts/<fileId>.xml, if present.
    std::optional<std::string> installScript(int fileId) const;
    // files/<name>; nullopt for a missing file or a name that leaves files/.
    std::optional<std::string> download(const std::string& name) const;
    // The path of files/<name>, on the same terms.
    std::optional<std::string> downloadPath(const std::string& name) const;
    // Size and digest computed from the bytes, so a vendor never writes one.
    std::optional<DownloadFacts> downloadFacts(const std::string& name) const;
    // What the replies publish about `file`: computed from files/<fileName>
    // when the folder holds it (a digest given on the line must agree), else
    // the digest its line gives, with size 0. The installer takes no file
    // without a digest: nullopt then, with `problem` naming the line.
    std::optional<DownloadFacts> publishedFacts(const PublishedFile& file, std::string& problem) const;
    // One note per file line of `software` that publishedFacts refuses.
    std::vector<std::string> digestProblems(const std::vector<PublishedSoftware>& software) const;
    // misbehave.txt, or empty.
    std::string misbehaviourText() const;

    const std::string& root() const { return root_; }

private:
    std::string root_;
};
