#pragma once
// Opens one request to the update service (a GET when the body is empty)
// with the fixed header block. Each query makes one client and one request
// and destroys both; nothing is pooled. Only http and https addresses are
// requested; https keeps every certificate check of the platform, and a
// certificate it refuses is a failure, never a reason to retry in the clear.
// Up to kMaxRedirects redirects are followed, each only to an address of the
// same scheme; a redirect to any other is a failure naming the host.
// Requests go through the system's proxy settings; a proxy that asks for
// credentials is answered through the thread's ProxyCredentialsPrompt, and
// without one (or when the user gives none) the request fails naming it.
#include <memory>
#include <string>

#include "service/HttpRequest.h"

class UpdateServiceClient {
public:
    // Null on failure, with lastError() saying why. The status is not
    // examined here: the caller asks isSuccess(). `extraHeaders` (lines
    // ending in CR LF) follow the fixed block.
    std::unique_ptr<HttpRequest> openRequest(const std::string& url, const std::string& userName,
                                             const std::string& password, const std::string& body,
                                             const std::string& extraHeaders = std::string());
    std::string lastError() const { return lastError_; }
    // The internet library's error code of the last failure; 0 when the
    // failure had none (a refused address, a proxy that wanted credentials).
    unsigned long lastErrorCode() const { return lastErrorCode_; }
    // The message for an HTTP status code ("Unknown error" for codes without one).
    static std::string statusText(int code);
    // statusText with a second line: which server answered so for which
    // file, and what the user can do about it.
    static std::string statusFailureText(int code, const std::string& url);

    static const int kMaxRedirects = 5;

private:
    struct ServiceAddress {
        std::string url;
        bool secure = false;
        unsigned short port = 0;
        std::wstring host;
        std::wstring object;  // path and query as sent on the wire
    };
    // False for anything but an http or https address.
    static bool CrackServiceAddress(const std::string& url, ServiceAddress& address);
    // One request, its reply as it came: a redirect is not followed.
    std::unique_ptr<HttpRequest> openOnce(const ServiceAddress& address, const std::string& method,
                                          const std::string& userName, const std::string& password,
                                          const std::string& body, const std::string& extraHeaders);

    std::string lastError_;
    unsigned long lastErrorCode_ = 0;
};

// Sent with every request, exactly so.
extern const char kServiceRequestHeaders[];
// The first line of openRequest's text when the request finds no way to the
// server (a name not found, a connection refused); a second line names the
// host and the cause.
extern const char kNoConnectionText[];

// The bound on connecting, sending and waiting for each block of a reply, so
// a service that accepts a connection and then says nothing ends in failure.
const unsigned long kTransportTimeoutMs = 30000;
#ifdef VYN_TEST_HOOKS
// Test builds only: a shorter bound, so a stalled service fails quickly.
void SetTransportTimeoutForTests(unsigned long milliseconds);
#endif
