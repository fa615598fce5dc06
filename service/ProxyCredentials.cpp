#include "service/ProxyCredentials.h"

namespace {

thread_local ProxyCredentialsPrompt* t_prompt = nullptr;

}  // namespace

ProxyCredentialsScope::ProxyCredentialsScope(ProxyCredentialsPrompt* prompt) : previous_(t_prompt) {
    t_prompt = prompt;
}

ProxyCredentialsScope::~ProxyCredentialsScope() { t_prompt = previous_; }

ProxyCredentialsPrompt* CurrentProxyCredentialsPrompt() { return t_prompt; }
