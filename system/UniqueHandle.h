#pragma once
// One owner for one Win32 handle kind: no copies, moves allowed, put() for
// out-parameters. Closing keeps the thread's last error intact, so a caller
// can still read the code of the call that failed before the cleanup ran.
#include <windows.h>
#include <wininet.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    Handle release() {
        Handle h = handle_;
        handle_ = Traits::invalid();
        return h;
    }
    void reset(Handle h = Traits::invalid()) {
        if (valid()) {
            DWORD saved = GetLastError();
            Traits::close(handle_);
            SetLastError(saved);
        }
        handle_ = h;
    }
    Handle* put() {
        reset();
        return &handle_;
    }
    // Closes now and hands back what the close call answered, for the kinds
    // whose close reports a result; a failed close keeps the handle.
    template <typename T = Traits>
    auto close() -> decltype(T::close(Handle())) {
        auto result = Traits::close(handle_);
        if (Traits::closed(result)) handle_ = Traits::invalid();
        return result;
    }

private:
    Handle handle_ = Traits::invalid();
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
};
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { InternetCloseHandle(h); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static LONG close(Handle key) { return RegCloseKey(key); }
    static bool closed(LONG result) { return result == ERROR_SUCCESS; }
};
struct BcryptAlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct BcryptHashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { BCryptDestroyHash(h); }
};
struct CertStoreTraits {
    using Handle = HCERTSTORE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CertCloseStore(h, 0); }
};
struct CryptMessageTraits {
    using Handle = HCRYPTMSG;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CryptMsgClose(h); }
};
struct CertificateTraits {
    using Handle = PCCERT_CONTEXT;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { CertFreeCertificateContext(h); }
};
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { LocalFree(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { FreeLibrary(h); }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;    // FindFirstFile
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;    // CreateFile
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;  // threads, processes, events
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;  // InternetOpen, connections, requests
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;  // RegOpenKeyEx, RegCreateKeyEx
using UniqueBcryptAlgorithm = UniqueHandle<BcryptAlgorithmTraits>;  // BCryptOpenAlgorithmProvider
using UniqueBcryptHash = UniqueHandle<BcryptHashTraits>;            // BCryptCreateHash
using UniqueCertStore = UniqueHandle<CertStoreTraits>;              // CryptQueryObject, CertOpenStore
using UniqueCryptMessage = UniqueHandle<CryptMessageTraits>;        // CryptQueryObject, CryptMsgOpenToDecode
using UniqueCertificate = UniqueHandle<CertificateTraits>;          // CertFindCertificateInStore
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;          // CommandLineToArgvW, LocalAlloc
using UniqueModule = UniqueHandle<ModuleTraits>;                    // LoadLibraryEx
