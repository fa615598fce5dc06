#pragma once
// Who owns a folder and who may change it: what an elevated program checks
// before it trusts a folder an ordinary user might have made, and the rights
// it gives a folder it keeps its programs in.
#include <string>

// True when the existing entry's owner is Administrators, SYSTEM,
// TrustedInstaller, or the user or default owner of this process's token.
// False when it is anyone else, or the owner cannot be read.
bool HasTrustedOwner(const std::string& path);

// Gives the existing folder a protected DACL, nothing inherited from its
// parent: Administrators and SYSTEM full control, Users read and execute,
// each passed on to every folder and file below. Only Administrators and
// SYSTEM can then change it. False, with the system's error code in
// `error`, when it could not be set.
bool RestrictToAdministrators(const std::string& folder, unsigned long* error = nullptr);
