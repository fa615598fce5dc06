#pragma once
// A file held open for reading, with writing and deleting denied to every
// other opener, whose bytes were hashed through that same handle. While the
// handle is held, a program started from the path or an archive read from it
// has exactly the bytes that were verified: nobody can change, replace or
// rename the file in between. Readers that share reading (CreateProcess, the
// zip reader) still open it.
#include <string>

#include "system/UniqueHandle.h"

// The held file, when its SHA-256 is `expectedSha256` (either case); an empty
// handle when it cannot be opened that way or its bytes differ. A file whose
// bytes differ is deleted where possible, so nothing else uses it. An empty
// expected digest never matches.
UniqueFileHandle LockVerifiedFile(const std::string& path, const std::string& expectedSha256);
