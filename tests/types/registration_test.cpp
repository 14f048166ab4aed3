// The generated library's package table (what `quorl-types summary` prints) against the schema: same
// packages in the same order and counts, type lists as long, a time measured for every package that
// registered something. (What each package registered: the tool's test, against the schema too.)
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "quorl/Packages.h"
#include "schema_counts.h"

namespace {

TEST(Registration, PackageTableMatchesTheSchemaAndTheRegistry) {
   ASSERT_EQ(static_cast<std::size_t>(Quorl::kPackageCount), std::size(kSchemaCounts));
   for (int i = 0; i < Quorl::kPackageCount; ++i) {
      const Quorl::PackageInfo& p = Quorl::packages[i];
      ASSERT_STREQ(p.name, kSchemaCounts[i].package);
      EXPECT_EQ(p.dataObjects + p.faults, kSchemaCounts[i].dataAndFaults) << p.name;
      EXPECT_EQ(p.enumerations, kSchemaCounts[i].enums) << p.name;
      EXPECT_EQ(p.managedTypes, kSchemaCounts[i].managed) << p.name;
      EXPECT_EQ(p.dataObjects + p.faults + p.enumerations + p.managedTypes, p.typeListLength) << p.name;
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
