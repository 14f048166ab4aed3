// The methods whose responses fuzz_decode_response reads: the first byte of an input picks one (modulo the
// table's length), the rest is the document. One method per kind of result the codec reads differently.
// The seed writer (seeds.cpp) writes a response and a fault for each.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "ormid/ManagedType.h"
#include "ormid/Registry.h"

namespace quorl_fuzz {

struct ResponseMethod {
   const char* type;
   const char* member;
   bool getter; // a property read through Fetch
};

inline constexpr ResponseMethod kResponseMethods[] = {
    {"quorl.Folder", "createFolder", false},                             // a managed-object reference
    {"quorl.VirtualMachine", "powerOn", false},                          // a task: the task's reference
    {"quorl.AuthorizationManager", "removeRole", false},                 // no result
    {"quorl.ServiceInstance", "currentTime", false},                     // a date-time
    {"quorl.ServiceInstance", "retrieveContent", false},                 // a data object
    {"quorl.event.EventHistoryCollector", "readPrev", false},            // an optional array of data objects
    {"quorl.DistributedVirtualSwitch", "queryUsedVlanId", false},        // an array of ints
    {"quorl.SessionManager", "acquireCloneTicket", false},               // a secret string
    {"quorl.VirtualMachine", "queryFaultToleranceCompatibility", false}, // faults as values
    {"quorl.host.NetworkSystem", "invokeHostTransactionCall", false},    // anyType
    {"quorl.profile.host.profileEngine.HostProfileManager", "queryState", false}, // the runtime's KeyAnyValue
    {"quorl.VirtualMachine", "runtime", true},                                    // a property through Fetch
};
inline constexpr std::size_t kResponseMethodCount = std::size(kResponseMethods);

// A printable first byte that picks entry `i` (the seeds start with it, so that they stay readable).
constexpr char ResponsePrefix(std::size_t i) {
   std::size_t b = i;
   while (b < '0') {
      b += kResponseMethodCount;
   }
   return static_cast<char>(b);
}

// The method of entry `i`; aborts with the entry's name when the schema no longer has it.
inline const Ormid::ManagedMethod& ResponseMethodAt(std::size_t i) {
   const ResponseMethod& m = kResponseMethods[i];
   const auto* type =
       dynamic_cast<const Ormid::ManagedObjectType*>(Ormid::TypeRegistry::Get().FindByName(m.type));
   const Ormid::ManagedMethod* method = type == nullptr ? nullptr
                                        : m.getter      ? type->FindProperty(m.member)
                                                        : type->FindMethod(m.member);
   if (method == nullptr) {
      std::fprintf(stderr, "fuzz: %s.%s is not in the schema (fuzz/response_methods.h)\n", m.type, m.member);
      std::abort();
   }
   return *method;
}

} // namespace quorl_fuzz
