#pragma once
// Whether a newer installer that was downloaded may run in place of this
// program: when this program is signed, only with a valid signature by the
// same publisher (the signing certificate's subject). An unsigned program (a
// development build) runs any newer installer.
#include <string>

// Empty when `installer` may run; otherwise the failure text, naming the
// file and what is wrong with its signature.
std::string NewerInstallerRefusal(const std::string& installer);
