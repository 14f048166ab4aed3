// The answer of a member that an implementation does not serve.

#include "ormid/NotServed.h"

#include <string>

#include "ormid/BaseTypes.h"
#include "ormid/MethodFault.h"
#include "pellum/Ref.h"

namespace Ormid {

void NotServed(const char* member) {
   Pellum::Ref<Fault::NotSupported> fault(new Fault::NotSupported());
   fault->GetFaultMessage()->Append(Pellum::Ref<LocalizableMessage>(
       new LocalizableMessage("ormid.notServed", std::string(member) + " is not served here")));
   // The same as fault->Throw(), spelt as a throw expression: g++ does not always carry [[noreturn]]
   // through a virtual call, and would warn that this function returns.
   throw Fault::NotSupported::Exception(fault.GetPtr());
}

} // namespace Ormid
