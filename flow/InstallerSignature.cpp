#include "flow/InstallerSignature.h"

#include <cstdio>

#include "system/Authenticode.h"
#include "system/FileSystem.h"
#include "system/Log.h"

namespace {

std::string HexCode(long code) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace

std::string NewerInstallerRefusal(const std::string& installer) {
    const CertificateSubject ours = EmbeddedSignerSubject(GetModulePath());
    if (ours.empty()) {
        LogLine("This program is not signed: the newer installer's signature is not checked");
        return std::string();
    }
    const SignatureVerdict verdict = VerifySignedBy(installer, ours);
    const std::string file = "The newer installer " + installer;
    switch (verdict.check) {
        case SignatureCheck::SameSigner:
            LogLine(file + " is signed by " + verdict.signerName + ", as this program is");
            return std::string();
        case SignatureCheck::Missing: return file + " is not signed: its signature is missing.";
        case SignatureCheck::OtherSigner:
            return file + " is signed by another publisher (" + verdict.signerName + ").";
        case SignatureCheck::Invalid: break;
    }
    return file + " has a signature that is not valid (error " + HexCode(verdict.error) + ").";
}
