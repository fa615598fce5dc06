#include "service/UpdateServiceClient.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cwchar>
#include <mutex>
#include <vector>

#include "service/InternetErrorText.h"
#include "service/ProxyCredentials.h"
#include "system/FileSystem.h"
#include "system/SlimLock.h"
#include "system/Utf8.h"

const char kServiceRequestHeaders[] =
    "Accept: */*\r\nContent-Type: application/x-www-form-urlencoded\r\nUser-Agent: QMT Win32 InstallerApp\r\n";
const char kNoConnectionText[] =
    "An internet connection was not found.  If you are using dial-up, please connect and run this application "
    "again.";

namespace {

const DWORD_PTR kContext = 1;

std::atomic<unsigned long> g_transportTimeoutMs{kTransportTimeoutMs};

// The proxy credentials the user last entered, kept in memory for the rest
// of the run: each request opens its own session, and the user is asked
// once, not once per request.
struct ProxyCredentials {
    SlimLock lock;
    std::wstring userName;
    std::wstring password;
} g_proxyCredentials;

// A string option of an internet handle; empty when it has none.
std::wstring SessionText(HINTERNET session, DWORD option) {
    DWORD size = 0;
    InternetQueryOptionW(session, option, nullptr, &size);
    if (size == 0) return std::wstring();
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(session, option, &text[0], &size)) return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

// Reads them from the request the user answered (the dialog sets them
// there), else from its session.
void RememberProxyCredentials(HINTERNET request, HINTERNET session) {
    std::wstring userName = SessionText(request, INTERNET_OPTION_PROXY_USERNAME);
    std::wstring password = SessionText(request, INTERNET_OPTION_PROXY_PASSWORD);
    if (userName.empty()) {
        userName = SessionText(session, INTERNET_OPTION_PROXY_USERNAME);
        password = SessionText(session, INTERNET_OPTION_PROXY_PASSWORD);
    }
    if (userName.empty()) return;
    std::lock_guard<SlimLock> locked(g_proxyCredentials.lock);
    g_proxyCredentials.userName = std::move(userName);
    g_proxyCredentials.password = std::move(password);
}

// Gives a request the credentials entered earlier in the run; false when
// there are none.
bool ApplyRememberedProxyCredentials(HINTERNET request) {
    std::lock_guard<SlimLock> locked(g_proxyCredentials.lock);
    if (g_proxyCredentials.userName.empty()) return false;
    return InternetSetOptionW(request, INTERNET_OPTION_PROXY_USERNAME, &g_proxyCredentials.userName[0],
                              static_cast<DWORD>(g_proxyCredentials.userName.size() + 1)) &&
           InternetSetOptionW(request, INTERNET_OPTION_PROXY_PASSWORD, &g_proxyCredentials.password[0],
                              static_cast<DWORD>(g_proxyCredentials.password.size() + 1));
}

bool IsCertificateError(DWORD code) {
    switch (code) {
        case ERROR_INTERNET_INVALID_CA:
        case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case ERROR_INTERNET_SEC_CERT_ERRORS:
        case ERROR_INTERNET_SEC_CERT_NO_REV:
        case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        case ERROR_INTERNET_SEC_CERT_REVOKED:
        case ERROR_INTERNET_SEC_INVALID_CERT:
        case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
            return true;
        default:
            return false;
    }
}

// Failures of the request that mean there is no way to the server: a name
// nobody could resolve, a connection nobody accepted.
bool IsNoNetworkError(DWORD code) {
    return code == ERROR_INTERNET_NAME_NOT_RESOLVED || code == ERROR_INTERNET_CANNOT_CONNECT ||
           code == ERROR_INTERNET_DISCONNECTED;
}

// The host as a user would type it: with its port unless it is the
// scheme's own.
std::string HostForText(const std::wstring& host, unsigned short port, bool secure) {
    const unsigned short usual = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    return Narrow(host) + (port == usual ? std::string() : ":" + std::to_string(port));
}

// The proxy the session sends its requests through, as the settings name
// it ("host:port"); empty when it goes direct.
std::string ProxyName(HINTERNET session) {
    DWORD size = 0;
    InternetQueryOptionW(session, INTERNET_OPTION_PROXY, nullptr, &size);
    if (size < sizeof(INTERNET_PROXY_INFO)) return std::string();
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<INTERNET_PROXY_INFO*>(buffer.data());
    if (!InternetQueryOptionW(session, INTERNET_OPTION_PROXY, info, &size) ||
        info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy)
        return std::string();
    std::string proxies = Narrow(reinterpret_cast<const wchar_t*>(info->lpszProxy));
    // A list per scheme ("http=a:80;https=b:443") names the http one.
    const size_t http = proxies.find("http=");
    if (http != std::string::npos) proxies = proxies.substr(http + 5);
    return proxies.substr(0, proxies.find_first_of("; "));
}

// The first line keeps the wording users know; the second says what
// happened, where, and what to do. Through a proxy, the name not found or
// the connection refused is the proxy's.
std::string NoConnectionText(const std::string& host, const std::string& name, const std::string& proxy,
                             DWORD code) {
    std::string cause;
    if (code == ERROR_INTERNET_NAME_NOT_RESOLVED)
        cause = "the name " + (proxy.empty() ? name : proxy.substr(0, proxy.rfind(':'))) + " could not be found";
    else if (code == ERROR_INTERNET_DISCONNECTED)
        cause = "this computer is not connected to a network";
    else
        cause = "the connection was refused";
    return std::string(kNoConnectionText) + "\nCould not connect to " + host +
           (proxy.empty() ? std::string() : " through the proxy server " + proxy) + ": " + cause +
           ". Check your network or proxy settings, then run the installer again.";
}

std::string ProxyRefusedText(const std::string& proxy) {
    return UpdateServiceClient::statusText(407) + "\nThe proxy server " + (proxy.empty() ? "" : proxy + " ") +
           "asked for a user name and password, and none was accepted. Check your proxy settings, or run the "
           "installer without -silent to enter them, then run it again.";
}

// Reads what is left of a reply, so its request can be sent again.
void DrainReply(HINTERNET reply) {
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(reply, buffer, sizeof buffer, &read) && read > 0) {
    }
}

std::string RefusedSchemeText(const std::string& url) {
    return "The address \"" + url + "\" is not an http or https address; nothing was requested from it.";
}

std::string CertificateErrorText(const std::string& host, DWORD code) {
    return "The secure connection to " + host + " failed because its certificate is not valid: " +
           InternetErrorText(code);
}

// HTTP carries an address's path and query in ASCII: each byte of a
// character beyond it goes as %XX of its UTF-8 form, as browsers send it.
// The ASCII part, escapes already made included, stays as it was.
std::wstring ObjectForTheWire(const std::wstring& object) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string wire;
    for (unsigned char byte : Narrow(object)) {
        if (byte < 0x80) {
            wire += static_cast<char>(byte);
        } else {
            wire += '%';
            wire += kHexDigits[byte >> 4];
            wire += kHexDigits[byte & 0xF];
        }
    }
    return Widen(wire);
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// `location` (absolute or relative) read against the address it came from.
std::string CombinedUrl(const std::string& base, const std::string& location) {
    const std::wstring wideBase = Widen(base), wideLocation = Widen(location);
    std::wstring combined(wideBase.size() + wideLocation.size() + 64, L'\0');
    DWORD length = static_cast<DWORD>(combined.size());
    if (!InternetCombineUrlW(wideBase.c_str(), wideLocation.c_str(), &combined[0], &length, ICU_NO_ENCODE))
        return std::string();
    combined.resize(length);
    return Narrow(combined);
}

// Set on every handle: each takes its bounds when it is made, not later from
// its parent.
bool SetTimeouts(HINTERNET handle) {
    DWORD timeout = g_transportTimeoutMs.load();
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        if (!InternetSetOptionW(handle, option, &timeout, sizeof timeout)) return false;
    return true;
}

}  // namespace

// The scheme decides the port and the security of the connection; anything
// but http and https (a file, a share, ftp) is refused before any connection
// is made.
bool UpdateServiceClient::CrackServiceAddress(const std::string& url, ServiceAddress& address) {
    const std::wstring wideUrl = Widen(url);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // non-zero: point into wideUrl
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (wideUrl.empty() || !InternetCrackUrlW(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return false;
    address.url = url;
    address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    address.port = parts.nPort;
    // A host outside ASCII stays wide: the internet library encodes it.
    address.host.assign(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
    std::wstring object(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    address.object = object.empty() ? L"/" : ObjectForTheWire(object);
    return true;
}

#ifdef VYN_TEST_HOOKS
void SetTransportTimeoutForTests(unsigned long milliseconds) { g_transportTimeoutMs = milliseconds; }
#endif

std::unique_ptr<HttpRequest> UpdateServiceClient::openRequest(const std::string& url, const std::string& userName,
                                                              const std::string& password, const std::string& body,
                                                              const std::string& extraHeaders) {
    lastErrorCode_ = 0;
    try {
        ServiceAddress address;
        if (!CrackServiceAddress(url, address)) {
            lastError_ = RefusedSchemeText(url);
            return nullptr;
        }
        // Redirects are followed here rather than by the internet library,
        // so that a secure request never goes on in the clear: each step
        // must keep the scheme of the address it left.
        std::string method = body.empty() ? "GET" : "POST";
        std::string sentBody = body;
        for (int redirects = 0;; ++redirects) {
            std::unique_ptr<HttpRequest> request =
                openOnce(address, method, userName, password, sentBody, extraHeaders);
            if (!request) return nullptr;
            const int status = request->statusCode();
            const std::string location = request->headerValue("Location");
            // Past the bound, the redirect itself is the reply the caller sees.
            if (!IsRedirect(status) || location.empty() || redirects == kMaxRedirects) return request;
            ServiceAddress next;
            if (!CrackServiceAddress(CombinedUrl(address.url, location), next) || next.secure != address.secure) {
                lastError_ = "The update service at " + Narrow(address.host) +
                             " redirected to an address that is not " + (address.secure ? "https" : "http") +
                             "; the download was refused.";
                return nullptr;
            }
            // As browsers do: only 307 and 308 repeat a POST; the others fetch
            // the new address.
            if (status != 307 && status != 308) {
                method = "GET";
                sentBody.clear();
            }
            address = std::move(next);
        }
    } catch (...) {
        lastError_ = kInternalErrorText;
        return nullptr;
    }
}

std::unique_ptr<HttpRequest> UpdateServiceClient::openOnce(const ServiceAddress& address, const std::string& method,
                                                           const std::string& userName, const std::string& password,
                                                           const std::string& body,
                                                           const std::string& extraHeaders) {
    std::unique_ptr<HttpRequest> request(new HttpRequest);
    auto fail = [this](DWORD code) {
        lastError_ = InternetErrorText(code);
        lastErrorCode_ = code;
        return nullptr;
    };
    // The agent is the program's own name, as a class library gives it
    // when the caller names none. The system's settings decide the proxy.
    request->root_.reset(
        InternetOpenW(Widen(GetModuleName()).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!request->root_) return fail(GetLastError());
    if (!SetTimeouts(request->root_.get())) return fail(GetLastError());

    request->connection_.reset(InternetConnectW(request->root_.get(), address.host.c_str(), address.port,
                                                Widen(userName).c_str(), Widen(password).c_str(),
                                                INTERNET_SERVICE_HTTP, 0, kContext));
    if (!request->connection_ || !SetTimeouts(request->connection_.get())) return fail(GetLastError());

    // Never answered from the cache: every reply must be the service's
    // current word. Redirects come back as they are (see openRequest).
    DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (address.secure) flags |= INTERNET_FLAG_SECURE;
    request->reply_.reset(HttpOpenRequestW(request->connection_.get(), Widen(method).c_str(), address.object.c_str(),
                                           nullptr, nullptr, nullptr, flags, kContext));
    if (!request->reply_ || !SetTimeouts(request->reply_.get())) return fail(GetLastError());
    const std::wstring headers = Widen(kServiceRequestHeaders + extraHeaders);
    bool askedForCredentials = false;
    bool triedRemembered = false;
    for (;;) {
        if (!HttpSendRequestW(request->reply_.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                              body.empty() ? nullptr : const_cast<char*>(body.data()),
                              static_cast<DWORD>(body.size()))) {
            DWORD code = GetLastError();
            if (IsCertificateError(code)) {
                lastError_ = CertificateErrorText(Narrow(address.host), code);
                lastErrorCode_ = code;
                return nullptr;
            }
            if (IsNoNetworkError(code)) {
                lastError_ = NoConnectionText(HostForText(address.host, address.port, address.secure),
                                              Narrow(address.host), ProxyName(request->root_.get()), code);
                lastErrorCode_ = code;
                return nullptr;
            }
            fail(code);
            if (code == ERROR_INTERNET_TIMEOUT)
                lastError_ += "\nThe server " + HostForText(address.host, address.port, address.secure) +
                              " did not answer in time. Check your network or proxy settings, then run the "
                              "installer again.";
            return nullptr;
        }
        if (request->statusCode() != 407) {
            if (askedForCredentials) RememberProxyCredentials(request->reply_.get(), request->root_.get());
            return request;
        }
        // The proxy wants credentials: whoever runs this thread may ask the
        // user for them, and then the same request goes again.
        DrainReply(request->reply_.get());
        // First with what the user entered for an earlier request of the run.
        if (!triedRemembered) {
            triedRemembered = true;
            if (ApplyRememberedProxyCredentials(request->reply_.get())) continue;
        }
        ProxyCredentialsPrompt* prompt = CurrentProxyCredentialsPrompt();
        if (!prompt || !prompt->askProxyCredentials(request->reply_.get())) {
            lastError_ = ProxyRefusedText(ProxyName(request->root_.get()));
            return nullptr;
        }
        askedForCredentials = true;
    }
}

std::string UpdateServiceClient::statusFailureText(int code, const std::string& url) {
    ServiceAddress address;
    if (!CrackServiceAddress(url, address)) return statusText(code);
    // The last part of the path names the file, or the service's program.
    std::string object = Narrow(address.object);
    object = object.substr(0, object.find('?'));
    const std::string name = object.substr(object.rfind('/') + 1);
    const bool passing = code >= 500 || code == 408 || code == 429;
    return statusText(code) + "\nThe server " + HostForText(address.host, address.port, address.secure) +
           " answered " + std::to_string(code) + (name.empty() ? std::string() : " when asked for " + name) + ". " +
           (passing ? "This is usually temporary: run the installer again later."
                    : "The installer may be out of date: download it again from the vendor, then run it.");
}

std::string UpdateServiceClient::statusText(int code) {
    struct StatusMessage {
        int code;
        const char* text;
    };
    static const StatusMessage kMessages[] = {
        {200, "Request OK"},
        {201, "The resource you requested has been created."},
        {202, "The processing of your request hasn't been completed. Used for queued requests."},
        {203, "Only a partial result was available, so only a partial result was returned to you."},
        {204, "The request was okay, but the object you requested or the action you initiated resulted in a "
              "response that had no content."},
        {300, "The object you requested was redirected, but the nature of your request resulted in the "
              "redirection being ambiguous."},
        {301, "The request was recognized, but the server administrator has permanently moved the object."},
        {302, "The request was recognized, but the server administrator has temporarily moved the resource that "
              "you requested"},
        {303, "The request was recognized and the object was known, but the server is indicating that the object "
              "can't be accessed using the method, i.e. the verb that you specified."},
        {304, "The client requested an object if and only if the object has changed or has met some other "
              "criteria."},
        {400, "The request was ill-formed. That is, it contained a header completely unrecognized by the server "
              "or didn't include a properly identified verb and object."},
        {401, "Access denied, password required or invalid."},
        {402, "Access denied, payment required."},
        {403, "Access denied, Forbidden."},
        {404, "The requested site or file was not found."},
        {405, "You asked for a method that the server just doesn't support, or you asked for that method on an "
              "object that doesn't allow it."},
        {406, "The server can't respond to the request, because it can't present the item you requested in a "
              "format compatible with the Accept: headers in the request."},
        {407, "The request went through a proxy, but the proxy didn't authenticate the request."},
        {408, "The client connected to the server and started making a request , but didn't complete the request "
              "before the server quit waiting."},
        {409, "The requested resource isn't available because of a conflict in the state of the resource. This is "
              "usually a temporary situation: the object might have a sharing lock, for instance, which will "
              "eventually be released"},
        {410, "The object has been permanently removed. It has no new home."},
        {411, "The request you made included an authorization, but that authorization was refused by the "
              "server."},
        {500, "Something internal went wrong with the server. The server didn't crash, but it got so sick that it "
              "couldn't process your request. Usually, this indicates a configuration problem on the server."},
        {501, "The server doesn't support the method you demanded."},
        {502, "The server that was answering your request passed the request to a gateway or another server, and "
              "that server provided an invalid response to the server you directly used."},
        {503, "The server couldn't process your request because the server is out of resources or is partially "
              "down for maintenance."},
        {504, "The request made it to a gateway, but the gateway's communication with the server timed-out."},
    };
    for (const StatusMessage& message : kMessages)
        if (message.code == code) return message.text;
    return "Unknown error";
}
