#pragma once
// A folder of our own for the programs we start, with a name nobody can guess
// in advance and an access list of its own, inheriting nothing: elevated, only
// Administrators and SYSTEM may use it, and it lies below the Windows temp
// folder (users cannot rename or replace what they did not create there);
// otherwise only the current user. Nothing can be waiting in it, or be put
// there, between our writing a program and starting it.
#include <string>

// Creates it and returns its path, ending in a backslash; empty on failure.
std::string CreatePrivateTempFolder();
