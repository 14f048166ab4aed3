// Every member of every managed type as a SOAP call and back: the request with example arguments (all
// set, then optional ones unset), the response with an example result; property getters through Fetch.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "example_value.h"
#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "ormid/Versions.h"
#include "wire/Codec.h"

namespace {

using Ormid::Any;
using Pellum::Ref;

const Ormid::Version* Newest() {
   return &Ormid::VersionCatalogue::Get().GetVersion("quorl.version.disabled");
}

// Sends one call of `member` through the codec both ways; answers what went wrong, or empty.
std::string Call(const Ormid::ManagedMethod& member, bool optionals) {
   const quorl_types::ExampleOptions options{
       .depth = 1, .optionals = true, .complete = true, .edgeValues = true};
   std::vector<Ref<Any>> args;
   for (const Ormid::ParamInfo& param : member.GetParams()) {
      const bool optional = (param.flags & Ormid::PropertyFlags::Optional) != 0;
      args.push_back(optional && !optionals ? nullptr : quorl_types::BuildExampleArgument(param, options));
   }
   const Ormid::MoRef target(member.GetOwner(), "target-1");
   std::string document;
   try {
      document = Wire::EncodeRequest(member, target, args, {Newest()});
      Wire::Request request = Wire::DecodeRequest(document, {.version = Newest()});
      if (request.method != &member) {
         return "decoded as " + (request.method ? request.method->GetFullName() : std::string("nothing"));
      }
      if (!request.target || !request.target->Equals(target) || request.args.size() != args.size()) {
         return "target or argument count differs:\n" + document;
      }
      for (std::size_t i = 0; i < args.size(); ++i) {
         if (!Ormid::AreEqual(args[i].GetPtr(), request.args[i].GetPtr())) {
            return std::string("argument ") + member.GetParam(i).name + " differs:\n" + document;
         }
      }
      if (!member.HasResult() && !member.IsTask()) {
         return {};
      }
      Ormid::ParamInfo result = member.GetResult();
      if (member.IsTask()) {
         result = {&Ormid::gKoblManagedObjectTypeInfo, 0, "returnval", nullptr, nullptr};
      }
      Ref<Any> value = quorl_types::BuildExampleArgument(result, options);
      document = Wire::EncodeResponse(member, value.GetPtr(), {Newest()});
      Wire::Response response = Wire::DecodeResponse(document, member, {.version = Newest()});
      if (response.fault || !Ormid::AreEqual(value.GetPtr(), response.result.GetPtr())) {
         return "result differs:\n" + document;
      }
   } catch (const std::exception& e) {
      return std::string(e.what()) + "\n" + document;
   }
   return {};
}

TEST(WireCalls, EveryMemberOfEveryManagedType) {
   int members = 0, failures = 0;
   for (Ormid::Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      auto* managed = dynamic_cast<Ormid::ManagedObjectType*>(type);
      if (managed == nullptr || !std::string_view(type->GetName()).starts_with("quorl.")) {
         continue;
      }
      for (std::size_t i = 0; i < managed->GetMethodObjectCount(); ++i, ++members) {
         const Ormid::ManagedMethod& member = *managed->GetMethodObject(i);
         for (bool optionals : {true, false}) {
            const std::string failure = Call(member, optionals);
            if (!failure.empty() && ++failures <= 10) {
               ADD_FAILURE() << member.GetFullName() << (optionals ? "" : " (optionals unset)") << ": "
                             << failure;
            }
         }
      }
   }
   EXPECT_GT(members, 1700);
   EXPECT_EQ(failures, 0);
}

} // namespace
