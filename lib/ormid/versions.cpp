// The version catalogue.
//
// The mutable state (records attached to versions, parent lists, closures, name index, namespaces) lives
// in an immutable snapshot. Registration builds a new snapshot under the writer mutex and publishes it
// with one atomic store; readers load the current snapshot and never lock. Snapshots are kept for the
// process (there is one per registered namespace), so a reader may keep using the one it loaded.

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ormid/Versions.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"

namespace Ormid {

namespace {

struct Node {
   const VersionRecord* record = nullptr;
   const NamespaceInfo* ns = nullptr;
   std::vector<const Version*> parents;
   std::vector<uint64_t> closure; // bit i set: this version includes version i
};

struct Snapshot {
   std::vector<Node> nodes; // by version index
   std::unordered_map<std::string_view, const Version*> byName;
   std::vector<const NamespaceInfo*> namespaces;
};

struct CatalogueState {
   std::mutex writer;
   std::atomic<const Snapshot*> current{nullptr};
   std::vector<std::unique_ptr<Snapshot>> snapshots;
   std::deque<std::unique_ptr<Version>> versions;
   std::deque<std::unique_ptr<NamespaceInfo>> namespaces;
};

// Never destroyed: version objects are pointed to from the slots of type libraries.
CatalogueState& State() {
   static CatalogueState* state = new CatalogueState();
   return *state;
}

const Snapshot* Current() noexcept {
   return State().current.load(std::memory_order_acquire);
}

const Node* NodeOf(const Snapshot* snapshot, const Version& v) noexcept {
   if (snapshot == nullptr || v.GetIndex() >= snapshot->nodes.size()) {
      return nullptr;
   }
   return &snapshot->nodes[v.GetIndex()];
}

// Depth-first closure over the parent lists. Answers false, with `cycleAt` set, on a cycle.
bool Close(Snapshot& s, std::size_t i, std::vector<uint8_t>& marks, std::size_t words, std::size_t& cycleAt) {
   if (marks[i] == 2) {
      return true;
   }
   if (marks[i] == 1) {
      cycleAt = i;
      return false;
   }
   marks[i] = 1;
   Node& node = s.nodes[i];
   node.closure.assign(words, 0);
   node.closure[i / 64] |= uint64_t{1} << (i % 64);
   for (const Version* parent : node.parents) {
      const std::size_t p = parent->GetIndex();
      if (!Close(s, p, marks, words, cycleAt)) {
         return false;
      }
      const std::vector<uint64_t>& pc = s.nodes[p].closure;
      for (std::size_t w = 0; w < words; ++w) {
         node.closure[w] |= pc[w];
      }
   }
   marks[i] = 2;
   return true;
}

[[noreturn]] void Fail(const char* ns, const std::string& what) {
   throw Pellum::Exception(Pellum::ASPrint("version catalogue of namespace %1: %2", ns, what));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Version

const VersionRecord* Version::GetRecord() const noexcept {
   const Node* node = NodeOf(Current(), *this);
   return node != nullptr ? node->record : nullptr;
}

const NamespaceInfo* Version::GetNamespace() const noexcept {
   const Node* node = NodeOf(Current(), *this);
   return node != nullptr ? node->ns : nullptr;
}

VersionStage Version::GetStage() const noexcept {
   const VersionRecord* record = GetRecord();
   return record != nullptr ? static_cast<VersionStage>(record->stage) : StageReleased;
}

std::vector<const Version*> Version::GetParents() const {
   const Node* node = NodeOf(Current(), *this);
   return node != nullptr ? node->parents : std::vector<const Version*>();
}

bool Version::Includes(const Version& tagged) const noexcept {
   if (&tagged == this) {
      return true;
   }
   const Snapshot* snapshot = Current();
   const Node* node = NodeOf(snapshot, *this);
   const std::size_t t = tagged.GetIndex();
   if (node == nullptr || t >= snapshot->nodes.size()) {
      return false;
   }
   return (node->closure[t / 64] >> (t % 64) & 1) != 0;
}

// ---------------------------------------------------------------------------------------------------------
// VersionCatalogue

VersionCatalogue& VersionCatalogue::Get() {
   static VersionCatalogue catalogue;
   return catalogue;
}

const Version* VersionCatalogue::FindVersion(std::string_view name) const noexcept {
   const Snapshot* s = Current();
   if (s == nullptr) {
      return nullptr;
   }
   auto it = s->byName.find(name);
   return it != s->byName.end() ? it->second : nullptr;
}

const Version& VersionCatalogue::GetVersion(std::string_view name) const {
   const Version* v = FindVersion(name);
   if (v == nullptr) {
      throw Pellum::Exception(Pellum::ASPrint("unknown version %1", name));
   }
   return *v;
}

bool VersionCatalogue::IsPartOf(std::string_view tagged, std::string_view version) const {
   return GetVersion(version).Includes(GetVersion(tagged));
}

std::vector<const Version*> VersionCatalogue::GetVersions() const {
   std::vector<const Version*> result;
   if (const Snapshot* s = Current()) {
      result.resize(s->nodes.size());
      for (const auto& [name, v] : s->byName) {
         result[v->GetIndex()] = v;
      }
   }
   return result;
}

std::vector<const NamespaceInfo*> VersionCatalogue::GetNamespaces() const {
   const Snapshot* s = Current();
   return s != nullptr ? s->namespaces : std::vector<const NamespaceInfo*>();
}

const NamespaceInfo* VersionCatalogue::FindNamespace(std::string_view name) const noexcept {
   const Snapshot* s = Current();
   if (s == nullptr) {
      return nullptr;
   }
   for (const NamespaceInfo* ns : s->namespaces) {
      if (ns->name == name) {
         return ns;
      }
   }
   return nullptr;
}

const NamespaceInfo& VersionCatalogue::RegisterNamespace(const KoblVersions* record) {
   if (record == nullptr || record->name == nullptr || record->name[0] == '\0') {
      throw Pellum::Exception("a version catalogue without a namespace name");
   }
   CatalogueState& state = State();
   std::lock_guard lock(state.writer);
   const Snapshot* old = state.current.load(std::memory_order_relaxed);
   const char* nsName = record->name;
   if (old != nullptr) {
      for (const NamespaceInfo* ns : old->namespaces) {
         if (ns->name == nsName) {
            if (ns->record == record) {
               return *ns;
            }
            throw Pellum::Exception(
                Pellum::ASPrint("namespace %1 is already registered with another version catalogue", nsName));
         }
      }
   }
   auto fail = [nsName](const std::string& what) { Fail(nsName, what); };
   if ((record->versionCount > 0 && record->versions == nullptr) ||
       (record->parentCount > 0 && record->parents == nullptr) ||
       (record->dependencyCount > 0 && record->dependencies == nullptr) ||
       (record->productCount > 0 && record->products == nullptr)) {
      fail("a count is not zero but its array is missing");
   }

   auto snapshot = old != nullptr ? std::make_unique<Snapshot>(*old) : std::make_unique<Snapshot>();
   auto info = std::make_unique<NamespaceInfo>();
   info->name = nsName;
   info->record = record;
   std::vector<std::unique_ptr<Version>> created;
   auto findOrCreate = [&](const char* name) -> const Version* {
      auto it = snapshot->byName.find(name);
      if (it != snapshot->byName.end()) {
         return it->second;
      }
      created.push_back(
          std::unique_ptr<Version>(new Version(name, static_cast<uint32_t>(snapshot->nodes.size()))));
      const Version* v = created.back().get();
      snapshot->nodes.emplace_back();
      snapshot->byName.emplace(v->GetName(), v);
      return v;
   };

   for (uint32_t i = 0; i < record->versionCount; ++i) {
      const VersionRecord& vr = record->versions[i];
      if (vr.name == nullptr || vr.name[0] == '\0') {
         fail(Pellum::ASPrint("version record %1 has no name", i));
      }
      const Version* v = findOrCreate(vr.name);
      Node& node = snapshot->nodes[v->GetIndex()];
      if (node.record != nullptr) {
         fail(Pellum::ASPrint("version %1 is declared twice%2", vr.name,
                              node.ns != nullptr && node.ns != info.get()
                                  ? " (also by namespace " + node.ns->name + ")"
                                  : std::string()));
      }
      node.record = &vr;
      node.ns = info.get();
      info->versions.push_back(v);
   }
   for (uint32_t i = 0; i < record->parentCount; ++i) {
      const VersionParent& pair = record->parents[i];
      if (pair.version == nullptr || pair.parent == nullptr) {
         fail(Pellum::ASPrint("parent pair %1 has a null name", i));
      }
      auto it = snapshot->byName.find(pair.version);
      if (it == snapshot->byName.end() || snapshot->nodes[it->second->GetIndex()].ns != info.get()) {
         fail(Pellum::ASPrint("parent pair %1 names version %2, which is not one of the namespace's versions",
                              i, pair.version));
      }
      const Version* child = it->second;
      const Version* parent = findOrCreate(pair.parent);
      std::vector<const Version*>& parents = snapshot->nodes[child->GetIndex()].parents;
      bool known = false;
      for (const Version* p : parents) {
         known = known || p == parent;
      }
      if (!known) {
         parents.push_back(parent);
      }
   }

   // Closures of every version (a registration may attach records and parents to versions that other
   // namespaces named before, so all closures are recomputed; there are a few hundred versions at most).
   const std::size_t n = snapshot->nodes.size();
   const std::size_t words = (n + 63) / 64;
   std::vector<uint8_t> marks(n, 0);
   for (std::size_t i = 0; i < n; ++i) {
      std::size_t cycleAt = 0;
      if (!Close(*snapshot, i, marks, words, cycleAt)) {
         for (const auto& [name, v] : snapshot->byName) {
            if (v->GetIndex() == cycleAt) {
               fail(Pellum::ASPrint("the parent pairs form a cycle through version %1", name));
            }
         }
      }
   }

   // Slots.
   std::vector<const Version*> released;
   const Version* unstable = nullptr;
   for (uint32_t i = 0; i < record->versionCount; ++i) {
      if (record->versions[i].stage == StageReleased) {
         released.push_back(info->versions[i]);
      } else if (record->versions[i].stage == StageUnstable && unstable == nullptr) {
         unstable = info->versions[i];
      }
   }
   const std::size_t slots = record->versionSlotCount;
   if (record->officialVersions != nullptr && released.size() > slots) {
      fail(Pellum::ASPrint("%1 released versions do not fit %2 official version slots", released.size(),
                           slots));
   }
   const std::size_t internalCount = released.size() + (unstable != nullptr ? 1 : 0);
   if (record->internalVersions != nullptr && internalCount > slots) {
      fail(
          Pellum::ASPrint("%1 internal versions do not fit %2 internal version slots", internalCount, slots));
   }

   // Commit: nothing below throws except allocation.
   info->id = static_cast<int32_t>(snapshot->namespaces.size());
   info->current = released.empty() ? nullptr : released.front();
   snapshot->namespaces.push_back(info.get());
   if (record->namespaceId != nullptr) {
      *record->namespaceId = info->id;
   }
   if (record->officialVersions != nullptr) {
      for (std::size_t i = 0; i < slots; ++i) {
         record->officialVersions[i] = i < released.size() ? released[i] : nullptr;
      }
   }
   if (record->internalVersions != nullptr) {
      std::size_t k = 0;
      if (unstable != nullptr) {
         record->internalVersions[k++] = unstable;
      }
      for (const Version* v : released) {
         record->internalVersions[k++] = v;
      }
      while (k < slots) {
         record->internalVersions[k++] = nullptr;
      }
   }
   if (record->currentVersion != nullptr) {
      *record->currentVersion = info->current;
   }
   for (auto& v : created) {
      state.versions.push_back(std::move(v));
   }
   const NamespaceInfo& result = *info;
   state.namespaces.push_back(std::move(info));
   state.current.store(snapshot.get(), std::memory_order_release);
   state.snapshots.push_back(std::move(snapshot));
   return result;
}

} // namespace Ormid
