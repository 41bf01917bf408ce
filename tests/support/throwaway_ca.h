// A certificate authority made for one test with GnuTLS's certtool (Debian:
// gnutls-bin), and server certificates it signs, all in a scratch folder:
// HTTPS tests trust it alone and never the system's store.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/scratch_dir.h"

class ThrowawayCa {
public:
    // Makes the authority's key and certificate; false when certtool failed.
    bool Make() {
        return Template("ca.tmpl",
                        "cn = Munchet test authority\nca\ncert_signing_key\nexpiration_days = 2\n") &&
               Run("--generate-privkey --key-type=ecdsa --outfile " + Quoted("ca.key")) &&
               Run("--generate-self-signed --load-privkey " + Quoted("ca.key") + " --template " +
                   Quoted("ca.tmpl") + " --outfile " + Quoted("ca.pem"));
    }

    // The authority's certificate, to trust.
    std::string CaFile() const { return dir.File("ca.pem"); }

    // A server certificate for dnsName (and 127.0.0.1) with its own key, in
    // stem.pem and stem.key; commonName tells certificates apart. False when
    // certtool failed.
    bool Issue(const std::string& stem, const std::string& dnsName, const std::string& commonName) {
        return Template(stem + ".tmpl", "cn = " + commonName + "\ndns_name = " + dnsName +
                                            "\nip_address = 127.0.0.1\ntls_www_server\nsigning_key\n"
                                            "encryption_key\nexpiration_days = 2\n") &&
               Run("--generate-privkey --key-type=ecdsa --outfile " + Quoted(stem + ".key")) &&
               Run("--generate-certificate --load-privkey " + Quoted(stem + ".key") +
                   " --load-ca-certificate " + Quoted("ca.pem") + " --load-ca-privkey " + Quoted("ca.key") +
                   " --template " + Quoted(stem + ".tmpl") + " --outfile " + Quoted(stem + ".pem"));
    }

    std::string File(const std::string& name) const { return dir.File(name); }

private:
    std::string Quoted(const std::string& name) const { return "'" + dir.File(name) + "'"; }

    bool Template(const std::string& name, const std::string& text) const {
        std::ofstream out(dir.File(name));
        out << text;
        return static_cast<bool>(out.flush());
    }

    static bool Run(const std::string& arguments) {
        return std::system(("certtool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
    }

    ScratchDir dir;
};
