#pragma once
// Test switches from misbehave.txt: one rule a line, "<prefix> <action> [n]".
// Every rule whose prefix starts the request-target applies; a later rule of
// the same kind replaces an earlier one. Actions:
//   status N   answer with status N (and a short text body) instead
//   cut N      announce the full Content-Length, send N bytes, close
//   cut-once N the same for the first request it applies to after
//              misbehave.txt last changed; later ones are served whole (or
//              the range they ask for), so a client can resume
//   nolength   no Content-Length: the body ends when the connection closes
//   chunked    no Content-Length: chunked transfer encoding
//   delay MS   wait MS milliseconds before answering
//   stall      take the request and never answer (until the service stops)
//   redirect URL answer 302 with Location: URL (any text, relative or of
//              any scheme) instead
#include <string>
#include <vector>

enum class Delivery { Normal, Cut, NoLength, Chunked };

struct ReplyPlan {
    int status = 0;  // 0: the reply's own status
    Delivery delivery = Delivery::Normal;
    size_t cutAfter = 0;
    long delayMs = 0;
    bool stall = false;
    std::string redirectTo;  // empty: no redirect
    // The rule line of a cut-once: the caller serves the cut only the first
    // time it sees this line, and Normal after that.
    std::string onceRule;
};

// `problems` collects a note for each line that does not parse.
ReplyPlan PlanReply(const std::string& rulesText, const std::string& target,
                    std::vector<std::string>* problems = nullptr);
