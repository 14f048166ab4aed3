// Registration of the generated library: the package table against the schema and the registry, and
// descriptor slot rules. (The exported enumeration factories are checked by check_symbols.py and, built and
// run, on the test namespace; that every type of the schema is registered, with its records, by the tool's
// test; that every class's objects answer their registered type, and that every base resolves (quorl.option
// registers after packages deriving from it), by the conformance and equality tests over every class; the
// version catalogue's slots, written by the same generator, on the test namespace by the runtime's tests.)
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "ormid/Registry.h"
#include "quorl/Packages.h"
#include "schema_counts.h"

namespace {

// The package of a wire name: the longest package name that prefixes it.
std::string PackageOf(std::string_view name) {
   std::string best;
   for (const PackageCount& row : kSchemaCounts) {
      std::string_view p = row.package;
      if (name.size() > p.size() && name.substr(0, p.size()) == p && name[p.size()] == '.' &&
          p.size() > best.size()) {
         best = p;
      }
   }
   return best;
}

Ormid::TypeRegistry& Registry() {
   return Ormid::TypeRegistry::Get();
}

// The library's package table (what `quorl-types summary` prints) against the schema's counts and the
// registry: same packages in the same order, type lists as long as what each package registered, a time
// measured for every package that registered something.
TEST(Registration, PackageTableMatchesTheSchemaAndTheRegistry) {
   ASSERT_EQ(static_cast<std::size_t>(Quorl::kPackageCount), std::size(kSchemaCounts));
   std::map<std::string, int> registered;
   for (Ormid::Type* t : Registry().GetTypes()) {
      if (std::string_view(t->GetName()).substr(0, 6) == "quorl.") {
         ++registered[PackageOf(t->GetName())];
      }
   }
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      const Quorl::PackageInfo& p = Quorl::packages[i];
      ASSERT_STREQ(p.name, kSchemaCounts[i].package);
      EXPECT_EQ(p.dataObjects + p.faults, kSchemaCounts[i].dataAndFaults) << p.name;
      EXPECT_EQ(p.enumerations, kSchemaCounts[i].enums) << p.name;
      EXPECT_EQ(p.managedTypes, kSchemaCounts[i].managed) << p.name;
      EXPECT_EQ(registered[p.name], p.typeListLength) << p.name;
      EXPECT_LE(p.dataObjects, p.expectedDataObjects) << p.name;
      EXPECT_LE(p.faults, p.expectedFaults) << p.name;
      EXPECT_LE(p.enumerations, p.expectedEnumerations) << p.name;
      EXPECT_LE(p.managedTypes, p.expectedManagedTypes) << p.name;
      if (p.typeListLength > 0) {
         EXPECT_GT(Quorl::GetRegistrationNanoseconds(i), 0) << p.name;
      }
   }
   EXPECT_EQ(Quorl::GetRegistrationNanoseconds(-1), -1);
   EXPECT_EQ(Quorl::GetRegistrationNanoseconds(Quorl::kPackageCount), -1);
}

// The accessor slots of every data descriptor follow its property list: no own property, no value
// accessors and the shared always-true isSet; reset exactly when a property is optional; the
// dynamicProperty marker exactly when own property 0 redeclares it.
TEST(Registration, DescriptorSlotsFollowThePropertyList) {
   int classes = 0;
   for (Ormid::Type* t : Registry().GetTypes()) {
      if (!t->IsDataObject() || std::string_view(t->GetName()).substr(0, 6) != "quorl.") {
         continue;
      }
      const Ormid::DataTypeInfo* d = static_cast<Ormid::DataObjectType*>(t)->GetDescriptor();
      SCOPED_TRACE(t->GetName());
      ++classes;
      bool optional = false;
      int count = 0;
      for (; d->properties[count].type != nullptr; ++count) {
         optional |= (d->properties[count].flags & Ormid::PropertyFlags::Optional) != 0;
      }
      for (const void* accessor :
           {reinterpret_cast<const void*>(d->getField), reinterpret_cast<const void*>(d->getFieldPtr),
            reinterpret_cast<const void*>(d->setField), reinterpret_cast<const void*>(d->swapField)}) {
         EXPECT_EQ(accessor == nullptr, count == 0);
      }
      EXPECT_EQ(d->isSet == &Ormid::AlwaysSet, count == 0);
      EXPECT_EQ(d->reset != nullptr, optional);
      EXPECT_NE(d->create, nullptr);
      EXPECT_NE(d->createArray, nullptr);
      EXPECT_EQ(d->hasOwnDynamicProperty != 0,
                count > 0 && std::string_view(d->properties[0].name) == "dynamicProperty");
   }
   EXPECT_GT(classes, 0);
}

} // namespace
