// The wire codec (libquorl-wire, docs/wire.md) on two kinds of document:
//   tree:   the value tree of value_tree.h (192 values) as a value on its own, in XML and in JSON;
//   events: one large message, the response of quorl.event.EventHistoryCollector.readNext
//           (ReadNextEvents) carrying 20,000 quorl.event.Event data objects (six plain properties each,
//           no nested objects) in XML; the same array as a value on its own in JSON. Also with 2,000
//           events, to show how the cost per event grows with the message.
// Encoding and decoding are timed per document and reported in bytes of document per second. The raw
// speed of expat on the same XML (a parser with namespace processing, as the codec creates it, and empty
// handlers) is the floor of XML decoding; building the same values directly is the floor of what the
// decoder allocates and constructs.
//
// Every benchmark checks before timing that the document decodes to a value equal to the one encoded (the
// response: to the same method's result) and reports an error instead of a figure otherwise.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

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

constexpr int kEvents = 20'000;

enum class Format { Xml, Json };
enum class Doc { Tree, Events };

Ref<Ormid::DataArrayBase> BuildEvents(int count) {
   Ref<Ormid::DataArrayBase> events = Ormid::GetDoType<Quorl::Event::Event>()->CreateArray();
   events->Reserve(static_cast<std::size_t>(count));
   for (int i = 0; i < count; ++i) {
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
   auto* collector = dynamic_cast<Ormid::ManagedObjectType*>(
       Ormid::TypeRegistry::Get().FindByName("quorl.event.EventHistoryCollector"));
   return collector != nullptr ? collector->FindMethodByWsdlName("ReadNextEvents") : nullptr;
}

// A value and its documents, made and checked once, on first use.
struct Documents {
   Ref<Any> value;
   const Ormid::ManagedMethod* readNext = nullptr; // events: the method whose response carries them
   std::string xml, json;
   std::string error; // what is wrong with them, if anything

   Documents(Doc doc, int events) {
      try {
         if (doc == Doc::Tree) {
            value = QuorlBench::BuildTree().GetPtr();
            xml = Wire::EncodeXml(value.GetPtr());
            Check("the tree (XML)", Wire::DecodeXml(xml).GetPtr());
         } else {
            value = BuildEvents(events).GetPtr();
            readNext = ReadNextEvents();
            if (readNext == nullptr) {
               error = "no method ReadNextEvents of quorl.event.EventHistoryCollector";
               return;
            }
            xml = Wire::EncodeResponse(*readNext, value.GetPtr());
            Check("the events (XML)", Wire::DecodeResponse(xml, *readNext).result.GetPtr());
         }
         json = Wire::EncodeJson(value.GetPtr());
         Check(doc == Doc::Tree ? "the tree (JSON)" : "the events (JSON)", Wire::DecodeJson(json).GetPtr());
      } catch (const std::exception& e) {
         error = e.what();
      }
   }

   void Check(const char* what, const Any* received) {
      if (error.empty() && !Ormid::AreEqual(value.GetPtr(), received)) {
         error = std::string(what) + " does not decode to the value encoded:\n" +
                 Ormid::DiffProperties(value.GetPtr(), received).ToString();
      }
   }

   const std::string& Text(Format format) const { return format == Format::Xml ? xml : json; }
};

// The documents of the tree, or of `state.range(0)` events.
const Documents& Docs(const benchmark::State& state, Doc doc) {
   static std::map<std::pair<Doc, int>, std::unique_ptr<Documents>> made;
   const int events = doc == Doc::Events ? static_cast<int>(state.range(0)) : 0;
   std::unique_ptr<Documents>& d = made[{doc, events}];
   if (!d) {
      d = std::make_unique<Documents>(doc, events);
   }
   return *d;
}

// The documents, or null (the benchmark skipped with the reason).
const Documents* Ready(benchmark::State& state, Doc doc) {
   const Documents& d = Docs(state, doc);
   if (!d.error.empty()) {
      state.SkipWithError(d.error.c_str());
      return nullptr;
   }
   return &d;
}

// Bytes of document per second, and operator new calls per document.
void Report(benchmark::State& state, std::size_t bytes, long allocations) {
   state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
   state.counters["bytes"] = static_cast<double>(bytes);
   state.counters["allocs"] =
       benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

void BM_Encode(benchmark::State& state, Doc doc, Format format) {
   const Documents* d = Ready(state, doc);
   if (d == nullptr) {
      return;
   }
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      std::string text;
      if (format == Format::Json) {
         text = Wire::EncodeJson(d->value.GetPtr());
      } else if (doc == Doc::Tree) {
         text = Wire::EncodeXml(d->value.GetPtr());
      } else {
         text = Wire::EncodeResponse(*d->readNext, d->value.GetPtr());
      }
      benchmark::DoNotOptimize(text.data());
   }
   Report(state, d->Text(format).size(), QuorlBench::Allocations() - before);
}
BENCHMARK_CAPTURE(BM_Encode, tree_xml, Doc::Tree, Format::Xml)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Encode, tree_json, Doc::Tree, Format::Json)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Encode, events_xml, Doc::Events, Format::Xml)
    ->Arg(2000)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, events_json, Doc::Events, Format::Json)
    ->Arg(2000)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state, Doc doc, Format format) {
   const Documents* d = Ready(state, doc);
   if (d == nullptr) {
      return;
   }
   const std::string& text = d->Text(format);
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      Ref<Any> value;
      if (format == Format::Json) {
         value = Wire::DecodeJson(text);
      } else if (doc == Doc::Tree) {
         value = Wire::DecodeXml(text);
      } else {
         value = Wire::DecodeResponse(text, *d->readNext).result;
      }
      benchmark::DoNotOptimize(value.GetPtr());
   }
   Report(state, text.size(), QuorlBench::Allocations() - before);
}
BENCHMARK_CAPTURE(BM_Decode, tree_xml, Doc::Tree, Format::Xml)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Decode, tree_json, Doc::Tree, Format::Json)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Decode, events_xml, Doc::Events, Format::Xml)
    ->Arg(2000)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, events_json, Doc::Events, Format::Json)
    ->Arg(2000)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);

// expat alone on the same XML, with handlers for elements and text that do nothing:
//   BM_ExpatParse:             a parser created per document with namespace processing on, as the codec
//                              creates it (the figure decoding is compared with);
//   BM_ExpatParseNoNamespaces: the same without namespace processing (XML_ParserCreate);
//   BM_ExpatParseReused:       one parser with namespace processing for all documents, reset before each
//                              (XML_ParserReset) and given a hash salt, so that neither its allocations
//                              nor the salt's random bytes are paid per document.
enum class Parser { AsTheCodec, NoNamespaces, Reused };

void XMLCALL OnStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL OnEnd(void*, const XML_Char*) {}
void XMLCALL OnText(void*, const XML_Char*, int) {}

class ExpatRun {
public:
   explicit ExpatRun(Parser kind) : _kind(kind) {
      if (_kind == Parser::Reused) {
         _parser = XML_ParserCreateNS("UTF-8", ' ');
      }
   }
   ExpatRun(const ExpatRun&) = delete;
   ExpatRun& operator=(const ExpatRun&) = delete;
   ~ExpatRun() {
      if (_parser != nullptr) {
         XML_ParserFree(_parser);
      }
   }

   bool Parse(const std::string& text) {
      XML_Parser parser = _parser;
      if (_kind == Parser::Reused) {
         XML_ParserReset(parser, "UTF-8");
         XML_SetHashSalt(parser, 0x5eed);
      } else {
         parser =
             _kind == Parser::NoNamespaces ? XML_ParserCreate("UTF-8") : XML_ParserCreateNS("UTF-8", ' ');
      }
      XML_SetElementHandler(parser, OnStart, OnEnd);
      XML_SetCharacterDataHandler(parser, OnText);
      const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
      if (_kind != Parser::Reused) {
         XML_ParserFree(parser);
      }
      return ok;
   }

private:
   Parser _kind;
   XML_Parser _parser = nullptr;
};

void ExpatParse(benchmark::State& state, Doc doc, Parser kind) {
   const Documents* d = Ready(state, doc);
   if (d == nullptr) {
      return;
   }
   const std::string& text = d->xml;
   ExpatRun run(kind);
   if (!run.Parse(text)) {
      state.SkipWithError("expat refuses the document");
      return;
   }
   for (auto _ : state) {
      benchmark::DoNotOptimize(run.Parse(text));
   }
   Report(state, text.size(), 0);
}

void BM_ExpatParse(benchmark::State& state, Doc doc) {
   ExpatParse(state, doc, Parser::AsTheCodec);
}
void BM_ExpatParseNoNamespaces(benchmark::State& state, Doc doc) {
   ExpatParse(state, doc, Parser::NoNamespaces);
}
void BM_ExpatParseReused(benchmark::State& state, Doc doc) {
   ExpatParse(state, doc, Parser::Reused);
}
BENCHMARK_CAPTURE(BM_ExpatParse, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExpatParse, events, Doc::Events)->Arg(2000)->Arg(kEvents)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExpatParseNoNamespaces, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExpatParseNoNamespaces, events, Doc::Events)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExpatParseReused, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ExpatParseReused, events, Doc::Events)->Arg(kEvents)->Unit(benchmark::kMillisecond);

// Building the same values directly and releasing them: what the decoder's result costs to construct,
// with no parsing or lookups.
void BM_BuildValues(benchmark::State& state, Doc doc) {
   const long before = QuorlBench::Allocations();
   for (auto _ : state) {
      Ref<Any> value = doc == Doc::Tree ? Ref<Any>(QuorlBench::BuildTree().GetPtr())
                                        : Ref<Any>(BuildEvents(static_cast<int>(state.range(0))).GetPtr());
      benchmark::DoNotOptimize(value.GetPtr());
   }
   state.counters["allocs"] = benchmark::Counter(static_cast<double>(QuorlBench::Allocations() - before) /
                                                 static_cast<double>(state.iterations()));
}
BENCHMARK_CAPTURE(BM_BuildValues, tree, Doc::Tree)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BuildValues, events, Doc::Events)
    ->Arg(2000)
    ->Arg(kEvents)
    ->Unit(benchmark::kMillisecond);

// Appending events one by one to a new array of events, as both decoders fill an array property or
// result (Ormid::DataArrayBase::AppendAny), against the same after Reserve: how the array's growth
// costs with the number of items. The events exist before the timing; only the array is made and
// released.
void BM_AppendItems(benchmark::State& state) {
   const int count = static_cast<int>(state.range(0));
   const bool reserve = state.range(1) != 0;
   Ref<Ormid::DataArrayBase> events = BuildEvents(count);
   for (auto _ : state) {
      Ref<Ormid::DataArrayBase> array = Ormid::GetDoType<Quorl::Event::Event>()->CreateArray();
      if (reserve) {
         array->Reserve(static_cast<std::size_t>(count));
      }
      for (int i = 0; i < count; ++i) {
         array->AppendAny(events->GetAny(static_cast<std::size_t>(i)));
      }
      benchmark::DoNotOptimize(array.GetPtr());
   }
}
BENCHMARK(BM_AppendItems)
    ->ArgNames({"items", "reserve"})
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({kEvents, 0})
    ->Args({kEvents, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
