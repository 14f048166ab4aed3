// Every fault class of the library: its response code, the exception class it throws (its own, derived
// from its base fault's exception class, whatever pointer the fault is held through) and the exception
// text.
#include <gtest/gtest.h>

#include <cxxabi.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "ormid/MethodFault.h"
#include "ormid/Registry.h"
#include "pellum/Http.h"
#include "quorl/Packages.h"

namespace {

using Pellum::Ref;
using Pellum::Http::ResponseCode;

struct LibraryFault {
   Ormid::DataObjectType* type;
   Ref<Ormid::MethodFault> fault;
};

// One default-constructed fault of every fault type the library registered, made through its descriptor.
std::vector<LibraryFault> LibraryFaults() {
   std::vector<LibraryFault> out;
   for (Ormid::Type* t : Ormid::TypeRegistry::Get().GetTypes()) {
      if (t->GetKind() != Ormid::KindFault || std::string_view(t->GetName()).substr(0, 6) != "quorl.") {
         continue;
      }
      auto* type = dynamic_cast<Ormid::DataObjectType*>(t);
      Ref<Ormid::DynamicData> object = type != nullptr ? type->Create() : Ref<Ormid::DynamicData>();
      auto* fault = dynamic_cast<Ormid::MethodFault*>(object.GetPtr());
      EXPECT_NE(fault, nullptr) << t->GetName() << " does not create a fault";
      if (fault != nullptr) {
         out.push_back({type, Ref<Ormid::MethodFault>(fault)});
      }
   }
   int expected = 0;
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      expected += Quorl::packages[i].faults;
   }
   EXPECT_EQ(static_cast<int>(out.size()), expected);
   return out;
}

// The exception class a fault's CreateException() makes (the class its throws must have as well).
const std::type_info& ExceptionClassOf(const Ormid::MethodFault& fault) {
   std::unique_ptr<Ormid::MethodFault::Exception> e(fault.CreateException());
   const Ormid::MethodFault::Exception& made = *e;
   return typeid(made);
}

TEST(FaultResponseCodes, NineNamedFaultsCarryTheirOwnCodeAndEveryOtherIsInternalServerError) {
   const std::map<std::string, const ResponseCode*> named = {
       {"quorl.fault.NoPermission", &ResponseCode::Forbidden},
       {"quorl.fault.NotAuthenticated", &ResponseCode::Unauthorized},
       {"quorl.fault.InvalidLogin", &ResponseCode::Unauthorized},
       {"quorl.fault.InvalidClientCertificate", &ResponseCode::Unauthorized},
       {"quorl.fault.PasswordExpired", &ResponseCode::Unauthorized},
       {"quorl.fault.InvalidGuestLogin", &ResponseCode::Unauthorized},
       {"quorl.fault.InvalidName", &ResponseCode::NotFound},
       {"quorl.fault.UserNotFound", &ResponseCode::NotFound},
       {"quorl.fault.FileNotFound", &ResponseCode::NotFound},
   };
   int namedSeen = 0;
   int internal = 0;
   for (const LibraryFault& f : LibraryFaults()) {
      const std::string name = f.type->GetName();
      auto it = named.find(name);
      const ResponseCode* expected = it != named.end() ? it->second : &ResponseCode::InternalServerError;
      // The runtime's constants themselves, not copies.
      EXPECT_EQ(&f.fault->GetResponseCode(), expected)
          << name << " answers " << f.fault->GetResponseCode().ToString();
      namedSeen += it != named.end();
      internal += it == named.end();
   }
   EXPECT_EQ(namedSeen, 9);
   EXPECT_GT(internal, 0);
}

// For every fault, held only through Ormid::MethodFault: ThrowInternal(), CreateException() and the
// exception's Clone() and Throw() all give one exception class, distinct from every other fault's, whose
// single base is the exception class of the base fault; the text names the fault's type. (Throw() and
// the catch by every base class are checked per fault by the generated fault-catch tests; the sharing
// of one fault by created, cloned and rethrown exceptions is the runtime's, tested there.)
TEST(FaultExceptions, EveryFaultThrowsItsOwnExceptionClassDerivedFromItsBases) {
   std::set<std::type_index> classes;
   for (const LibraryFault& f : LibraryFaults()) {
      const Ormid::MethodFault& fault = *f.fault;
      const std::string name = f.type->GetName();
      SCOPED_TRACE(name);
      const std::string text = "Fault cause: " + name + "\n";

      std::unique_ptr<Ormid::MethodFault::Exception> created;
      ASSERT_NO_THROW(created.reset(fault.CreateException()));
      ASSERT_NE(created, nullptr);
      const Ormid::MethodFault::Exception& made = *created;
      const std::type_info& own = typeid(made);
      EXPECT_TRUE(classes.insert(own).second) << own.name() << " is shared with another fault";
      EXPECT_EQ(created->GetFault(), &fault);
      EXPECT_EQ(created->what(), text);
      EXPECT_EQ(fault.GetRefCount(), 2) << "the created exception holds one reference";

      try {
         fault.ThrowInternal();
         ADD_FAILURE() << "ThrowInternal() returned";
      } catch (const Ormid::MethodFault::Exception& e) {
         EXPECT_EQ(typeid(e), own) << "ThrowInternal() raised " << typeid(e).name();
      }
      std::unique_ptr<Pellum::Exception> clone(created->Clone());
      const Pellum::Exception& copy = *clone;
      EXPECT_EQ(typeid(copy), own);
      try {
         created->Throw();
      } catch (const Pellum::Throwable& e) {
         EXPECT_EQ(typeid(e), own);
      }

      // The exception class derives (singly) from the exception class of the base fault.
      const auto* single = dynamic_cast<const abi::__si_class_type_info*>(&own);
      ASSERT_NE(single, nullptr) << own.name() << " does not have exactly one public base";
      Ref<Ormid::DynamicData> baseObject = f.type->GetBase()->Create();
      auto* baseFault = dynamic_cast<Ormid::MethodFault*>(baseObject.GetPtr());
      ASSERT_NE(baseFault, nullptr);
      EXPECT_EQ(*single->__base_type, ExceptionClassOf(*baseFault))
          << "the base of " << own.name() << " is " << single->__base_type->name();
   }
}

} // namespace
