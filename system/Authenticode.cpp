#include "system/Authenticode.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

CertificateSubject SubjectOf(PCCERT_CONTEXT certificate) {
    const CERT_NAME_BLOB& name = certificate->pCertInfo->Subject;
    return CertificateSubject(reinterpret_cast<const char*>(name.pbData), name.cbData);
}

std::string DisplayNameOf(PCCERT_CONTEXT certificate) {
    wchar_t name[256] = {};
    CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, ARRAYSIZE(name));
    return Narrow(name);
}

// One WinVerifyTrust run over a file; the verifier's state (which holds the
// signer's certificate) lives as long as this object.
class TrustVerification {
public:
    explicit TrustVerification(const std::wstring& path) : path_(path) {
        file_.cbStruct = sizeof(file_);
        file_.pcwszFilePath = path_.c_str();
        data_.cbStruct = sizeof(data_);
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        result_ = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~TrustVerification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    TrustVerification(const TrustVerification&) = delete;
    TrustVerification& operator=(const TrustVerification&) = delete;

    LONG result() const { return result_; }
    // The certificate that signed the file, or null.
    PCCERT_CONTEXT signer() const {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        return certificate ? certificate->pCert : nullptr;
    }

private:
    std::wstring path_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_ = {};
    WINTRUST_DATA data_ = {};
    LONG result_ = ERROR_SUCCESS;
};

bool IsMissingSignature(LONG result) {
    return result == TRUST_E_NOSIGNATURE || result == TRUST_E_SUBJECT_FORM_UNKNOWN ||
           result == TRUST_E_PROVIDER_UNKNOWN;
}

}  // namespace

CertificateSubject EmbeddedSignerSubject(const std::string& program) {
    const std::wstring path = Widen(program);
    UniqueCertStore store;
    UniqueCryptMessage message;
    DWORD encoding = 0, contentType = 0, format = 0;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &format, store.put(),
                          message.put(), nullptr))
        return CertificateSubject();
    DWORD size = 0;
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return CertificateSubject();
    std::vector<BYTE> signerInfo(size);
    if (!CryptMsgGetParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, signerInfo.data(), &size))
        return CertificateSubject();
    // The signer is named by issuer and serial number; its certificate is
    // among those the signature carries.
    UniqueCertificate signer(CertFindCertificateInStore(store.get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT,
                                                        signerInfo.data(), nullptr));
    return signer ? SubjectOf(signer.get()) : CertificateSubject();
}

SignatureVerdict VerifySignedBy(const std::string& program, const CertificateSubject& subject) {
    TrustVerification verification(Widen(program));
    SignatureVerdict verdict;
    verdict.error = verification.result();
    if (IsMissingSignature(verdict.error)) {
        verdict.check = SignatureCheck::Missing;
        return verdict;
    }
    PCCERT_CONTEXT signer = verification.signer();
    if (signer) verdict.signerName = DisplayNameOf(signer);
    if (verdict.error != ERROR_SUCCESS || !signer) {
        verdict.check = SignatureCheck::Invalid;
        return verdict;
    }
    verdict.check = SubjectOf(signer) == subject ? SignatureCheck::SameSigner : SignatureCheck::OtherSigner;
    return verdict;
}
