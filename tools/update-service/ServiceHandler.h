#pragma once
// The servlet's answers, free of any HTTP library: a request's path and
// query parameters in, status, content type and body out.
#include <map>
#include <string>

#include "PublishFolder.h"

struct ServiceRequest {
    std::string path;                           // decoded, without the query
    std::map<std::string, std::string> params;  // decoded query parameters
    std::string serverBase;                     // "http://host:port" the client used
};

struct ServiceReply {
    int status = 200;
    std::string contentType = "text/xml";
    std::string body;
    // A published file: the body is the bytes of this file, read as they
    // are sent rather than held in memory (body stays empty).
    std::string bodyFile;
};

extern const char kServletPath[];  // "/servlet/SoftwareUpdateServlet"

ServiceReply AnswerRequest(const PublishFolder& folder, const ServiceRequest& request);

// "<guid>_<version>" split at the last underscore; false without one.
bool SplitSoftwareParameter(const std::string& sof, std::string& guid, double& version);
