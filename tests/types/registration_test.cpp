// The generated library's package table against the schema and the registry. (Every type of the schema
// registered with its records: the tool's test; descriptor slots and every class's objects: the
// conformance test; the exported enumeration factories: check_symbols.py.)
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

} // namespace
