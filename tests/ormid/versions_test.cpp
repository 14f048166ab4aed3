// The version catalogue: transitive inclusion through parent pairs, the namespace slots, versions of
// dependency namespaces, and refused catalogues.

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;

namespace {

// A full version name, given by its short name in "ormidtest" or in full.
std::string Full(const std::string& name) {
   return name.find('.') == std::string::npos ? "ormidtest.version." + name : name;
}
const Version& V(const std::string& name) {
   return VersionCatalogue::Get().GetVersion(Full(name));
}

} // namespace

TEST(Versions, InclusionFollowsParentPairsTransitively) {
   // (a, b, whether a is part of b), by short name in "ormidtest" or by full name.
   const struct {
      const char* a;
      const char* b;
      bool partOf;
   } rows[] = {
       // Releases form a chain: a newer release contains everything of the older ones, not the reverse.
       {"v1", "v3", true},
       {"v2", "v3", true},
       {"v2", "v2", true},
       {"v2", "v1", false},
       {"v3", "v1", false},
       // Something tagged with a feature version is part of that feature, unstable and disabled only;
       // features extend the newest release.
       {"featureA", "featureA", true},
       {"featureA", "unstable", true},
       {"featureA", "disabled", true},
       {"featureA", "v3", false},
       {"featureA", "featureB", false},
       {"v1", "featureB", true},
       // Tagged "disabled": part of disabled only.
       {"disabled", "unstable", false},
       {"disabled", "v1", false},
       {"unstable", "disabled", true},
       // Through the dependency: v1 extends kobl.version.version0, so the base namespace is in every version.
       {"kobl.version.version0", "v1", true},
       {"kobl.version.version0", "disabled", true},
       {"v1", "kobl.version.version0", false},
       {"kobl.version.version0", "kobl.query.version.version4", true},
       {"kobl.query.version.version2", "kobl.query.version.version1", false},
   };
   VersionCatalogue& c = VersionCatalogue::Get();
   for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.a) + " in " + row.b);
      EXPECT_EQ(V(row.a).IsPartOf(V(row.b)), row.partOf);
      EXPECT_EQ(V(row.b).Includes(V(row.a)), row.partOf);
      EXPECT_EQ(c.IsPartOf(Full(row.a), Full(row.b)), row.partOf);
   }
   EXPECT_EQ(c.FindVersion("ormidtest.version.v9"), nullptr);
   EXPECT_THROW(c.IsPartOf("ormidtest.version.v1", "ormidtest.version.v9"), Pellum::Exception);
}

TEST(Versions, RecordsParentsStagesAndNamespaceSlots) {
   const Version& unstable = V("unstable");
   EXPECT_EQ(unstable.GetRecord(), &Ormidtest::koblVersions.versions[1]);
   EXPECT_EQ(unstable.GetStage(), StageUnstable);
   using Versions = std::vector<const Version*>;
   EXPECT_EQ(unstable.GetParents(), (Versions{&V("v3"), &V("featureA"), &V("featureB")}));
   EXPECT_EQ(V("disabled").GetParents().size(), 1u);
   // A version of another namespace keeps the record of its own namespace.
   EXPECT_EQ(V("kobl.version.version0").GetNamespace(), VersionCatalogue::Get().FindNamespace("kobl"));

   const NamespaceInfo* ns = VersionCatalogue::Get().FindNamespace("ormidtest");
   ASSERT_NE(ns, nullptr);
   EXPECT_EQ(unstable.GetNamespace(), ns);
   EXPECT_EQ(Ormidtest::koblNamespaceId, ns->id);
   EXPECT_GE(ns->id, 3); // after the runtime's three namespaces
   // Official: the released versions in record order (newest first), then null. Internal: unstable, then
   // the released versions. Current: the newest release.
   EXPECT_EQ(Versions(Ormidtest::officialVersions, Ormidtest::officialVersions + 4),
             (Versions{&V("v3"), &V("v2"), &V("v1"), nullptr}));
   EXPECT_EQ(Versions(Ormidtest::internalVersions, Ormidtest::internalVersions + 4),
             (Versions{&unstable, &V("v3"), &V("v2"), &V("v1")}));
   EXPECT_EQ(Ormidtest::GetRcVersion(), &V("v3"));
   EXPECT_EQ(ns->current, &V("v3"));
   ASSERT_EQ(ns->versions.size(), 7u);
   EXPECT_EQ(ns->versions[0], &V("disabled"));

   // A second loader of the same namespace registers types only; the slots keep their values.
   const int32_t id = Ormidtest::koblNamespaceId;
   TypeInfoLoader again(&Ormidtest::koblVersions,
                        [](int& count) -> Type* const* { return count = 0, nullptr; });
   EXPECT_EQ(Ormidtest::koblNamespaceId, id);
   EXPECT_EQ(VersionCatalogue::Get().FindNamespace("ormidtest"), ns);
}

namespace {

VersionRecord Release(const char* name) {
   return VersionRecord{name, "x", "1", nullptr, nullptr, nullptr, StageReleased, 0};
}

std::string Refusal(const KoblVersions& record) {
   try {
      VersionCatalogue::Get().RegisterNamespace(&record);
   } catch (const Pellum::Exception& e) {
      return e.what();
   }
   return "registered";
}

} // namespace

TEST(Versions, RefusedCataloguesLeaveNothingBehind) {
   const VersionRecord aThenB[] = {Release("vt.a"), Release("vt.b")};
   const VersionParent cycle[] = {{"vt.a", "vt.b"}, {"vt.b", "vt.a"}};
   const VersionParent foreign[] = {{"ormidtest.version.v1", "vt.a"}};
   const VersionRecord taken[] = {Release("ormidtest.version.v2")};
   const VersionRecord twice[] = {Release("vt.c"), Release("vt.c")};
   const VersionRecord tooMany[] = {Release("vt.d"), Release("vt.e")};
   const Version* oneSlot[1];
   const struct {
      KoblVersions record;
      const char* refusal;
   } rows[] = {
       {QTest::Catalogue("vt.cycle", aThenB, 2, cycle, 2),
        "the parent pairs form a cycle through version vt.a"},
       {QTest::Catalogue("vt.foreign", aThenB, 2, foreign, 1),
        "parent pair 0 names version ormidtest.version.v1, which is not one of the namespace's versions"},
       {QTest::Catalogue("vt.taken", taken, 1, nullptr, 0),
        "version ormidtest.version.v2 is declared twice (also by namespace ormidtest)"},
       {QTest::Catalogue("vt.twice", twice, 2, nullptr, 0), "version vt.c is declared twice"},
       {QTest::Catalogue("vt.slots", tooMany, 2, nullptr, 0, nullptr, oneSlot, nullptr, nullptr, 1),
        "2 released versions do not fit 1 official version slots"},
       {QTest::Catalogue("vt.missing", nullptr, 3, nullptr, 0),
        "a count is not zero but its array is missing"},
   };
   for (const auto& row : rows) {
      EXPECT_EQ(Refusal(row.record),
                "version catalogue of namespace " + std::string(row.record.name) + ": " + row.refusal);
      EXPECT_EQ(VersionCatalogue::Get().FindNamespace(row.record.name), nullptr) << row.record.name;
   }
   EXPECT_EQ(Refusal(QTest::Catalogue("ormidtest", aThenB, 2, nullptr, 0)),
             "namespace ormidtest is already registered with another version catalogue");
   for (const char* name : {"vt.a", "vt.b", "vt.c", "vt.d"}) {
      EXPECT_EQ(VersionCatalogue::Get().FindVersion(name), nullptr) << name;
   }
}

TEST(Versions, ParentKnownByNameGetsItsRecordWhenItsNamespaceRegisters) {
   // vt.user.v1 names vt.dep.v1 before namespace vt.dep exists; vt.dep.v1 extends vt.dep.v0.
   static const VersionRecord user[] = {Release("vt.user.v1")};
   static const VersionParent userParents[] = {{"vt.user.v1", "vt.dep.v1"}};
   static const VersionRecord dep[] = {Release("vt.dep.v1"), Release("vt.dep.v0")};
   static const VersionParent depParents[] = {{"vt.dep.v1", "vt.dep.v0"}};
   static const KoblVersions userNs = QTest::Catalogue("vt.user", user, 1, userParents, 1);
   static const KoblVersions depNs = QTest::Catalogue("vt.dep", dep, 2, depParents, 1);

   VersionCatalogue& c = VersionCatalogue::Get();
   c.RegisterNamespace(&userNs);
   const Version* depV1 = c.FindVersion("vt.dep.v1");
   ASSERT_NE(depV1, nullptr);
   EXPECT_EQ(depV1->GetRecord(), nullptr);
   EXPECT_EQ(depV1->GetNamespace(), nullptr);
   EXPECT_EQ(c.FindVersion("vt.dep.v0"), nullptr);

   c.RegisterNamespace(&depNs);
   EXPECT_EQ(c.FindVersion("vt.dep.v1"), depV1); // the same object, now with its record
   EXPECT_EQ(depV1->GetRecord(), &dep[0]);
   EXPECT_TRUE(c.IsPartOf("vt.dep.v0", "vt.user.v1"));                 // through the newly known pair
   EXPECT_EQ(&c.RegisterNamespace(&depNs), c.FindNamespace("vt.dep")); // the same record again: no-op
}
