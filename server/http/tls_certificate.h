// The server's TLS certificate chain and private key, read from PEM files
// and handed to GnuTLS at each handshake through libmicrohttpd's certificate
// callback. Reloading swaps the pair for new handshakes only: connections
// already open keep theirs and are never dropped. The callback GnuTLS calls
// carries no context, so the pair is process-wide: one server per process.
#pragma once

#include <string>

// libmicrohttpd's MHD_OPTION_HTTPS_CERT_CALLBACK takes this, as a pointer
// to GnuTLS's gnutls_certificate_retrieve_function2.
using TlsCertificateCallback = void*;

// Reads certPath (the server's certificate first, then any intermediates)
// and keyPath (its unencrypted private key) and makes them the pair served
// from the next handshake on. False with a message, the pair in force left
// as it was, when a file is unreadable, holds no certificate or key, or the
// key does not belong to the certificate.
bool LoadTlsCertificate(const std::string& certPath, const std::string& keyPath, std::string& error);

// True once a pair was loaded.
bool HaveTlsCertificate();

// For the library: picks the pair in force.
TlsCertificateCallback TlsCertificateSelector();
