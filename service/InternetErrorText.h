#pragma once
// Failure texts of the transport, shared by the client, its requests and the
// queries.
#include <string>

// For failures that carry no platform error of their own.
extern const char kInternalErrorText[];  // "An internal memory error has occurred."

// The internet library's own wording of an error code (its message table),
// at most 255 characters; the server's response text for an extended error.
// A code without a message still gets a text that names it.
std::string InternetErrorText(unsigned long code);
// The system's wording of a Win32 error code (file and disk failures).
std::string SystemErrorText(unsigned long code);
