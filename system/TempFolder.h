#pragma once
// A folder of our own below the user's temporary folder, with a name nobody
// can guess in advance, so that nothing can be waiting in it when we write
// or start a program there.
#include <string>

// Creates it and returns its path, ending in a backslash; empty on failure.
std::string CreatePrivateTempFolder();
