#include "quorl/detail/ManagedSupport.h"

#include <string>

namespace Quorl::Detail {

void ThrowBadDispatch(const char* type, int index, std::size_t arguments) {
   if (index < 0) {
      throw Pellum::Exception(std::string("dispatch of ") + type + ": no target object");
   }
   throw Pellum::Exception(std::string("dispatch of ") + type + ": method slot " + std::to_string(index) +
                           " does not exist or needs more than the " + std::to_string(arguments) +
                           " arguments received");
}

} // namespace Quorl::Detail
