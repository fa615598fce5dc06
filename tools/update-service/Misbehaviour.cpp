#include "Misbehaviour.h"

#include <cstdlib>
#include <sstream>

namespace {

bool ParseCount(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= 0;
}

}  // namespace

ReplyPlan PlanReply(const std::string& rulesText, const std::string& target,
                    std::vector<std::string>* problems) {
    ReplyPlan plan;
    std::istringstream lines(rulesText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string prefix, action, argument, extra;
        if (!(words >> prefix) || prefix[0] == '#') continue;
        words >> action >> argument >> extra;
        long number = 0;
        bool needsNumber = action == "status" || action == "cut" || action == "cut-once" || action == "delay";
        bool numberOk = ParseCount(argument, number);
        const bool needsText = action == "redirect";
        bool known = needsNumber || needsText || action == "nolength" || action == "chunked" || action == "stall";
        if (action == "status" && (number < 100 || number > 599)) numberOk = false;
        if (!known || (needsNumber && !numberOk) || (needsText && argument.empty()) ||
            (!needsNumber && !needsText && !argument.empty()) || !extra.empty()) {
            if (problems) problems->push_back("misbehave.txt: cannot use \"" + line + "\"");
            continue;
        }
        if (target.compare(0, prefix.size(), prefix) != 0) continue;
        if (action == "status") {
            plan.status = static_cast<int>(number);
        } else if (action == "cut" || action == "cut-once") {
            plan.delivery = Delivery::Cut;
            plan.cutAfter = static_cast<size_t>(number);
            plan.onceRule = action == "cut-once" ? line : std::string();
        } else if (action == "nolength") {
            plan.delivery = Delivery::NoLength;
        } else if (action == "chunked") {
            plan.delivery = Delivery::Chunked;
        } else if (action == "stall") {
            plan.stall = true;
        } else if (action == "redirect") {
            plan.redirectTo = argument;
        } else {
            plan.delayMs = number;
        }
    }
    return plan;
}
