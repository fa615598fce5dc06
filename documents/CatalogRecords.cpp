#include "documents/CatalogRecords.h"

#include <atomic>

namespace {
std::atomic<long> liveRecords{0};
}

CatalogRecord::CatalogRecord() { ++liveRecords; }
CatalogRecord::~CatalogRecord() { --liveRecords; }
long CatalogRecord::liveCount() { return liveRecords.load(); }

FileRecord::FileRecord() = default;
FileRecord::~FileRecord() = default;
DependencyRecord::DependencyRecord() = default;
DependencyRecord::~DependencyRecord() = default;
SoftwareRecord::SoftwareRecord() = default;
SoftwareRecord::~SoftwareRecord() = default;
