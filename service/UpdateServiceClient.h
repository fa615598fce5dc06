#pragma once
// Opens one request to the update service (a GET when the body is empty)
// with the fixed header block. Each query makes one client and one request
// and destroys both; nothing is pooled.
#include <memory>
#include <string>

#include "service/HttpRequest.h"

class UpdateServiceClient {
public:
    // Null on failure, with lastError() saying why. The status is not
    // examined here: the caller asks isSuccess().
    std::unique_ptr<HttpRequest> openRequest(const std::string& url, const std::string& userName,
                                             const std::string& password, const std::string& body);
    std::string lastError() const { return lastError_; }
    // The message for an HTTP status code ("Unknown error" for codes without one).
    static std::string statusText(int code);

private:
    std::string lastError_;
};

// Sent with every request, exactly so.
extern const char kServiceRequestHeaders[];
// openRequest's text when the connection check fails.
extern const char kNoConnectionText[];
