// Concurrent use of the runtime's shared structures (run under ThreadSanitizer in CI): array-type
// creation, registry and catalogue reads during a registration, the lock-free array getter, and reference
// counts of shared references across concurrent array clones.

#include <gtest/gtest.h>

#include <thread>

#include "test_catalogues.h"

using namespace Ormid;

namespace {

constexpr int kThreads = 4;

template <class F> void RunTogether(F&& f) {
   std::atomic<int> ready{0};
   std::vector<std::thread> threads;
   for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
         ready.fetch_add(1);
         while (ready.load() < kThreads) {
         }
         f(i);
      });
   }
   for (std::thread& t : threads) {
      t.join();
   }
}

} // namespace

TEST(RegistryConcurrency, ArrayTypeIsCreatedOnce) {
   // A fresh type, so that no array type exists yet.
   static const TypeInfo header{KindEnum, "ormidtest.concurrent.Shade", "ConcurrentShade", "v"};
   static const char* const names[] = {"light", "dark", nullptr};
   static const EnumTypeInfo info{&header, names};
   EnumType* type = CreateEnumType<Ormidtest::Color>(&info);
   ArrayType* seen[kThreads] = {};
   RunTogether([&](int i) { seen[i] = type->GetArrayType(); });
   for (ArrayType* t : seen) {
      EXPECT_EQ(t, seen[0]);
   }
   EXPECT_EQ(type->GetArrayType(), seen[0]);
   EXPECT_STREQ(seen[0]->GetName(), "ormidtest.concurrent.Shade[]");
   delete type; // never registered
}

TEST(RegistryConcurrency, ReadsDuringRegistration) {
   constexpr int kTypes = 50;
   static std::string names[2 * kTypes]; // name, WSDL name
   static TypeInfo headers[kTypes];
   static DataTypeInfo descriptors[kTypes];
   static Type* slots[kTypes];
   static int next = 0;
   for (int i = 0; i < kTypes; ++i) {
      names[2 * i] = "ormidtest.concurrent.T" + std::to_string(i);
      names[2 * i + 1] = "ConcurrentT" + std::to_string(i);
      headers[i] = TypeInfo{KindDataObject, names[2 * i].c_str(), names[2 * i + 1].c_str(), "v"};
      descriptors[i] = QTest::EmptyDescriptor(&headers[i], &::gOrmidtestPartTypeInfo);
   }
   std::atomic<bool> done{false};
   RunTogether([&](int i) {
      if (i == 0) {
         // One thread registers packages of one type each.
         for (next = 0; next < kTypes; ++next) {
            TypeInfoLoader loader(nullptr, [](int& count) -> Type* const* {
               slots[next] = CreateDataObjectType(&descriptors[next]);
               count = 1;
               return &slots[next];
            });
         }
         done.store(true);
         return;
      }
      // The others look types up, resolve bases and query versions meanwhile.
      while (!done.load()) {
         for (int k = 0; k < kTypes; k += 7) {
            if (Type* t = TypeRegistry::Get().FindByName(names[2 * k])) {
               EXPECT_EQ(static_cast<DataObjectType*>(t)->GetBase(), GetDoType<Ormidtest::Part>());
               EXPECT_EQ(TypeRegistry::Get().FindByWsdlName(names[2 * k + 1]), t);
            }
         }
         EXPECT_EQ(TypeRegistry::Get().FindByHeader(&::gOrmidtestSubPartTypeInfo),
                   GetDoType<Ormidtest::SubPart>());
         EXPECT_TRUE(VersionCatalogue::Get().IsPartOf("ormidtest.version.v1", "ormidtest.version.unstable"));
         EXPECT_GE(TypeRegistry::Get().GetTypes().size(), 4u);
      }
   });
   for (int k = 0; k < kTypes; ++k) {
      EXPECT_EQ(TypeRegistry::Get().FindByName(names[2 * k]), slots[k]);
   }
}

// The array getter of every generated class is Ormid::GetOrCreateArray on its field.
TEST(RegistryConcurrency, ArrayGetterInstallsOneArray) {
   for (int round = 0; round < 20; ++round) {
      Pellum::Ref<DataArray<Ormidtest::Part>> field;
      DataArray<Ormidtest::Part>* seen[kThreads] = {};
      RunTogether([&](int i) { seen[i] = GetOrCreateArray(field); });
      for (DataArray<Ormidtest::Part>* a : seen) {
         ASSERT_EQ(a, seen[0]);
      }
      EXPECT_EQ(field->GetRefCount(), 1); // the losers' arrays were destroyed, none leaked
   }
}

TEST(RegistryConcurrency, SharedReferencesAcrossArrayClones) {
   Pellum::Ref<MoRef> shared(new MoRef("ormidtest.Thing", "shared"));
   Pellum::Ref<DataArray<MoRef>> refs(new DataArray<MoRef>());
   for (int i = 0; i < 8; ++i) {
      refs->Append(shared.GetPtr());
   }
   EXPECT_EQ(shared->GetRefCount(), 9);
   RunTogether([&](int) {
      for (int k = 0; k < 200; ++k) {
         Pellum::Ref<Any> clone(refs->_Clone());
         EXPECT_TRUE(refs->_IsEqual(clone.GetPtr(), false));
      }
   });
   EXPECT_EQ(shared->GetRefCount(), 9);
   refs.Reset();
   EXPECT_EQ(shared->GetRefCount(), 1);
}
