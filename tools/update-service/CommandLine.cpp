#include "CommandLine.h"

#include <cstdlib>

namespace {

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= low && value <= high;
}

}  // namespace

const char* UsageText() {
    return "usage: update-service --root <publish-folder> [--port N (0: any free port)]\n"
           "                      [--port-file <path>] [--log <path>] [--headers <path>]\n"
           "                      [--max-seconds N] [--quiet]\n"
           "       update-service --root <publish-folder> --export <folder> --base <https://host[:port]>\n";
}

bool ParseCommandLine(const std::vector<std::string>& arguments, ServiceOptions& options,
                      std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = name + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        long number = 0;
        if (name == "--root") {
            options.root = value;
        } else if (name == "--port-file") {
            options.portFile = value;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--headers") {
            options.headersPath = value;
        } else if (name == "--export") {
            options.exportDir = value;
        } else if (name == "--base") {
            options.exportBase = value;
            while (!options.exportBase.empty() && options.exportBase.back() == '/') options.exportBase.pop_back();
        } else if (name == "--port") {
            if (!ParseNumber(value, 0, 65535, number)) {
                error = "--port takes 0 to 65535";
                return false;
            }
            options.port = static_cast<int>(number);
        } else if (name == "--max-seconds") {
            if (!ParseNumber(value, 0, 7 * 24 * 3600, number)) {
                error = "--max-seconds takes a count of seconds";
                return false;
            }
            options.maxSeconds = number;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (options.root.empty()) {
        error = "--root is required";
        return false;
    }
    if (options.exportDir.empty() != options.exportBase.empty()) {
        error = "--export and --base go together";
        return false;
    }
    return true;
}
