// The HTTP(S) client adapter: each call is one POST of a SOAP request on a kept-alive connection.

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cctype>
#include <chrono>
#include <mutex>
#include <vector>

#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "pellum/Exception.h"
#include "transport/Http.h"
#include "wire/Codec.h"

namespace Transport {
namespace {

// The SHA-256 thumbprint as 64 lower-case hexadecimal digits; separators and case of the input ignored.
std::string NormalisedThumbprint(std::string_view text) {
   std::string out;
   for (char c : text) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
         out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      } else if (c != ':' && c != ' ') {
         throw Pellum::Exception("pinned thumbprint \"" + std::string(text) + "\" is not hexadecimal");
      }
   }
   if (out.size() != 64) {
      throw Pellum::Exception("pinned thumbprint \"" + std::string(text) +
                              "\" is not a SHA-256 thumbprint (64 hexadecimal digits)");
   }
   return out;
}

// Certificate check of a pinned connection: the server's own certificate must have the pinned thumbprint;
// the chain is not consulted.
int CheckPinned(X509_STORE_CTX* store, void* arg) {
   const auto* pinned = static_cast<const std::string*>(arg);
   X509* cert = X509_STORE_CTX_get0_cert(store);
   unsigned char digest[EVP_MAX_MD_SIZE];
   unsigned int length = 0;
   if (cert == nullptr || X509_digest(cert, EVP_sha256(), digest, &length) != 1) {
      X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
      return 0;
   }
   static const char kHex[] = "0123456789abcdef";
   std::string seen;
   for (unsigned int i = 0; i < length; ++i) {
      seen += kHex[digest[i] >> 4];
      seen += kHex[digest[i] & 15];
   }
   if (seen != *pinned) {
      X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_REJECTED);
      return 0;
   }
   return 1;
}

[[noreturn]] void RaiseSystemError(const std::string& reason) {
   Pellum::Ref<Ormid::Fault::SystemError> fault(new Ormid::Fault::SystemError(reason));
   throw Ormid::Fault::SystemError::Exception(fault.GetPtr());
}

[[noreturn]] void RaiseCanceled(const std::string& reason) {
   Pellum::Ref<Ormid::Fault::RequestCanceled> fault(new Ormid::Fault::RequestCanceled());
   fault->GetFaultMessage()->Append(
       Pellum::Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage("transport.timeout", reason)));
   throw Ormid::Fault::RequestCanceled::Exception(fault.GetPtr());
}

} // namespace

struct HttpClientAdapter::Impl {
   ClientOptions options;
   std::string pinned; // normalised thumbprint, or empty
   std::string url;
   const Ormid::Version* version = nullptr;
   std::string soapAction;

   mutable std::mutex lock;
   std::vector<std::unique_ptr<httplib::ClientImpl>> idle;
   std::string cookie;

   // An idle connection (`reused` true) or a new one.
   std::unique_ptr<httplib::ClientImpl> Take(bool& reused) {
      {
         std::lock_guard<std::mutex> guard(lock);
         reused = !idle.empty();
         if (reused) {
            std::unique_ptr<httplib::ClientImpl> client = std::move(idle.back());
            idle.pop_back();
            return client;
         }
      }
      std::unique_ptr<httplib::ClientImpl> client;
      if (options.tls) {
         auto tls = std::make_unique<httplib::SSLClient>(options.host, options.port);
         if (!options.caFile.empty()) {
            tls->set_ca_cert_path(options.caFile.c_str());
         }
         tls->enable_server_certificate_verification(options.verifyCertificate || !pinned.empty());
         if (!pinned.empty()) {
            SSL_CTX_set_cert_verify_callback(tls->ssl_context(), &CheckPinned, &pinned);
         }
         client = std::move(tls);
      } else {
         client = std::make_unique<httplib::ClientImpl>(options.host, options.port);
      }
      client->set_keep_alive(true);
      client->set_tcp_nodelay(true); // a request is written in pieces: no waiting for acknowledgements
      client->set_connection_timeout(options.connectTimeout);
      client->set_read_timeout(options.readTimeout);
      client->set_write_timeout(options.writeTimeout);
      return client;
   }

   void Give(std::unique_ptr<httplib::ClientImpl> client) {
      std::lock_guard<std::mutex> guard(lock);
      if (idle.size() < options.maxIdleConnections) {
         idle.push_back(std::move(client));
      }
   }
};

HttpClientAdapter::HttpClientAdapter(ClientOptions options)
    : AsyncStubAdapter(options.asyncThreads), _impl(std::make_unique<Impl>()) {
   _impl->options = std::move(options);
   const ClientOptions& o = _impl->options;
   if (!o.pinnedThumbprint.empty()) {
      _impl->pinned = NormalisedThumbprint(o.pinnedThumbprint);
   }
   _impl->url = std::string(o.tls ? "https://" : "http://") + o.host + ":" + std::to_string(o.port) + o.path;
   _impl->version = o.version != nullptr ? o.version : Wire::DefaultVersion();
   _impl->soapAction = "\"" + Wire::SoapAction(_impl->version) + "\"";
}

HttpClientAdapter::~HttpClientAdapter() {
   StopExecutor();
}

void HttpClientAdapter::Invoke(Ormid::MoRef* ref, Ormid::ManagedMethod* method, Ormid::ArgumentList& args,
                               Pellum::Ref<Ormid::Any>& result, Ormid::RequestContext*) {
   if (ref == nullptr || method == nullptr) {
      throw Pellum::Exception(std::string("HttpClientAdapter::Invoke: null ") + (ref ? "method" : "reference"));
   }
   Impl& impl = *_impl;
   const std::string body = Wire::EncodeRequest(*method, *ref, args, {impl.version});
   httplib::Headers headers{{"SOAPAction", impl.soapAction}};
   {
      std::lock_guard<std::mutex> guard(impl.lock);
      if (!impl.cookie.empty()) {
         headers.emplace("Cookie", impl.cookie);
      }
   }
   // The call and where it went, for the messages of errors.
   auto what = [&] { return method->GetFullName() + " on " + ref->ToString() + " at " + impl.url; };
   // httplib reports a read that timed out and a connection the server closed alike (Error::Read): the
   // time the attempt took tells them apart.
   bool reused = false;
   bool timedOut = false;
   std::unique_ptr<httplib::ClientImpl> client;
   auto post = [&] {
      client = impl.Take(reused);
      const auto start = std::chrono::steady_clock::now();
      httplib::Result answer =
          client->Post(impl.options.path.c_str(), headers, body, "text/xml; charset=utf-8");
      timedOut = answer.error() == httplib::Error::Read &&
                 std::chrono::steady_clock::now() - start >= impl.options.readTimeout * 9 / 10;
      return answer;
   };
   httplib::Result answer = post();
   // Only a kept-alive connection the server closed meanwhile is tried again, on a fresh connection: a call
   // that timed out may be running on the server and is not sent twice.
   if (!answer && reused && !timedOut &&
       (answer.error() == httplib::Error::Read || answer.error() == httplib::Error::Write)) {
      answer = post();
   }
   if (!answer) {
      const httplib::Error error = answer.error();
      std::string reason = what() + ": " + httplib::to_string(error);
      if (error == httplib::Error::SSLServerVerification) {
         reason += impl.pinned.empty() ? " (the server's certificate is not trusted, or does not name the host)"
                                       : " (the server's certificate does not have the pinned thumbprint)";
      }
      if (error == httplib::Error::ConnectionTimeout || timedOut) {
         RaiseCanceled(reason + " (no answer in time)");
      }
      if (error == httplib::Error::Read || error == httplib::Error::Write) {
         reason += " (the server closed the connection without answering";
         reason += impl.options.tls ? ")" : ": an HTTPS server?)";
      }
      RaiseSystemError(reason);
   }
   const httplib::Response& response = *answer;
   if (response.has_header("Set-Cookie")) {
      std::string cookie = response.get_header_value("Set-Cookie");
      cookie = cookie.substr(0, cookie.find(';'));
      std::lock_guard<std::mutex> guard(impl.lock);
      impl.cookie = cookie;
   }
   impl.Give(std::move(client));
   const bool xml = response.get_header_value("Content-Type").find("xml") != std::string::npos;
   if ((response.status != 200 && response.status < 400) || !xml) {
      RaiseSystemError(what() + ": HTTP " + std::to_string(response.status) + " without a SOAP answer" +
                       (response.body.empty() ? std::string() : ": " + response.body.substr(0, 200)));
   }
   Wire::Response decoded;
   try {
      decoded = Wire::DecodeResponse(response.body, *method, {.version = impl.version});
   } catch (const Wire::DecodeError& e) {
      RaiseSystemError(what() + ": the answer cannot be read: " + e.what());
   }
   if (decoded.fault) {
      decoded.fault->Throw();
   }
   result = std::move(decoded.result);
}

std::string HttpClientAdapter::GetSessionCookie() const {
   std::lock_guard<std::mutex> guard(_impl->lock);
   return _impl->cookie;
}

void HttpClientAdapter::SetSessionCookie(std::string cookie) {
   std::lock_guard<std::mutex> guard(_impl->lock);
   _impl->cookie = std::move(cookie);
}

std::string HttpClientAdapter::GetUrl() const {
   return _impl->url;
}

std::string HttpClientAdapter::ToString() const {
   return "HttpClientAdapter(" + _impl->url + ")";
}

} // namespace Transport
