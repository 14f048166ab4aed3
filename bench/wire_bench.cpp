// The wire codec (libquorl-wire, docs/wire.md) on two kinds of document:
//   tree:   the value tree of value_tree.h (192 values) as a value on its own, in XML and in JSON;
//   events: one large message, the response of quorl.event.EventHistoryCollector.readNext
//           (ReadNextEvents) carrying 20,000 quorl.event.Event data objects (six plain properties each,
//           no nested objects) in XML; the same array as a value on its own in JSON.
// Encoding and decoding are timed per document and reported in bytes of document per second. The raw
// speed of expat on the same XML (a parser with namespace processing, as the codec creates it, and empty
// handlers) is the floor of XML decoding; building the same values directly is the floor of what the
// decoder allocates and constructs.
//
// Every benchmark checks before timing that the document decodes to a value equal to the one encoded (the
// response: to the same method's result) and reports an error instead of a figure otherwise.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <string>
#include <string_view>

#include "ormid/Any.h"
#include "ormid/ManagedType.h"
#include "ormid/Registry.h"
#include "quorl/event/Event.h"
#include "support/alloc_counter.h"
#include "value_tree.h"
#include "wire/Codec.h"

namespace {

using Ormid::Any;
using Pellum::Ref;
using Pellum::System::DateTime;
using QuorlBench::Tree;

constexpr int kEvents = 20'000;

enum class Format { Xml, Json };
enum class Doc { Tree, Events };

Ref<Ormid::DataArrayBase> BuildEvents() {
   Ref<Ormid::DataArrayBase> events = Ormid::GetDoType<Quorl::Event::Event>()->CreateArray();
   events->Reserve(kEvents);
   for (int i = 0; i < kEvents; ++i) {
      Ref<Quorl::Event::Event> e(new Quorl::Event::Event());
      e->key = 7'300'000 + i;
      e->chainId = 7'300'000 + i - i % 4;
      e->createdTime = DateTime::FromUtcTime(QuorlBench::kBaseTime + i * 1'234'567L);
      e->userName = "QUORL\\svc-backup";
      e->fullFormattedMessage.Set("Task: Power On virtual machine web-frontend-" + std::to_string(i % 100) +
                                  " in dc-east completed");
      e->changeTag.Set("ct-" + std::to_string(i));
      events->AppendAny(e.GetPtr());
   }
   return events;
}

const Ormid::ManagedMethod* ReadNextEvents() {
   auto* collector =
       dynamic_cast<Ormid::ManagedObjectType*>(Ormid::TypeRegistry::Get().FindByName("quorl.event.EventHistoryCollector"));
   return collector != nullptr ? collector->FindMethodByWsdlName("ReadNextEvents") : nullptr;
}

// The values and their documents, made once.
struct Documents {
   Ref<Tree> tree = QuorlBench::BuildTree();
   Ref<Ormid::DataArrayBase> events = BuildEvents();
   const Ormid::ManagedMethod* readNext = ReadNextEvents();
   std::string treeXml, treeJson, eventsXml, eventsJson;
   std::string error; // what is wrong with them, if anything

   Documents() {
      try {
         if (readNext == nullptr) {
            error = "no method ReadNextEvents of quorl.event.EventHistoryCollector";
            return;
         }
         treeXml = Wire::EncodeXml(tree.GetPtr());
         treeJson = Wire::EncodeJson(tree.GetPtr());
         eventsXml = Wire::EncodeResponse(*readNext, events.GetPtr());
         eventsJson = Wire::EncodeJson(events.GetPtr());
         Check("tree (XML)", tree.GetPtr(), Wire::DecodeXml(treeXml).GetPtr());
         Check("tree (JSON)", tree.GetPtr(), Wire::DecodeJson(treeJson).GetPtr());
         Check("events (XML)", events.GetPtr(), Wire::DecodeResponse(eventsXml, *readNext).result.GetPtr());
         Check("events (JSON)", events.GetPtr(), Wire::DecodeJson(eventsJson).GetPtr());
      } catch (const std::exception& e) {
         error = e.what();
      }
   }

   void Check(const char* what, const Any* sent, const Any* received) {
      if (error.empty() && !Ormid::AreEqual(sent, received)) {
         error = std::string(what) + " does not decode to the value encoded:\n" +
                 Ormid::DiffProperties(sent, received).ToString();
      }
   }

   const std::string& Text(Doc doc, Format format) const {
      if (doc == Doc::Tree) {
         return format == Format::Xml ? treeXml : treeJson;
      }
      return format == Format::Xml ? eventsXml : eventsJson;
   }
};

const Documents& Docs() {
   static const Documents docs;
   return docs;
}

bool Ready(benchmark::State& state) {
   if (!Docs().error.empty()) {
      state.SkipWithError(Docs().error.c_str());
      return false;
   }
   return true;
}

// Bytes of document per second, and operator new calls per document.
void Report(benchmark::State& state, std::size_t bytes, long allocations) {
   state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
   state.counters["bytes"] = static_cast<double>(bytes);
   state.counters["allocs"] =
       benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_Encode(benchmark::State& state, Doc doc, Format format) {
   if (!Ready(state)) {
      return;
   }
   const Documents& d = Docs();
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      std::string text;
      if (doc == Doc::Tree) {
         text = format == Format::Xml ? Wire::EncodeXml(d.tree.GetPtr()) : Wire::EncodeJson(d.tree.GetPtr());
      } else {
         text = format == Format::Xml ? Wire::EncodeResponse(*d.readNext, d.events.GetPtr())
                                      : Wire::EncodeJson(d.events.GetPtr());
      }
      benchmark::DoNotOptimize(text.data());
   }
   Report(state, d.Text(doc, format).size(), QuorlBench::Allocations() - before);
}
BENCHMARK_CAPTURE(BM_Encode, tree_xml, Doc::Tree, Format::Xml)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Encode, tree_json, Doc::Tree, Format::Json)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Encode, events_xml, Doc::Events, Format::Xml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, events_json, Doc::Events, Format::Json)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state, Doc doc, Format format) {
   if (!Ready(state)) {
      return;
   }
   const Documents& d = Docs();
   const std::string& text = d.Text(doc, format);
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      Ref<Any> value;
      if (format == Format::Json) {
         value = Wire::DecodeJson(text);
      } else if (doc == Doc::Tree) {
         value = Wire::DecodeXml(text);
      } else {
         value = Wire::DecodeResponse(text, *d.readNext).result;
      }
      benchmark::DoNotOptimize(value.GetPtr());
   }
   Report(state, text.size(), QuorlBench::Allocations() - before);
}
BENCHMARK_CAPTURE(BM_Decode, tree_xml, Doc::Tree, Format::Xml)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Decode, tree_json, Doc::Tree, Format::Json)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Decode, events_xml, Doc::Events, Format::Xml)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, events_json, Doc::Events, Format::Json)->Unit(benchmark::kMillisecond);

// expat alone on the same XML: a parser created per document with namespace processing on, as the codec
// creates it, and handlers for elements and text that do nothing.
void XMLCALL OnStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL OnEnd(void*, const XML_Char*) {}
void XMLCALL OnText(void*, const XML_Char*, int) {}

bool ParseWithExpat(const std::string& text) {
   XML_Parser parser = XML_ParserCreateNS("UTF-8", ' ');
   XML_SetElementHandler(parser, OnStart, OnEnd);
   XML_SetCharacterDataHandler(parser, OnText);
   const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
   XML_ParserFree(parser);
   return ok;
}

void BM_ExpatParse(benchmark::State& state, Doc doc) {
   if (!Ready(state)) {
      return;
   }
   const std::string& text = Docs().Text(doc, Format::Xml);
   if (!ParseWithExpat(text)) {
      state.SkipWithError("expat refuses the document");
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(ParseWithExpat(text));
   }
   Report(state, text.size(), 0);
}
BENCHMARK_CAPTURE(BM_ExpatParse, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExpatParse, events, Doc::Events)->Unit(benchmark::kMillisecond);

// Building the same values directly and releasing them: what the decoder's result costs to construct,
// with no parsing or lookups.
void BM_BuildValues(benchmark::State& state, Doc doc) {
   if (!Ready(state)) {
      return;
   }
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      Ref<Any> value = doc == Doc::Tree ? Ref<Any>(QuorlBench::BuildTree().GetPtr()) : Ref<Any>(BuildEvents().GetPtr());
      benchmark::DoNotOptimize(value.GetPtr());
   }
   state.counters["allocs"] = benchmark::Counter(static_cast<double>(QuorlBench::Allocations() - before) /
                                                 static_cast<double>(state.iterations()));
}
BENCHMARK_CAPTURE(BM_BuildValues, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BuildValues, events, Doc::Events)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
