#include "pellum/Http.h"

namespace Pellum::Http {

constinit const ResponseCode ResponseCode::OK(200, "OK");
constinit const ResponseCode ResponseCode::BadRequest(400, "Bad Request");
constinit const ResponseCode ResponseCode::Unauthorized(401, "Unauthorized");
constinit const ResponseCode ResponseCode::Forbidden(403, "Forbidden");
constinit const ResponseCode ResponseCode::NotFound(404, "Not Found");
constinit const ResponseCode ResponseCode::Conflict(409, "Conflict");
constinit const ResponseCode ResponseCode::InternalServerError(500, "Internal Server Error");
constinit const ResponseCode ResponseCode::NotImplemented(501, "Not Implemented");
constinit const ResponseCode ResponseCode::ServiceUnavailable(503, "Service Unavailable");

std::string ResponseCode::ToString() const {
   return std::to_string(_code) + " " + _reason;
}

const ResponseCode* ResponseCode::Find(int code) noexcept {
   static const ResponseCode* const kAll[] = {
       &OK,       &BadRequest,          &Unauthorized,   &Forbidden,         &NotFound,
       &Conflict, &InternalServerError, &NotImplemented, &ServiceUnavailable};
   for (const ResponseCode* candidate : kAll) {
      if (candidate->_code == code) {
         return candidate;
      }
   }
   return nullptr;
}

} // namespace Pellum::Http
