// HTTPS: a server with a self-signed certificate for "localhost" (made here), called by clients with each
// kind of trust the client options offer.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "served.h"

namespace {

template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

// A certificate for localhost and 127.0.0.1 and its key, as PEM files in a folder of the build tree.
struct Certificate {
   std::filesystem::path folder =
       std::filesystem::path(QUORL_TEST_OUTPUT_DIR) / ("tls-" + std::to_string(getpid()));
   std::string certificateFile = (folder / "cert.pem").string();
   std::string keyFile = (folder / "key.pem").string();
   std::string thumbprint; // SHA-256, upper-case hexadecimal with colons

   Certificate() {
      std::filesystem::create_directories(folder);
      Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
      Owned<X509, X509_free> cert(X509_new());
      if (!key || !cert) {
         throw std::runtime_error("OpenSSL cannot make a key or a certificate");
      }
      X509_set_version(cert.get(), X509_VERSION_3);
      ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
      X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
      X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
      X509_set_pubkey(cert.get(), key.get());
      X509_NAME* name = X509_get_subject_name(cert.get());
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                 reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
      X509_set_issuer_name(cert.get(), name);
      X509V3_CTX context;
      X509V3_set_ctx_nodb(&context);
      X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
      Owned<X509_EXTENSION, X509_EXTENSION_free> san(
          X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"));
      if (!san || X509_add_ext(cert.get(), san.get(), -1) != 1 ||
          X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
         throw std::runtime_error("OpenSSL cannot sign the certificate");
      }
      Owned<BIO, BIO_free_all> certOut(BIO_new_file(certificateFile.c_str(), "w"));
      Owned<BIO, BIO_free_all> keyOut(BIO_new_file(keyFile.c_str(), "w"));
      if (!certOut || !keyOut || PEM_write_bio_X509(certOut.get(), cert.get()) != 1 ||
          PEM_write_bio_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
         throw std::runtime_error("cannot write the certificate and key to " + folder.string());
      }
      unsigned char digest[EVP_MAX_MD_SIZE];
      unsigned int length = 0;
      X509_digest(cert.get(), EVP_sha256(), digest, &length);
      char* hex = OPENSSL_buf2hexstr(digest, length); // upper-case pairs joined by colons
      thumbprint = hex;
      OPENSSL_free(hex);
   }
   ~Certificate() {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
   }
};

struct TlsCase {
   const char* name;
   void (*configure)(Transport::ClientOptions&, const Certificate&);
   const char* failure; // part of the SystemError's reason; null: the call works
};

const TlsCase kCases[] = {
    {"verification against the system's certificates", [](auto&, auto&) {}, "not trusted"},
    {"the certificate as certificate authority", [](auto& o, auto& c) { o.caFile = c.certificateFile; },
     nullptr},
    {"the same, host named by address",
     [](auto& o, auto& c) {
        o.caFile = c.certificateFile;
        o.host = "127.0.0.1";
     },
     nullptr},
    {"pinned thumbprint", [](auto& o, auto& c) { o.pinnedThumbprint = c.thumbprint; }, nullptr},
    {"another pinned thumbprint",
     [](auto& o, auto& c) { o.pinnedThumbprint = std::string(c.thumbprint.rbegin(), c.thumbprint.rend()); },
     "does not have the pinned thumbprint"},
    {"verification turned off", [](auto& o, auto&) { o.verifyCertificate = false; }, nullptr},
    {"plain HTTP to the HTTPS port", [](auto& o, auto&) { o.tls = false; }, "closed the connection"},
};

TEST(TransportTls, ClientOptionsDecideTrust) {
   const Certificate certificate;
   Transport::ServerOptions serverOptions;
   serverOptions.certificateFile = certificate.certificateFile;
   serverOptions.keyFile = certificate.keyFile;
   Served::Server server(serverOptions);
   for (const TlsCase& c : kCases) {
      SCOPED_TRACE(c.name);
      Transport::ClientOptions options;
      options.host = "localhost";
      options.port = server.port;
      options.connectTimeout = options.readTimeout = std::chrono::milliseconds(5000);
      c.configure(options, certificate);
      Served::ExpectOutcome(c.failure, [&] { Served::ExpectContent(*Served::Connect(options)); });
   }
   // Only the calls that passed the checks reached the object.
   EXPECT_EQ(server.instance->CallCount(), 4u);
}

} // namespace
