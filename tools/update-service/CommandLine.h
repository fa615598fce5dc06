#pragma once
// update-service --root <publish-folder> [--port N] [--port-file <path>]
//                [--log <path>] [--headers <path>] [--max-seconds N] [--quiet]
#include <string>
#include <vector>

struct ServiceOptions {
    std::string root;
    int port = 8080;        // 0: any free port
    std::string portFile;   // written once listening: the port number alone
    std::string logPath;
    std::string headersPath;  // each request line with its header lines, then a blank line
    long maxSeconds = 0;    // 0: no limit
    bool quiet = false;     // no request lines on stdout
};

// False with `error` set when the arguments are not usable.
bool ParseCommandLine(const std::vector<std::string>& arguments, ServiceOptions& options,
                      std::string& error);
const char* UsageText();
