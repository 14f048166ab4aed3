// The HTTP(S) client adapter: each call is one POST of a SOAP request on a kept-alive connection.

#include <cctype>
#include <chrono>
#include <mutex>
#include <vector>

#include "client_connection.h"

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
   std::unique_ptr<Detail::TlsContext> tls;
   std::string url;
   const Ormid::Version* version = nullptr;
   std::string head; // the request's header lines but its length and cookie

   mutable std::mutex lock;
   std::vector<std::unique_ptr<Detail::Connection>> idle;
   std::string cookie;

   // An idle connection (`reused` true) or a new one.
   std::unique_ptr<Detail::Connection> Take(bool& reused) {
      {
         std::lock_guard<std::mutex> guard(lock);
         reused = !idle.empty();
         if (reused) {
            std::unique_ptr<Detail::Connection> connection = std::move(idle.back());
            idle.pop_back();
            return connection;
         }
      }
      return std::make_unique<Detail::Connection>(
          options.host, options.port, tls.get(),
          Detail::Timeouts{options.connectTimeout, options.readTimeout, options.writeTimeout});
   }

   void Give(std::unique_ptr<Detail::Connection> connection) {
      std::lock_guard<std::mutex> guard(lock);
      if (idle.size() < options.maxIdleConnections) {
         idle.push_back(std::move(connection));
      }
   }
};

HttpClientAdapter::HttpClientAdapter(ClientOptions options)
    : AsyncStubAdapter(options.asyncThreads), _impl(std::make_unique<Impl>()) {
   Impl& impl = *_impl;
   impl.options = std::move(options);
   const ClientOptions& o = impl.options;
   if (!o.pinnedThumbprint.empty()) {
      impl.pinned = NormalisedThumbprint(o.pinnedThumbprint);
   }
   if (o.tls) {
      impl.tls = std::make_unique<Detail::TlsContext>(o.caFile, impl.pinned, o.verifyCertificate);
   }
   const bool v6 = o.host.find(':') != std::string::npos;
   const std::string authority = (v6 ? "[" + o.host + "]" : o.host) + ":" + std::to_string(o.port);
   impl.url = std::string(o.tls ? "https://" : "http://") + authority + o.path;
   impl.version = o.version != nullptr ? o.version : Wire::DefaultVersion();
   impl.head = "POST " + o.path + " HTTP/1.1\r\nHost: " + authority +
               "\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: \"" +
               Wire::SoapAction(impl.version) + "\"\r\nConnection: keep-alive\r\nContent-Length: ";
}

HttpClientAdapter::~HttpClientAdapter() {
   StopExecutor();
}

void HttpClientAdapter::Invoke(Ormid::MoRef* ref, Ormid::ManagedMethod* method, Ormid::ArgumentList& args,
                               Pellum::Ref<Ormid::Any>& result, Ormid::RequestContext*) {
   if (ref == nullptr || method == nullptr) {
      throw Pellum::Exception(std::string("HttpClientAdapter::Invoke: null ") +
                              (ref ? "method" : "reference"));
   }
   Impl& impl = *_impl;
   const std::string body = Wire::EncodeRequest(*method, *ref, args, {impl.version});
   std::string head = impl.head;
   head += std::to_string(body.size());
   {
      std::lock_guard<std::mutex> guard(impl.lock);
      if (!impl.cookie.empty()) {
         head += "\r\nCookie: ";
         head += impl.cookie;
      }
   }
   head += "\r\n\r\n";
   // The call and where it went, for the messages of errors.
   auto what = [&] { return method->GetFullName() + " on " + ref->ToString() + " at " + impl.url; };
   Detail::Reply reply;
   for (int attempt = 0;; ++attempt) {
      bool reused = false;
      try {
         std::unique_ptr<Detail::Connection> connection = impl.Take(reused);
         reply = connection->Exchange(head, body);
         if (reply.keepOpen) {
            impl.Give(std::move(connection));
         }
         break;
      } catch (const Detail::ConnectionError& e) {
         using Detail::Failure;
         // Only a kept-alive connection the server closed meanwhile is tried again, on a fresh connection:
         // a call that got part of an answer or timed out may be running on the server and is not sent
         // twice.
         if (reused && attempt == 0 && (e.failure == Failure::Write || e.failure == Failure::Closed)) {
            continue;
         }
         std::string reason = what() + ": " + e.what();
         switch (e.failure) {
         case Failure::ConnectTimeout:
         case Failure::ReadTimeout:
            RaiseCanceled(reason + " (no answer in time)");
         case Failure::NotTrusted:
            reason += impl.pinned.empty()
                          ? " (the server's certificate is not trusted, or does not name the host)"
                          : " (the server's certificate does not have the pinned thumbprint, "
                            "or does not name the host)";
            break;
         case Failure::Closed:
            reason += impl.options.tls ? "" : " (an HTTPS server?)";
            break;
         default:
            break;
         }
         RaiseSystemError(reason);
      }
   }
   if (!reply.setCookie.empty()) {
      std::lock_guard<std::mutex> guard(impl.lock);
      impl.cookie = reply.setCookie.substr(0, reply.setCookie.find(';'));
   }
   const bool xml = reply.contentType.find("xml") != std::string::npos;
   if ((reply.status != 200 && reply.status < 400) || !xml) {
      RaiseSystemError(what() + ": HTTP " + std::to_string(reply.status) + " without a SOAP answer" +
                       (reply.body.empty() ? std::string() : ": " + reply.body.substr(0, 200)));
   }
   Wire::Response decoded;
   try {
      decoded = Wire::DecodeResponse(reply.body, *method, {.version = impl.version});
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
