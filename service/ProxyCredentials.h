#pragma once
// Who is asked when a proxy wants a user name and password (HTTP 407). The
// requests of a run are made on its worker's thread, so the one to ask is
// set per thread; without one, nobody is asked and the request fails.
class ProxyCredentialsPrompt {
public:
    virtual ~ProxyCredentialsPrompt() = default;
    // `request` is the internet library's handle of the request the proxy
    // refused. Shows the system's credentials dialog for it; true when the
    // request is to be sent again with what the user entered.
    virtual bool askProxyCredentials(void* request) = 0;
};

// Makes `prompt` the one asked for the requests of this thread while it lives.
class ProxyCredentialsScope {
public:
    explicit ProxyCredentialsScope(ProxyCredentialsPrompt* prompt);
    ~ProxyCredentialsScope();
    ProxyCredentialsScope(const ProxyCredentialsScope&) = delete;
    ProxyCredentialsScope& operator=(const ProxyCredentialsScope&) = delete;

private:
    ProxyCredentialsPrompt* previous_;
};

// The prompt of this thread; null when there is none.
ProxyCredentialsPrompt* CurrentProxyCredentialsPrompt();
