#pragma once
// What the service's software documents describe: software, its files with
// their download links and install script, and its dependencies. Every
// record owns what it lists; a dependency also owns its target, a record
// made only to name the software needed (id and guid).
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "documents/InstallData.h"
#include "documents/ReleaseDate.h"

class CatalogRecord {
public:
    CatalogRecord();
    virtual ~CatalogRecord();
    CatalogRecord(const CatalogRecord&) = delete;
    CatalogRecord& operator=(const CatalogRecord&) = delete;
    // Records alive in the process, so tests can show that nothing leaks.
    static long liveCount();
};

struct LinkRecord;
struct FileRecord;
struct DependencyRecord;
struct SoftwareRecord;
using LinkList = std::vector<std::unique_ptr<LinkRecord>>;
using FileList = std::vector<std::unique_ptr<FileRecord>>;
using DependencyList = std::vector<std::unique_ptr<DependencyRecord>>;
using SoftwareList = std::vector<std::unique_ptr<SoftwareRecord>>;

struct LinkRecord : CatalogRecord {
    explicit LinkRecord(std::string url) : url(std::move(url)) {}
    std::string url;  // a complete download address
};

struct FileRecord : CatalogRecord {
    FileRecord();
    ~FileRecord() override;
    float ver = 0.0f;
    InstallData installData;  // filled by the file's install query
    ReleaseDate releaseDate;
    std::string fileName;  // the name it is saved under
    LinkList links;        // alternative addresses, tried in order
    int fileSize = 0;
    // The SHA-256 of the file's bytes as the service published it (64
    // hexadecimal digits); empty when it published none.
    std::string sha256;
    int id = 0;            // the service's file id
};

// Only dependencies of this kind are read from documents or considered.
const int kDependencyRequires = 2;

struct DependencyRecord : CatalogRecord {
    DependencyRecord();
    ~DependencyRecord() override;
    SoftwareRecord* owner = nullptr;         // the software that has the dependency
    std::unique_ptr<SoftwareRecord> target;  // never placed in a catalog list
    int kind = kDependencyRequires;
    float minVersion = 0.0f;
    int minBuild = 0;
};

struct SoftwareRecord : CatalogRecord {
    SoftwareRecord();
    ~SoftwareRecord() override;
    FileList files;
    DependencyList dependencies;
    std::string name;
    std::string guid;  // the service's software id
    int id = 0;        // the service's numeric id
};
