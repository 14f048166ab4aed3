// The codec from several threads at once, from cold caches: the per-type plans and version lookups are
// made while other threads read them.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ormid/Registry.h"
#include "ormid/Versions.h"
#include "wire/Codec.h"

namespace {

TEST(WireConcurrency, ThreadsShareThePlansTheyMake) {
   std::vector<Ormid::DataObjectType*> types;
   for (Ormid::Type* type : Ormid::TypeRegistry::Get().GetTypes()) {
      if (type->IsDataObject() && std::string_view(type->GetName()).starts_with("quorl.")) {
         types.push_back(static_cast<Ormid::DataObjectType*>(type));
      }
   }
   const Ormid::Version* all = &Ormid::VersionCatalogue::Get().GetVersion("quorl.version.disabled");
   constexpr int kThreads = 4;
   std::atomic<int> ready{0}, roundTrips{0}, mismatches{0};
   std::vector<std::thread> threads;
   for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
         ready.fetch_add(1);
         while (ready.load() < kThreads) {
         }
         // Each thread walks the types from another starting point, so that plans are made concurrently.
         for (std::size_t i = 0; i < types.size(); ++i) {
            const Ormid::DataObjectType* type = types[(i + t * types.size() / kThreads) % types.size()];
            Pellum::Ref<Ormid::DynamicData> value = type->Create();
            try {
               const std::string xml = Wire::EncodeXml(value.GetPtr(), {all});
               Pellum::Ref<Ormid::Any> back = Wire::DecodeXml(xml, {.version = all});
               mismatches += Ormid::AreEqual(value.GetPtr(), back.GetPtr()) ? 0 : 1;
               ++roundTrips;
            } catch (const Wire::EncodeError&) {
               // An empty object whose required reference is unset cannot be written: refused, as documented.
            }
         }
      });
   }
   for (std::thread& thread : threads) {
      thread.join();
   }
   EXPECT_GT(roundTrips.load(), kThreads * 1000);
   EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
