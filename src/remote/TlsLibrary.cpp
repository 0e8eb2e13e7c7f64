#include "remote/TlsLibrary.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <poll.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace trovimo {

// Our own declarations of the OpenSSL 3 entry points used: plain C, stable within the
// library's major version, so no development headers are needed to build.
struct TlsFunctions {
    int (*initialise)(std::uint64_t, const void*) = nullptr;
    void* (*clientMethod)() = nullptr;
    void* (*contextNew)(void*) = nullptr;
    void (*contextSetVerify)(void*, int, void*) = nullptr;
    int (*contextLoadVerifyLocations)(void*, const char*, const char*) = nullptr;
    long (*contextControl)(void*, int, long, void*) = nullptr;
    const char* (*defaultCertificateFolder)() = nullptr;
    void* (*sslNew)(void*) = nullptr;
    void (*sslFree)(void*) = nullptr;
    int (*sslSetFd)(void*, int) = nullptr;
    int (*sslSetHost)(void*, const char*) = nullptr;
    long (*sslControl)(void*, int, long, void*) = nullptr;
    void* (*sslParameters)(void*) = nullptr;
    int (*parametersSetAddress)(void*, const char*) = nullptr;
    int (*sslConnect)(void*) = nullptr;
    int (*sslRead)(void*, void*, int) = nullptr;
    int (*sslWrite)(void*, const void*, int) = nullptr;
    int (*sslGetError)(const void*, int) = nullptr;
    int (*sslShutdown)(void*) = nullptr;
    long (*sslVerifyResult)(const void*) = nullptr;
    const char* (*verifyErrorText)(long) = nullptr;
    unsigned long (*errorGet)() = nullptr;
    void (*errorText)(unsigned long, char*, std::size_t) = nullptr;
    void (*errorClear)() = nullptr;
};

namespace {

// <openssl/ssl.h>, <openssl/crypto.h>, <openssl/tls1.h>, <openssl/x509_vfy.h>
// The error strings' tables (about 80 kB once loaded) are left out: a certificate's refusal
// comes from X509_verify_cert_error_string, which has its own.
constexpr std::uint64_t withoutErrorStrings = 0x00000001 | 0x00100000;
constexpr int verifyPeer = 0x01;
constexpr int controlSetMinimumVersion = 123;
constexpr long tls12 = 0x0303;
constexpr int controlSetHostName = 55;
constexpr long hostNameType = 0;
constexpr int errorWantRead = 2;
constexpr int errorWantWrite = 3;
constexpr int errorZeroReturn = 6;
constexpr long verifiedOk = 0;

template <typename Function> void bind(void* handle, const char* name, Function& target) {
    // POSIX guarantees that a function pointer survives the round trip through void*.
    target = reinterpret_cast<Function>(::dlsym(handle, name));
}

bool waitFor(int fd, short events, TlsLibrary::Session::Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, static_cast<int>(left.count())) > 0;
}

} // namespace

TlsLibrary::~TlsLibrary() = default; // never runs: the one instance lives to the end

const TlsLibrary* TlsLibrary::instance(std::string& problem) {
    static std::once_flag once;
    static TlsLibrary* loaded = nullptr;
    static std::string failure;
    std::call_once(once, [] {
        // Kept loaded for good: OpenSSL does not expect to be unloaded.
        void* handle = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = ::dlerror();
            failure = reason != nullptr ? reason : "libssl.so.3 cannot be loaded";
            return;
        }
        auto functions = std::make_unique<TlsFunctions>();
        TlsFunctions& f = *functions;
        bind(handle, "OPENSSL_init_ssl", f.initialise);
        bind(handle, "TLS_client_method", f.clientMethod);
        bind(handle, "SSL_CTX_new", f.contextNew);
        bind(handle, "SSL_CTX_set_verify", f.contextSetVerify);
        bind(handle, "SSL_CTX_load_verify_locations", f.contextLoadVerifyLocations);
        bind(handle, "SSL_CTX_ctrl", f.contextControl);
        bind(handle, "X509_get_default_cert_dir", f.defaultCertificateFolder);
        bind(handle, "SSL_new", f.sslNew);
        bind(handle, "SSL_free", f.sslFree);
        bind(handle, "SSL_set_fd", f.sslSetFd);
        bind(handle, "SSL_set1_host", f.sslSetHost);
        bind(handle, "SSL_ctrl", f.sslControl);
        bind(handle, "SSL_get0_param", f.sslParameters);
        bind(handle, "X509_VERIFY_PARAM_set1_ip_asc", f.parametersSetAddress);
        bind(handle, "SSL_connect", f.sslConnect);
        bind(handle, "SSL_read", f.sslRead);
        bind(handle, "SSL_write", f.sslWrite);
        bind(handle, "SSL_get_error", f.sslGetError);
        bind(handle, "SSL_shutdown", f.sslShutdown);
        bind(handle, "SSL_get_verify_result", f.sslVerifyResult);
        bind(handle, "X509_verify_cert_error_string", f.verifyErrorText);
        bind(handle, "ERR_get_error", f.errorGet);
        bind(handle, "ERR_error_string_n", f.errorText);
        bind(handle, "ERR_clear_error", f.errorClear);
        const void* const entries[] = {reinterpret_cast<void*>(f.clientMethod),
                                       reinterpret_cast<void*>(f.contextNew),
                                       reinterpret_cast<void*>(f.contextSetVerify),
                                       reinterpret_cast<void*>(f.contextLoadVerifyLocations),
                                       reinterpret_cast<void*>(f.contextControl),
                                       reinterpret_cast<void*>(f.defaultCertificateFolder),
                                       reinterpret_cast<void*>(f.sslNew),
                                       reinterpret_cast<void*>(f.sslFree),
                                       reinterpret_cast<void*>(f.sslSetFd),
                                       reinterpret_cast<void*>(f.sslSetHost),
                                       reinterpret_cast<void*>(f.sslControl),
                                       reinterpret_cast<void*>(f.sslParameters),
                                       reinterpret_cast<void*>(f.parametersSetAddress),
                                       reinterpret_cast<void*>(f.sslConnect),
                                       reinterpret_cast<void*>(f.sslRead),
                                       reinterpret_cast<void*>(f.sslWrite),
                                       reinterpret_cast<void*>(f.sslGetError),
                                       reinterpret_cast<void*>(f.sslShutdown),
                                       reinterpret_cast<void*>(f.sslVerifyResult),
                                       reinterpret_cast<void*>(f.verifyErrorText),
                                       reinterpret_cast<void*>(f.errorGet),
                                       reinterpret_cast<void*>(f.errorText),
                                       reinterpret_cast<void*>(f.errorClear)};
        for (const void* entry : entries) {
            if (entry == nullptr) {
                failure = "libssl.so.3 lacks an entry point this program uses";
                return;
            }
        }
        void* context = f.initialise(withoutErrorStrings, nullptr) == 1
                            ? f.contextNew(f.clientMethod())
                            : nullptr;
        if (context == nullptr) {
            failure = "no TLS context could be made";
            return;
        }
        f.contextSetVerify(context, verifyPeer, nullptr);
        f.contextControl(context, controlSetMinimumVersion, tls12, nullptr);
        // The hashed certificate folder is looked into as a peer's issuer is needed; the
        // bundle file would parse every authority into memory. SSL_CERT_FILE / SSL_CERT_DIR
        // name others (a home server's own authority).
        const char* file = std::getenv("SSL_CERT_FILE");
        const char* folder = std::getenv("SSL_CERT_DIR");
        if (file == nullptr && folder == nullptr) {
            folder = f.defaultCertificateFolder();
        }
        f.contextLoadVerifyLocations(context, file, folder);
        f.errorClear(); // a missing file or folder leaves nothing to trust, and that is all
        static TlsLibrary library;
        library.functions_ = std::move(functions);
        library.context_ = context;
        loaded = &library;
    });
    if (loaded == nullptr) {
        problem = failure;
    }
    return loaded;
}

std::unique_ptr<TlsLibrary::Session> TlsLibrary::open(int fd, const std::string& host,
                                                      std::string& problem) const {
    const TlsFunctions& f = *functions_;
    void* ssl = f.sslNew(context_);
    if (ssl == nullptr) {
        problem = "no TLS session could be made";
        return nullptr;
    }
    auto session = std::make_unique<Session>(f, ssl, fd);
    unsigned char address[16];
    const bool literal = ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
                         ::inet_pton(AF_INET6, host.c_str(), address) == 1;
    // The certificate must name the host we asked for; an address is checked as an address,
    // and only a name goes out as the server name indication.
    const bool named = literal ? f.parametersSetAddress(f.sslParameters(ssl), host.c_str()) == 1
                               : f.sslSetHost(ssl, host.c_str()) == 1 &&
                                     f.sslControl(ssl, controlSetHostName, hostNameType,
                                                  const_cast<char*>(host.c_str())) == 1;
    if (!named || f.sslSetFd(ssl, fd) != 1) {
        problem = "the TLS session could not be set up for " + host;
        return nullptr;
    }
    return session;
}

TlsLibrary::Session::~Session() {
    // A polite close_notify, without waiting for the answer (the socket is non-blocking).
    functions_.sslShutdown(ssl_);
    functions_.sslFree(ssl_);
    functions_.errorClear();
}

bool TlsLibrary::Session::waitAfter(int result, Deadline deadline, std::string& problem) {
    const int error = functions_.sslGetError(ssl_, result);
    if (error == errorWantRead || error == errorWantWrite) {
        if (waitFor(fd_, error == errorWantRead ? POLLIN : POLLOUT, deadline)) {
            return true;
        }
        problem = "timed out";
        return false;
    }
    const unsigned long code = functions_.errorGet();
    char text[256] = "the TLS connection failed";
    if (code != 0) {
        functions_.errorText(code, text, sizeof text);
    }
    problem = text;
    functions_.errorClear();
    return false;
}

bool TlsLibrary::Session::handshake(Deadline deadline, std::string& problem) {
    for (;;) {
        const int result = functions_.sslConnect(ssl_);
        if (result == 1) {
            return true;
        }
        const long verified = functions_.sslVerifyResult(ssl_);
        if (verified != verifiedOk) {
            problem = std::string("certificate refused: ") + functions_.verifyErrorText(verified);
            functions_.errorClear();
            return false;
        }
        if (!waitAfter(result, deadline, problem)) {
            return false;
        }
    }
}

long TlsLibrary::Session::write(std::string_view bytes, Deadline deadline, std::string& problem) {
    for (;;) {
        const int result = functions_.sslWrite(ssl_, bytes.data(), static_cast<int>(bytes.size()));
        if (result > 0) {
            return result;
        }
        if (!waitAfter(result, deadline, problem)) {
            return -1;
        }
    }
}

long TlsLibrary::Session::read(char* buffer, std::size_t size, Deadline deadline,
                               std::string& problem) {
    for (;;) {
        const int result = functions_.sslRead(ssl_, buffer, static_cast<int>(size));
        if (result > 0) {
            return result;
        }
        if (functions_.sslGetError(ssl_, result) == errorZeroReturn) {
            return 0;
        }
        if (!waitAfter(result, deadline, problem)) {
            return -1;
        }
    }
}

} // namespace trovimo
