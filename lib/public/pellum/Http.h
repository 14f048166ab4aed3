// HTTP response codes that faults name as their status.
#pragma once

#include <string>

#include "pellum/Export.h"

namespace Pellum::Http {

class PELLUM_API ResponseCode {
public:
   constexpr ResponseCode(int code, const char* reason) noexcept : _code(code), _reason(reason) {}

   constexpr int GetCode() const noexcept { return _code; }
   // The standard reason phrase ("Not Found").
   constexpr const char* GetReason() const noexcept { return _reason; }
   // "404 Not Found".
   std::string ToString() const;

   // The constant of a code, or null when this library defines none for it.
   static const ResponseCode* Find(int code) noexcept;

   friend constexpr bool operator==(const ResponseCode& a, const ResponseCode& b) noexcept {
      return a._code == b._code;
   }

   static const ResponseCode OK;                  // 200
   static const ResponseCode BadRequest;          // 400
   static const ResponseCode Unauthorized;        // 401
   static const ResponseCode Forbidden;           // 403
   static const ResponseCode NotFound;            // 404
   static const ResponseCode Conflict;            // 409
   static const ResponseCode InternalServerError; // 500
   static const ResponseCode NotImplemented;      // 501
   static const ResponseCode ServiceUnavailable;  // 503

private:
   int _code;
   const char* _reason;
};

} // namespace Pellum::Http
