// A blocking HTTPS client on one kept-alive loopback connection, with GnuTLS
// directly: it tells which certificate the server showed, which curl would
// not, and costs the benchmarks nothing but the handshake and the records.
#pragma once

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <sys/socket.h>

#include <chrono>
#include <string>

#include "tests/server/server_test_support.h"

class TlsClient {
public:
    // Connects to 127.0.0.1:port and shakes hands as a client of serverName
    // that trusts only the PEM authorities in caFile; Connected() tells
    // whether it worked, Error() why not.
    TlsClient(int port, const std::string& caFile, const std::string& serverName) : socket(port) {
        gnutls_certificate_allocate_credentials(&credentials);
        gnutls_init(&session, GNUTLS_CLIENT);
        gnutls_set_default_priority(session);
        if (gnutls_certificate_set_x509_trust_file(credentials, caFile.c_str(), GNUTLS_X509_FMT_PEM) <= 0) {
            error = "cannot read " + caFile;
            return;
        }
        gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials);
        gnutls_server_name_set(session, GNUTLS_NAME_DNS, serverName.data(), serverName.size());
        gnutls_session_set_verify_cert(session, serverName.c_str(), 0);
        if (socket.fd < 0) {
            error = "cannot connect";
            return;
        }
        gnutls_transport_set_int(session, socket.fd);
        gnutls_handshake_set_timeout(session, 10000);
        int code;
        do {
            code = gnutls_handshake(session);
        } while (code < 0 && gnutls_error_is_fatal(code) == 0);
        if (code < 0) {
            error = gnutls_strerror(code);
            return;
        }
        connected = true;
    }
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;
    ~TlsClient() {
        gnutls_deinit(session);
        gnutls_certificate_free_credentials(credentials);
    }

    bool Connected() const { return connected; }
    const std::string& Error() const { return error; }

    // The common name of the certificate the server showed, or "".
    std::string PeerCommonName() const {
        unsigned count = 0;
        const gnutls_datum_t* chain = gnutls_certificate_get_peers(session, &count);
        if (!chain || count == 0) return {};
        gnutls_x509_crt_t certificate;
        gnutls_x509_crt_init(&certificate);
        char name[256] = "";
        std::size_t size = sizeof name;
        if (gnutls_x509_crt_import(certificate, &chain[0], GNUTLS_X509_FMT_DER) < 0 ||
            gnutls_x509_crt_get_dn_by_oid(certificate, GNUTLS_OID_X520_COMMON_NAME, 0, 0, name, &size) < 0)
            name[0] = '\0';
        gnutls_x509_crt_deinit(certificate);
        return name;
    }

    // One kept-alive GET; status 0 when the connection failed.
    RawReply Get(std::string_view target) {
        const std::string request = "GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (!connected || gnutls_record_send(session, request.data(), request.size()) !=
                              static_cast<ssize_t>(request.size()))
            return {};
        std::string received;
        while (true) {
            const std::size_t headerEnd = received.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                const RawReply head = ParseRawReply(received.substr(0, headerEnd + 4));
                const std::size_t length =
                    std::strtoul(HeaderValue(head, "Content-Length").c_str(), nullptr, 10);
                if (received.size() >= headerEnd + 4 + length)
                    return ParseRawReply(received.substr(0, headerEnd + 4 + length));
            }
            char chunk[16384];
            const ssize_t n = gnutls_record_recv(session, chunk, sizeof chunk);
            if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
            if (n <= 0) return {};
            received.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    LoopbackSocket socket;
    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_session_t session = nullptr;
    bool connected = false;
    std::string error;
};
