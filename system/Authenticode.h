#pragma once
// Authenticode signatures of programs: who signed a program file, and
// whether another program carries a valid signature by that same signer.
#include <windows.h>

#include <string>

// A certificate subject: the DER-encoded distinguished name.
using CertificateSubject = std::string;

// The subject of the certificate that signed `program` (an embedded
// signature, read without checking it), or empty when the file carries no
// signature.
CertificateSubject EmbeddedSignerSubject(const std::string& program);

enum class SignatureCheck {
    SameSigner,   // a valid signature by a certificate of the given subject
    Missing,      // no signature at all
    Invalid,      // a signature that does not verify (`error` says why)
    OtherSigner,  // a valid signature by a certificate of another subject
};
struct SignatureVerdict {
    SignatureCheck check = SignatureCheck::Missing;
    LONG error = ERROR_SUCCESS;  // WinVerifyTrust's answer
    std::string signerName;      // the signer's display name, when there is one
};

// Verifies `program`'s signature with WinVerifyTrust (the Authenticode
// policy, no revocation check, no window) and compares the signing
// certificate's subject with `subject`.
SignatureVerdict VerifySignedBy(const std::string& program, const CertificateSubject& subject);
