#pragma once
// update-service --root <publish-folder> [--port N] [--port-file <path>]
//                [--log <path>] [--headers <path>] [--max-seconds N] [--quiet]
// update-service --root <publish-folder> --export <folder> --base <url>
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
    std::string exportDir;  // set: write the static tree there instead of serving
    std::string exportBase; // the address the exported tree is served at
};

// False with `error` set when the arguments are not usable.
bool ParseCommandLine(const std::vector<std::string>& arguments, ServiceOptions& options,
                      std::string& error);
const char* UsageText();
