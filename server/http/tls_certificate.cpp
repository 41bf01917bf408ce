#include "server/http/tls_certificate.h"

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <memory>
#include <mutex>
#include <vector>

namespace {

// The longest chain taken: the certificate and its intermediates.
constexpr unsigned maxChain = 16;

struct CertificatePair {
    std::vector<gnutls_pcert_st> chain;
    gnutls_privkey_t key = nullptr;

    CertificatePair() = default;
    CertificatePair(const CertificatePair&) = delete;
    CertificatePair& operator=(const CertificatePair&) = delete;
    ~CertificatePair() {
        for (gnutls_pcert_st& certificate : chain) gnutls_pcert_deinit(&certificate);
        if (key) gnutls_privkey_deinit(key);
    }
};

struct Pairs {
    std::mutex mutex;
    CertificatePair* current = nullptr;
    // Every pair ever loaded. GnuTLS keeps pointers to the chain and key it
    // was given for as long as the session lives, so a pair replaced by a
    // reload stays: a few kilobytes for each reload of the process's life.
    std::vector<std::unique_ptr<CertificatePair>> loaded;
};

Pairs& ThePairs() {
    static Pairs pairs;
    return pairs;
}

std::string Describe(const char* what, const std::string& path, int code) {
    return std::string(what) + " " + path + ": " + gnutls_strerror(code);
}

// The key ID of a public key, to tell whether a key and a certificate match.
bool KeyId(gnutls_pubkey_t key, std::vector<unsigned char>& id) {
    id.assign(64, 0);
    std::size_t size = id.size();
    if (gnutls_pubkey_get_key_id(key, GNUTLS_KEYID_USE_SHA256, id.data(), &size) < 0) return false;
    id.resize(size);
    return true;
}

bool KeyFitsCertificate(gnutls_privkey_t key, const gnutls_pcert_st& certificate) {
    gnutls_pubkey_t fromKey = nullptr;
    if (gnutls_pubkey_init(&fromKey) < 0) return false;
    std::vector<unsigned char> keyId, certificateId;
    const bool fits = gnutls_pubkey_import_privkey(fromKey, key, 0, 0) >= 0 && KeyId(fromKey, keyId) &&
                      KeyId(certificate.pubkey, certificateId) && keyId == certificateId;
    gnutls_pubkey_deinit(fromKey);
    return fits;
}

std::unique_ptr<CertificatePair> ReadPair(const std::string& certPath, const std::string& keyPath,
                                          std::string& error) {
    auto pair = std::make_unique<CertificatePair>();
    std::vector<gnutls_pcert_st> chain(maxChain);
    unsigned count = maxChain;
    int code = gnutls_pcert_list_import_x509_file(chain.data(), &count, certPath.c_str(), GNUTLS_X509_FMT_PEM,
                                                  nullptr, nullptr, GNUTLS_X509_CRT_LIST_FAIL_IF_UNSORTED);
    if (code < 0) {
        error = Describe("cannot read the certificate chain in", certPath, code);
        return nullptr;
    }
    chain.resize(count);
    pair->chain = std::move(chain);

    gnutls_datum_t text{};
    code = gnutls_load_file(keyPath.c_str(), &text);
    if (code < 0) {
        error = Describe("cannot read the key", keyPath, code);
        return nullptr;
    }
    code = gnutls_privkey_init(&pair->key);
    if (code >= 0) code = gnutls_privkey_import_x509_raw(pair->key, &text, GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_memset(text.data, 0, text.size);
    gnutls_free(text.data);
    if (code < 0) {
        error = Describe("no usable private key in", keyPath, code);
        return nullptr;
    }
    if (!KeyFitsCertificate(pair->key, pair->chain.front())) {
        error = "the key in " + keyPath + " does not belong to the certificate in " + certPath;
        return nullptr;
    }
    return pair;
}

int SelectPair(gnutls_session_t, const gnutls_datum_t*, int, const gnutls_pk_algorithm_t*, int,
               gnutls_pcert_st** chain, unsigned int* length, gnutls_privkey_t* key) {
    Pairs& pairs = ThePairs();
    std::lock_guard lock(pairs.mutex);
    if (!pairs.current) return -1;  // fails the handshake
    *chain = pairs.current->chain.data();
    *length = static_cast<unsigned>(pairs.current->chain.size());
    *key = pairs.current->key;
    return 0;
}

}  // namespace

bool LoadTlsCertificate(const std::string& certPath, const std::string& keyPath, std::string& error) {
    std::unique_ptr<CertificatePair> pair = ReadPair(certPath, keyPath, error);
    if (!pair) return false;
    Pairs& pairs = ThePairs();
    std::lock_guard lock(pairs.mutex);
    pairs.current = pair.get();
    pairs.loaded.push_back(std::move(pair));
    return true;
}

bool HaveTlsCertificate() {
    Pairs& pairs = ThePairs();
    std::lock_guard lock(pairs.mutex);
    return pairs.current != nullptr;
}

TlsCertificateCallback TlsCertificateSelector() {
    gnutls_certificate_retrieve_function2* select = &SelectPair;
    return reinterpret_cast<TlsCertificateCallback>(select);
}
