#include "client_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pellum/Exception.h"

namespace Transport::Detail {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024; // status line and headers of an answer
constexpr std::size_t kReadPiece = 16 * 1024;

std::string ErrnoText(int error) {
   return std::strerror(error);
}

// The OpenSSL errors queued on this thread, as one line (the queue is emptied).
std::string OpenSslText() {
   std::string text;
   while (unsigned long e = ERR_get_error()) {
      char line[256];
      ERR_error_string_n(e, line, sizeof line);
      text += text.empty() ? "" : "; ";
      text += line;
   }
   return text.empty() ? "no detail from OpenSSL" : text;
}

// OpenSSL writes to the socket with write(2): a peer that closed its end would raise SIGPIPE and end the
// process. While a TLS operation runs, SIGPIPE is blocked on this thread and one it raised is consumed.
class NoSigpipe {
public:
   NoSigpipe() {
      sigemptyset(&_pipe);
      sigaddset(&_pipe, SIGPIPE);
      sigset_t pending;
      sigpending(&pending);
      _wasPending = sigismember(&pending, SIGPIPE) == 1;
      pthread_sigmask(SIG_BLOCK, &_pipe, &_old);
   }
   ~NoSigpipe() {
      if (!_wasPending) {
         sigset_t pending;
         sigpending(&pending);
         if (sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&_pipe, nullptr, &now);
         }
      }
      pthread_sigmask(SIG_SETMASK, &_old, nullptr);
   }
   NoSigpipe(const NoSigpipe&) = delete;
   NoSigpipe& operator=(const NoSigpipe&) = delete;

private:
   sigset_t _pipe, _old;
   bool _wasPending = false;
};

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

bool IsAddress(const std::string& host) {
   unsigned char bytes[sizeof(in6_addr)];
   return inet_pton(AF_INET, host.c_str(), bytes) == 1 || inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

timeval TimevalOf(std::chrono::milliseconds t) {
   timeval v{};
   v.tv_sec = static_cast<time_t>(t.count() / 1000);
   v.tv_usec = static_cast<suseconds_t>(t.count() % 1000 * 1000);
   return v;
}

// Case-insensitive comparison of an HTTP header name with a lower-case name.
bool NameIs(std::string_view name, std::string_view lower) {
   if (name.size() != lower.size()) {
      return false;
   }
   for (std::size_t i = 0; i < name.size(); ++i) {
      char c = name[i];
      if (c >= 'A' && c <= 'Z') {
         c = static_cast<char>(c - 'A' + 'a');
      }
      if (c != lower[i]) {
         return false;
      }
   }
   return true;
}

bool ContainsToken(std::string_view value, std::string_view lower) {
   std::string text(value);
   for (char& c : text) {
      if (c >= 'A' && c <= 'Z') {
         c = static_cast<char>(c - 'A' + 'a');
      }
   }
   return text.find(lower) != std::string::npos;
}

std::string_view Trimmed(std::string_view s) {
   while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
      s.remove_prefix(1);
   }
   while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
   }
   return s;
}

[[noreturn]] void Bad(const std::string& what) {
   throw ConnectionError(Failure::Protocol, "the answer is not HTTP: " + what);
}

std::size_t ParseSize(std::string_view text, int base, const char* what) {
   text = Trimmed(text);
   if (text.empty() || text.size() > 15) {
      Bad(std::string("bad ") + what + " \"" + std::string(text.substr(0, 20)) + "\"");
   }
   std::size_t n = 0;
   for (char c : text) {
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : 99;
      if (digit >= base) {
         Bad(std::string("bad ") + what + " \"" + std::string(text) + "\"");
      }
      n = n * static_cast<std::size_t>(base) + static_cast<std::size_t>(digit);
   }
   return n;
}

} // namespace

// --- TLS settings ---

TlsContext::TlsContext(const std::string& caFile, std::string pinned, bool verify)
    : _pinned(std::move(pinned)), _verify(verify) {
   _context = SSL_CTX_new(TLS_client_method());
   if (_context == nullptr) {
      throw Pellum::Exception("OpenSSL cannot make a TLS context: " + OpenSslText());
   }
   SSL_CTX_set_min_proto_version(_context, TLS1_2_VERSION);
   SSL_CTX_set_options(_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
   if (!Verifies()) {
      SSL_CTX_set_verify(_context, SSL_VERIFY_NONE, nullptr);
      return;
   }
   SSL_CTX_set_verify(_context, SSL_VERIFY_PEER, nullptr);
   if (!_pinned.empty()) {
      SSL_CTX_set_cert_verify_callback(_context, &CheckPinned, &_pinned);
   } else if (!caFile.empty()) {
      if (SSL_CTX_load_verify_locations(_context, caFile.c_str(), nullptr) != 1) {
         const std::string why = OpenSslText();
         SSL_CTX_free(_context);
         throw Pellum::Exception("cannot read trusted certificates from \"" + caFile + "\": " + why);
      }
   } else if (SSL_CTX_set_default_verify_paths(_context) != 1) {
      const std::string why = OpenSslText();
      SSL_CTX_free(_context);
      throw Pellum::Exception("cannot find the system's trusted certificates: " + why);
   }
}

TlsContext::~TlsContext() {
   SSL_CTX_free(_context);
}

// --- a connection ---

Connection::Connection(const std::string& host, int port, const TlsContext* tls, const Timeouts& timeouts) {
   addrinfo hints{};
   hints.ai_family = AF_UNSPEC;
   hints.ai_socktype = SOCK_STREAM;
   hints.ai_flags = AI_NUMERICSERV;
   addrinfo* found = nullptr;
   const std::string service = std::to_string(port);
   if (const int e = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); e != 0) {
      throw ConnectionError(Failure::Connect,
                            "cannot find the address of \"" + host + "\": " + gai_strerror(e));
   }
   std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);
   const auto deadline = std::chrono::steady_clock::now() + timeouts.connect;
   std::string failure = "no address";
   bool timedOut = false;
   for (addrinfo* a = found; a != nullptr && _socket < 0; a = a->ai_next) {
      const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
      if (fd < 0) {
         failure = ErrnoText(errno);
         continue;
      }
      int error = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
      if (error == EINPROGRESS) {
         const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
             deadline - std::chrono::steady_clock::now());
         pollfd p{fd, POLLOUT, 0};
         int ready;
         do {
            ready = poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
         } while (ready < 0 && errno == EINTR);
         socklen_t length = sizeof error;
         if (ready == 0) {
            error = ETIMEDOUT;
            timedOut = true;
         } else if (ready < 0) {
            error = errno;
         } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
         }
      }
      if (error != 0) {
         failure = ErrnoText(error);
         close(fd);
         if (std::chrono::steady_clock::now() >= deadline) {
            break;
         }
         continue;
      }
      _socket = fd;
   }
   if (_socket < 0) {
      throw ConnectionError(timedOut ? Failure::ConnectTimeout : Failure::Connect,
                            "cannot connect to " + host + ":" + service + ": " + failure);
   }
   // Blocking from here on, with the socket's own timeouts.
   fcntl(_socket, F_SETFL, fcntl(_socket, F_GETFL) & ~O_NONBLOCK);
   const int yes = 1;
   setsockopt(_socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
   if (timeouts.read.count() > 0) {
      const timeval v = TimevalOf(timeouts.read);
      setsockopt(_socket, SOL_SOCKET, SO_RCVTIMEO, &v, sizeof v);
   }
   if (timeouts.write.count() > 0) {
      const timeval v = TimevalOf(timeouts.write);
      setsockopt(_socket, SOL_SOCKET, SO_SNDTIMEO, &v, sizeof v);
   }
   if (tls != nullptr) {
      try {
         Handshake(host, *tls);
      } catch (...) {
         if (_ssl != nullptr) {
            SSL_free(_ssl);
         }
         close(_socket);
         throw;
      }
   }
}

void Connection::Handshake(const std::string& host, const TlsContext& tls) {
   ERR_clear_error();
   _ssl = SSL_new(tls.get());
   if (_ssl == nullptr || SSL_set_fd(_ssl, _socket) != 1) {
      throw ConnectionError(Failure::Handshake, "OpenSSL cannot start a TLS session: " + OpenSslText());
   }
   const bool address = IsAddress(host);
   if (!address) {
      SSL_set_tlsext_host_name(_ssl, host.c_str());
   }
   if (tls.Verifies() && !tls.Pinned()) {
      X509_VERIFY_PARAM* param = SSL_get0_param(_ssl);
      const int set = address ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                              : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
      if (set != 1) {
         throw ConnectionError(Failure::Handshake, "OpenSSL cannot check the name \"" + host + "\"");
      }
   }
   NoSigpipe quiet;
   const int done = SSL_connect(_ssl);
   if (done != 1) {
      const int error = SSL_get_error(_ssl, done);
      const long verified = SSL_get_verify_result(_ssl);
      if (tls.Verifies() && verified != X509_V_OK) {
         ERR_clear_error();
         throw ConnectionError(Failure::NotTrusted,
                               std::string("TLS: ") + X509_verify_cert_error_string(verified));
      }
      if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN) {
         const int e = errno;
         ERR_clear_error();
         if (e == EAGAIN || e == EWOULDBLOCK) {
            throw ConnectionError(Failure::ReadTimeout, "TLS handshake: no answer in time");
         }
         throw ConnectionError(Failure::Closed, "TLS handshake: the connection was closed" +
                                                    (e != 0 ? " (" + ErrnoText(e) + ")" : std::string()));
      }
      throw ConnectionError(Failure::Handshake, "TLS handshake failed: " + OpenSslText());
   }
   // A pinned certificate is trusted whole, but it must still name the host.
   if (tls.Pinned()) {
      X509* peer = SSL_get0_peer_certificate(_ssl);
      const bool named =
          peer != nullptr && (address ? X509_check_ip_asc(peer, host.c_str(), 0) == 1
                                      : X509_check_host(peer, host.c_str(), host.size(), 0, nullptr) == 1);
      if (!named) {
         throw ConnectionError(Failure::NotTrusted, "TLS: the certificate does not name \"" + host + "\"");
      }
   }
}

Connection::~Connection() {
   if (_ssl != nullptr) {
      NoSigpipe quiet;
      SSL_shutdown(_ssl); // close_notify, not waiting for the server's
      SSL_free(_ssl);
      ERR_clear_error();
   }
   if (_socket >= 0) {
      close(_socket);
   }
}

void Connection::WriteAll(std::string_view head, std::string_view body) {
   auto failed = [](int e) {
      if (e == EAGAIN || e == EWOULDBLOCK) {
         return ConnectionError(Failure::Write, "the request could not be sent in time");
      }
      return ConnectionError(Failure::Write, "the request could not be sent: " + ErrnoText(e));
   };
   if (_ssl != nullptr) {
      std::string whole;
      whole.reserve(head.size() + body.size());
      whole.append(head).append(body);
      NoSigpipe quiet;
      ERR_clear_error();
      const int n = SSL_write(_ssl, whole.data(), static_cast<int>(whole.size()));
      if (n <= 0) {
         const int e = errno;
         if (SSL_get_error(_ssl, n) == SSL_ERROR_SYSCALL) {
            ERR_clear_error();
            throw failed(e);
         }
         throw ConnectionError(Failure::Write, "the request could not be sent: " + OpenSslText());
      }
      return;
   }
   iovec pieces[2] = {{const_cast<char*>(head.data()), head.size()},
                      {const_cast<char*>(body.data()), body.size()}};
   iovec* next = pieces;
   int count = 2;
   while (count > 0) {
      msghdr message{};
      message.msg_iov = next;
      message.msg_iovlen = static_cast<std::size_t>(count);
      const ssize_t sent = sendmsg(_socket, &message, MSG_NOSIGNAL);
      if (sent < 0) {
         if (errno == EINTR) {
            continue;
         }
         throw failed(errno);
      }
      auto left = static_cast<std::size_t>(sent);
      while (count > 0 && left >= next->iov_len) {
         left -= next->iov_len;
         ++next;
         --count;
      }
      if (count > 0) {
         next->iov_base = static_cast<char*>(next->iov_base) + left;
         next->iov_len -= left;
      }
   }
}

std::size_t Connection::ReadSome() {
   const std::size_t have = _buffer.size();
   _buffer.resize(have + kReadPiece);
   char* into = _buffer.data() + have;
   std::size_t got = 0;
   if (_ssl != nullptr) {
      NoSigpipe quiet;
      ERR_clear_error();
      const int n = SSL_read(_ssl, into, static_cast<int>(kReadPiece));
      if (n > 0) {
         got = static_cast<std::size_t>(n);
      } else {
         const int e = errno;
         const int error = SSL_get_error(_ssl, n);
         _buffer.resize(have);
         if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ||
             (error == SSL_ERROR_SYSCALL && (e == EAGAIN || e == EWOULDBLOCK))) {
            ERR_clear_error();
            throw ConnectionError(Failure::ReadTimeout, "no answer in time");
         }
         if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && (e == 0 || e == ECONNRESET))) {
            ERR_clear_error();
            return 0;
         }
         throw ConnectionError(Failure::Read,
                               "the answer could not be read: " +
                                   (error == SSL_ERROR_SYSCALL ? ErrnoText(e) : OpenSslText()));
      }
   } else {
      ssize_t n;
      do {
         n = recv(_socket, into, kReadPiece, 0);
      } while (n < 0 && errno == EINTR);
      if (n < 0) {
         const int e = errno;
         _buffer.resize(have);
         if (e == EAGAIN || e == EWOULDBLOCK) {
            throw ConnectionError(Failure::ReadTimeout, "no answer in time");
         }
         if (e == ECONNRESET) {
            return 0;
         }
         throw ConnectionError(Failure::Read, "the answer could not be read: " + ErrnoText(e));
      }
      got = static_cast<std::size_t>(n);
   }
   _buffer.resize(have + got);
   return got;
}

Reply Connection::Exchange(std::string_view head, std::string_view body) {
   _buffer.clear();
   WriteAll(head, body);
   Reply reply;
   std::size_t start = 0; // where the answer being read begins (after any 1xx answers)
   std::size_t headEnd;
   bool http10 = false;
   while (true) {
      std::size_t from = start;
      while ((headEnd = _buffer.find("\r\n\r\n", from)) == std::string::npos) {
         if (_buffer.size() - start > kMaxHead) {
            Bad("a header of over " + std::to_string(kMaxHead / 1024) + " KB");
         }
         from = std::max(start, _buffer.size() >= 3 ? _buffer.size() - 3 : 0);
         if (ReadSome() == 0) {
            throw ConnectionError(_buffer.empty() ? Failure::Closed : Failure::Read,
                                  _buffer.empty()
                                      ? "the server closed the connection without answering"
                                      : "the server closed the connection in the middle of the answer");
         }
      }
      const std::string_view status(_buffer.data() + start, std::min<std::size_t>(headEnd - start, 12));
      if (status.size() < 12 || status.substr(0, 7) != "HTTP/1." || status[8] != ' ') {
         Bad("status line \"" + std::string(status) + "\"");
      }
      http10 = status[7] == '0';
      reply.status = static_cast<int>(ParseSize(status.substr(9, 3), 10, "status"));
      if (reply.status >= 200 || reply.status < 100) {
         break;
      }
      start = headEnd + 4; // an interim answer (100 Continue): the real one follows
   }
   reply.keepOpen = !http10;
   std::size_t contentLength = std::string::npos;
   bool chunked = false;
   const std::string_view headers(_buffer.data() + start, headEnd - start);
   std::size_t at = headers.find("\r\n");
   while (at != std::string_view::npos && at < headers.size()) {
      at += 2;
      std::size_t end = headers.find("\r\n", at);
      const std::string_view line = headers.substr(at, end == std::string_view::npos ? end : end - at);
      at = end;
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) {
         Bad("header line \"" + std::string(line.substr(0, 80)) + "\"");
      }
      const std::string_view name = line.substr(0, colon);
      const std::string_view value = Trimmed(line.substr(colon + 1));
      if (NameIs(name, "content-length")) {
         contentLength = ParseSize(value, 10, "Content-Length");
      } else if (NameIs(name, "transfer-encoding")) {
         chunked = ContainsToken(value, "chunked");
      } else if (NameIs(name, "connection")) {
         if (ContainsToken(value, "close")) {
            reply.keepOpen = false;
         } else if (ContainsToken(value, "keep-alive")) {
            reply.keepOpen = true;
         }
      } else if (NameIs(name, "content-type")) {
         reply.contentType = value;
      } else if (NameIs(name, "set-cookie") && reply.setCookie.empty()) {
         reply.setCookie = value;
      }
   }
   std::size_t pos = headEnd + 4;
   // Reads until the buffer holds `end` bytes.
   auto need = [&](std::size_t end) {
      while (_buffer.size() < end) {
         if (ReadSome() == 0) {
            throw ConnectionError(Failure::Read,
                                  "the server closed the connection in the middle of the answer");
         }
      }
   };
   if (reply.status == 204 || reply.status == 304) {
      // no body
   } else if (chunked) {
      while (true) {
         std::size_t lineEnd;
         while ((lineEnd = _buffer.find("\r\n", pos)) == std::string::npos) {
            if (_buffer.size() - pos > 1024) {
               Bad("a chunk size line of over 1 KB");
            }
            need(_buffer.size() + 1);
         }
         std::string_view sizeText(_buffer.data() + pos, lineEnd - pos);
         sizeText = sizeText.substr(0, sizeText.find(';'));
         const std::size_t size = ParseSize(sizeText, 16, "chunk size");
         pos = lineEnd + 2;
         if (size == 0) {
            // Trailers, if any, up to an empty line.
            while (true) {
               while ((lineEnd = _buffer.find("\r\n", pos)) == std::string::npos) {
                  if (_buffer.size() - pos > kMaxHead) {
                     Bad("trailers of over 64 KB");
                  }
                  need(_buffer.size() + 1);
               }
               const bool empty = lineEnd == pos;
               pos = lineEnd + 2;
               if (empty) {
                  break;
               }
            }
            break;
         }
         need(pos + size + 2);
         reply.body.append(_buffer, pos, size);
         pos += size + 2;
      }
   } else if (contentLength != std::string::npos) {
      need(pos + contentLength);
      reply.body.assign(_buffer, pos, contentLength);
      pos += contentLength;
   } else {
      // Neither length nor chunks: the body runs to the end of the stream.
      while (ReadSome() != 0) {
      }
      reply.body.assign(_buffer, pos, std::string::npos);
      pos = _buffer.size();
      reply.keepOpen = false;
   }
   if (pos != _buffer.size()) {
      reply.keepOpen = false; // bytes nobody asked for: the connection is out of step
   }
   if (_buffer.capacity() > 1024 * 1024) {
      std::string().swap(_buffer);
   }
   return reply;
}

} // namespace Transport::Detail
