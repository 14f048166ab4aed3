// The version catalogue: every API version of every registered namespace and which version extends which.
//
// A namespace registers its catalogue (KoblVersions, Records.h) with the first TypeInfoLoader that names
// it. From the record the runtime builds one Ormid::Version per version record and per parent named by a
// parent pair but not listed (a version of a dependency namespace, known by name only until its own
// namespace registers; its record is attached then). A parent pair (V, P) states that V extends P.
//
// Queries: a type, property or method tagged with version X is part of version V when V is X or extends X
// directly or through other versions (Version::Includes, VersionCatalogue::IsPartOf). The transitive
// closure is computed once per namespace registration into bit sets, so a query is a constant-time bit
// test; the graph is published as an immutable snapshot, so lookups and queries take no lock and may run
// on any thread, also while another namespace registers. Nothing is ever removed.
//
// Namespace slots, filled when the namespace first registers:
//   *namespaceId       a small id in registration order: the runtime's own namespaces come first
//                      ("kobl" 0, "kobl.query" 1, "kobl.reflect" 2), the next namespace gets 3 ...
//   officialVersions   the released versions (stage 0) in record order (newest first), then null
//   internalVersions   "unstable" (the version of stage 3, when there is one), then the released versions
//                      in record order, then null
//   *currentVersion    the newest released version: the first stage-0 record (null when none)
// Each version-slot array has versionSlotCount slots; a catalogue whose versions do not fit is refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ormid/Export.h"
#include "ormid/Records.h"

namespace Ormid {

struct NamespaceInfo;

class ORMID_API Version {
public:
   Version(const Version&) = delete;
   Version& operator=(const Version&) = delete;

   const char* GetName() const noexcept { return _name.c_str(); }
   // The version's record; null while the version is known only as the parent of another namespace's
   // version.
   const VersionRecord* GetRecord() const noexcept;
   // The namespace whose catalogue lists the version; null while it is known only as a parent.
   const NamespaceInfo* GetNamespace() const noexcept;
   // The record's stage; StageReleased for a version known only as a parent.
   VersionStage GetStage() const noexcept;
   // The versions this one extends directly, in parent-pair order.
   std::vector<const Version*> GetParents() const;
   // True when this version is `tagged` or extends it, directly or transitively: whatever is tagged with
   // `tagged` is part of this version.
   bool Includes(const Version& tagged) const noexcept;
   // True when whatever is tagged with this version is part of `version`.
   bool IsPartOf(const Version& version) const noexcept { return version.Includes(*this); }
   // Position in the catalogue (registration order); stable for the process.
   uint32_t GetIndex() const noexcept { return _index; }
   std::string ToString() const { return _name; }

private:
   friend class VersionCatalogue;
   Version(std::string name, uint32_t index) : _name(std::move(name)), _index(index) {}

   const std::string _name;
   const uint32_t _index;
};

// A registered namespace.
struct NamespaceInfo {
   std::string name;
   int32_t id = -1;
   const KoblVersions* record = nullptr;
   std::vector<const Version*> versions; // record order
   const Version* current = nullptr;     // newest released version, or null
};

class ORMID_API VersionCatalogue {
public:
   static VersionCatalogue& Get();

   // A version by name (also one known only as a parent); null when unknown.
   const Version* FindVersion(std::string_view name) const noexcept;
   // The same, raising Pellum::Exception "unknown version <name>" when unknown.
   const Version& GetVersion(std::string_view name) const;
   // True when something tagged `tagged` is part of `version` (see Version::Includes). Raises
   // Pellum::Exception naming the version when either name is unknown.
   bool IsPartOf(std::string_view tagged, std::string_view version) const;
   // Every version, in catalogue order.
   std::vector<const Version*> GetVersions() const;

   // Registered namespaces, in registration order, and one by name (null when unknown).
   std::vector<const NamespaceInfo*> GetNamespaces() const;
   const NamespaceInfo* FindNamespace(std::string_view name) const noexcept;

   // Registers the namespace of `record` and fills its slots (see the top of this header); called by the
   // type registry for the first TypeInfoLoader of a namespace. Registering the same record again answers
   // the existing namespace; another record with the name of a registered namespace, a record without a
   // name, inconsistent counts, a parent pair whose version is not one of the record's versions, a
   // version declared twice, a cycle of parent pairs or versions that do not fit the slots raise
   // Pellum::Exception naming the namespace, and nothing is registered.
   const NamespaceInfo& RegisterNamespace(const KoblVersions* record);

private:
   VersionCatalogue() = default;
};

} // namespace Ormid
