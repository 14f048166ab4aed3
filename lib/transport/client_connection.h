// One client connection to a server: a socket (and a TLS session over it) that carries one HTTP/1.1
// exchange at a time and stays open between exchanges. Written for the client's one use, a POST answered
// by one response: a request goes out in one write, an answer is read with as few reads as its size needs,
// and timeouts are the socket's own, so a call costs no system call beyond the ones that move its bytes.
#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Transport::Detail {

// Why an exchange failed.
enum class Failure {
   Connect,        // no connection (refused, unreachable, name unknown)
   ConnectTimeout, // no connection in time
   Handshake,      // the TLS handshake failed (not a certificate question)
   NotTrusted,     // the server's certificate failed verification or does not name the host
   Write,          // the request could not be sent whole
   Closed,         // the server closed the connection before any byte of an answer
   Read,           // the connection broke in the middle of an answer
   ReadTimeout,    // no answer in time
   Protocol,       // the answer is not HTTP/1.x
};

class ConnectionError : public std::runtime_error {
public:
   ConnectionError(Failure failure, const std::string& what) : std::runtime_error(what), failure(failure) {}
   Failure failure;
};

// TLS settings shared by the connections of one client.
class TlsContext {
public:
   // `caFile` empty: the system's trusted certificates. `pinned`: normalised SHA-256 thumbprint (64 lower
   // case hexadecimal digits) trusted instead of a chain, or empty. `verify` false and `pinned` empty:
   // anything is accepted.
   TlsContext(const std::string& caFile, std::string pinned, bool verify);
   ~TlsContext();
   TlsContext(const TlsContext&) = delete;
   TlsContext& operator=(const TlsContext&) = delete;

   SSL_CTX* get() const { return _context; }
   bool Verifies() const { return _verify || !_pinned.empty(); }
   bool Pinned() const { return !_pinned.empty(); }

private:
   SSL_CTX* _context = nullptr;
   std::string _pinned;
   bool _verify;
};

struct Timeouts {
   std::chrono::milliseconds connect, read, write;
};

struct Reply {
   int status = 0;
   std::string contentType;
   std::string setCookie; // the first Set-Cookie header, whole
   bool keepOpen = true;  // false: the server closes the connection after this answer
   std::string body;
};

class Connection {
public:
   // Connects to host:port (every address the name has, in order), with TLS when `tls` is not null.
   Connection(const std::string& host, int port, const TlsContext* tls, const Timeouts& timeouts);
   ~Connection();
   Connection(const Connection&) = delete;
   Connection& operator=(const Connection&) = delete;

   // Sends `head` and `body` as one request and reads the whole answer. Throws ConnectionError; after
   // any error the connection is not to be used again.
   Reply Exchange(std::string_view head, std::string_view body);

private:
   void Handshake(const std::string& host, const TlsContext& tls);
   void WriteAll(std::string_view head, std::string_view body);
   // Reads more bytes onto `_buffer`; 0 at the end of the stream.
   std::size_t ReadSome();

   int _socket = -1;
   SSL* _ssl = nullptr;
   std::string _buffer;
};

} // namespace Transport::Detail
