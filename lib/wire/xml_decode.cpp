// Reading values and calls from XML: expat's callbacks drive a stack of frames, one per open element,
// that builds the values straight from the descriptors. Nothing reaches the caller unless the whole
// document was read: on any error the frames (and the values they hold) are dropped.

#include <expat.h>

#include <exception>
#include <random>
#include <string>
#include <vector>

#include "detail.h"
#include "ormid/Enum.h"
#include "ormid/Registry.h"

namespace Wire::Detail {
namespace {

constexpr char kSeparator = ' '; // between namespace and local name in expat's names (no URI has a space)

// A parser per thread, reset for each document: creating one costs as much as reading a small call, and
// every new parser asks the kernel for its hash salt. The salt comes from a per-thread generator seeded
// once from the system's random source, so element names still hash unpredictably. A document read while
// another is being read on the same thread (a caller's callback decoding) gets a parser of its own.
class ParserLease {
public:
   ParserLease() {
      Slot& slot = TheSlot();
      if (slot.parser != nullptr) {
         parser = slot.parser;
         slot.parser = nullptr;
         if (XML_ParserReset(parser, "UTF-8") != XML_TRUE) {
            XML_ParserFree(parser);
            parser = nullptr;
         }
      }
      if (parser == nullptr) {
         parser = XML_ParserCreateNS("UTF-8", kSeparator);
         if (parser == nullptr) {
            throw std::bad_alloc();
         }
      }
      unsigned long salt = 0;
      while (salt == 0) { // expat takes 0 to mean "ask the kernel"
         salt = static_cast<unsigned long>(slot.salts());
      }
      XML_SetHashSalt(parser, salt);
   }
   ~ParserLease() {
      Slot& slot = TheSlot();
      if (slot.parser == nullptr) {
         slot.parser = parser;
      } else {
         XML_ParserFree(parser);
      }
   }
   ParserLease(const ParserLease&) = delete;
   ParserLease& operator=(const ParserLease&) = delete;

   XML_Parser parser = nullptr;

private:
   struct Slot {
      XML_Parser parser = nullptr;
      std::mt19937_64 salts{std::random_device{}()};
      Slot() = default;
      Slot(const Slot&) = delete;
      Slot& operator=(const Slot&) = delete;
      ~Slot() {
         if (parser != nullptr) {
            XML_ParserFree(parser);
         }
      }
   };
   static Slot& TheSlot() {
      thread_local Slot slot;
      return slot;
   }
};

enum class Mode { Value, Request, Response };

enum class FrameKind : unsigned char {
   Document,   // before the root element
   Skip,       // an element skipped whole (a property newer than the version, a SOAP header)
   Struct,     // a data object or fault (obj set), or the parameters of a call or response (obj null)
   Scalar,     // text of a plain value
   Reference,  // text of a managed-object reference
   BoxedArray, // an array in an anyType place
   Envelope,
   Body,
   Fault,     // SOAP Fault
   FaultText, // faultcode or faultstring
   Detail,    // SOAP Fault detail
   This,      // `_this` of a request
   Prop,      // `prop` of a Fetch request
};

struct Frame {
   FrameKind kind = FrameKind::Document;
   PathStep step;                // this element's part of the path (name empty: none)
   const Place* place = nullptr; // the place in the parent the value goes to (null: boxed-array item, root)
   // Struct
   Pellum::Ref<Ormid::DynamicData> obj;
   const Plan* plan = nullptr;
   int cursor = 0;       // the place after the last one read (Plan::FindFrom)
   std::size_t bits = 0; // offset of the presence bits in the decoder's bit stack
   // Scalar and Reference
   Ormid::FieldKind scalarKind = Ormid::FieldKind::String;
   const Ormid::Type* type = nullptr; // Scalar: enumeration type; Reference: managed type; BoxedArray: item
   bool boxed = false;                // Scalar: deliver as a box
   bool secret = false;
   // BoxedArray
   Pellum::Ref<Ormid::Any> array;
   int count = 0;
   // Skip
   int skipDepth = 0;
};

Frame MakeFrame(FrameKind kind, PathStep step = {}) {
   Frame f;
   f.kind = kind;
   f.step = step;
   return f;
}

std::string_view LocalName(const char* name) {
   std::string_view n(name);
   const auto sep = n.rfind(kSeparator);
   return sep == std::string_view::npos ? n : n.substr(sep + 1);
}

std::string_view NamespaceOf(const char* name) {
   std::string_view n(name);
   const auto sep = n.rfind(kSeparator);
   return sep == std::string_view::npos ? std::string_view() : n.substr(0, sep);
}

bool IsWhiteSpace(std::string_view s) {
   for (char c : s) {
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
         return false;
      }
   }
   return true;
}

class XmlDecoder {
public:
   XmlDecoder(Mode mode, const DecodeOptions& options, const Ormid::ManagedMethod* expected)
       : _mode(mode), _version(Resolve(options.version)), _maxDepth(options.maxDepth), _expected(expected) {
      _frames.reserve(16);
      _frames.push_back(Frame{});
      if (expected != nullptr) {
         _resultPlan.places.push_back(ResultPlaceOf(expected));
         _resultPlan.byName.emplace_back("returnval", 0);
      }
   }

   void Parse(std::string_view document, std::size_t maxBytes) {
      if (document.size() > maxBytes) {
         throw DecodeError("", "document of " + std::to_string(document.size()) +
                                   " bytes is over the limit of " + std::to_string(maxBytes) + " bytes");
      }
      ParserLease lease;
      XML_Parser parser = lease.parser;
      _parser = parser;
      XML_SetUserData(parser, this);
      XML_SetElementHandler(parser, &XmlDecoder::OnStart, &XmlDecoder::OnEnd);
      XML_SetCharacterDataHandler(parser, &XmlDecoder::OnText);
      XML_SetNamespaceDeclHandler(parser, &XmlDecoder::OnNamespaceStart, &XmlDecoder::OnNamespaceEnd);
      XML_SetStartDoctypeDeclHandler(parser, &XmlDecoder::OnDoctype);
      XML_SetEntityDeclHandler(parser, &XmlDecoder::OnEntity);
      XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
      // One buffer, parsed in pieces expat's int lengths can carry.
      constexpr std::size_t kPiece = std::size_t{1} << 30;
      std::size_t at = 0;
      do {
         const std::size_t n = std::min(kPiece, document.size() - at);
         const bool last = at + n == document.size();
         if (XML_Parse(parser, document.data() + at, static_cast<int>(n), last ? 1 : 0) != XML_STATUS_OK) {
            if (_failure) {
               std::rethrow_exception(_failure);
            }
            throw DecodeError("", "malformed XML at line " +
                                      std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                                      std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + ": " +
                                      XML_ErrorString(XML_GetErrorCode(parser)));
         }
         at += n;
      } while (at < document.size());
      if (!_done) {
         throw DecodeError("", "the document ends before its value does");
      }
   }

   Pellum::Ref<Ormid::Any> result;
   Request request;
   Response response;

private:
   // --- expat callbacks: each runs the member and turns an exception into a stop of the parser ---
   template <class F> static void Guard(void* self, F&& f) {
      auto* d = static_cast<XmlDecoder*>(self);
      if (d->_failure) {
         return;
      }
      try {
         f(*d);
      } catch (...) {
         d->_failure = std::current_exception();
         XML_StopParser(d->_parser, XML_FALSE);
      }
   }
   static void OnStart(void* self, const char* name, const char** attributes) {
      Guard(self, [&](XmlDecoder& d) { d.Start(name, attributes); });
   }
   static void OnEnd(void* self, const char* name) {
      Guard(self, [&](XmlDecoder& d) { d.End(name); });
   }
   static void OnText(void* self, const char* text, int length) {
      Guard(self, [&](XmlDecoder& d) { d.Text(std::string_view(text, static_cast<std::size_t>(length))); });
   }
   static void OnNamespaceStart(void* self, const char* prefix, const char* uri) {
      Guard(self, [&](XmlDecoder& d) { d._bindings.emplace_back(prefix ? prefix : "", uri ? uri : ""); });
   }
   static void OnNamespaceEnd(void* self, const char* prefix) {
      Guard(self, [&](XmlDecoder& d) {
         const std::string_view p = prefix ? prefix : "";
         for (auto it = d._bindings.rbegin(); it != d._bindings.rend(); ++it) {
            if (it->first == p) {
               d._bindings.erase(std::next(it).base());
               break;
            }
         }
      });
   }
   static void OnDoctype(void* self, const char*, const char*, const char*, int) {
      Guard(self, [](XmlDecoder&) -> void {
         throw DecodeError(
             "", "a document type declaration (DOCTYPE) is refused: documents carry no DTD or entity");
      });
   }
   static void OnEntity(void* self, const char*, int, const char*, int, const char*, const char*, const char*,
                        const char*) {
      Guard(self, [](XmlDecoder&) -> void { throw DecodeError("", "entity declarations are refused"); });
   }

   // --- errors and paths ---
   std::string Path() const {
      std::vector<PathStep> steps;
      steps.reserve(_frames.size());
      for (const Frame& f : _frames) {
         if (!f.step.name.empty() || f.step.index >= 0) {
            steps.push_back(f.step);
         }
      }
      return JoinPath(steps);
   }
   [[noreturn]] void Fail(const std::string& message) const { throw DecodeError(Path(), message); }
   [[noreturn]] void FailAt(std::string_view child, const std::string& message) const {
      std::string path = Path();
      if (!path.empty() && !child.empty()) {
         path += '.';
      }
      path.append(child);
      throw DecodeError(path, message);
   }

   Frame& Top() { return _frames.back(); }

   void Push(Frame frame) {
      if (frame.kind == FrameKind::Struct || frame.kind == FrameKind::BoxedArray ||
          frame.kind == FrameKind::Scalar || frame.kind == FrameKind::Reference) {
         if (++_valueDepth > _maxDepth) {
            _frames.push_back(std::move(frame));
            Fail("values nested deeper than the limit of " + std::to_string(_maxDepth));
         }
      }
      _frames.push_back(std::move(frame));
   }

   void Pop() {
      const FrameKind k = Top().kind;
      if (k == FrameKind::Struct || k == FrameKind::BoxedArray || k == FrameKind::Scalar ||
          k == FrameKind::Reference) {
         --_valueDepth;
      }
      if (k == FrameKind::Struct) {
         _bits.resize(Top().bits);
      }
      _frames.pop_back();
   }

   // --- attributes ---
   struct Attributes {
      const char* xsiType = nullptr;
      const char* refType = nullptr;
   };
   Attributes ReadAttributes(const char** attributes) const {
      Attributes a;
      for (const char** p = attributes; *p != nullptr; p += 2) {
         const std::string_view ns = NamespaceOf(p[0]);
         const std::string_view local = LocalName(p[0]);
         if (ns == kXsiNamespace && local == "type") {
            a.xsiType = p[1];
         } else if (ns.empty() && local == "type") {
            a.refType = p[1];
         }
      }
      return a;
   }

   // The type an xsi:type value names, through the prefixes bound where it stands.
   Ormid::Type* ResolveXsi(std::string_view qname) const {
      std::string_view prefix, local = qname;
      const auto colon = qname.find(':');
      if (colon != std::string_view::npos) {
         prefix = qname.substr(0, colon);
         local = qname.substr(colon + 1);
      }
      std::string_view uri;
      bool bound = false;
      for (auto it = _bindings.rbegin(); it != _bindings.rend(); ++it) {
         if (it->first == prefix) {
            uri = it->second;
            bound = true;
            break;
         }
      }
      if (!bound && !prefix.empty()) {
         Fail("xsi:type \"" + std::string(qname).substr(0, 80) + "\" uses an unbound prefix");
      }
      Ormid::Type* type = TypeFromXsi(local, uri == kXsdNamespace);
      if (type == nullptr) {
         Fail("unknown xsi:type \"" + std::string(qname).substr(0, 80) + "\"");
      }
      try {
         CheckTypeInVersion(type, _version);
      } catch (const DecodeError& e) {
         Fail(e.GetMessage());
      }
      return type;
   }

   // --- elements ---
   void Start(const char* name, const char** attributes) {
      Frame& parent = Top();
      const std::string_view local = LocalName(name);
      switch (parent.kind) {
      case FrameKind::Skip:
         ++parent.skipDepth;
         return;
      case FrameKind::Document:
         return StartRoot(name, local, attributes);
      case FrameKind::Envelope:
         if (NamespaceOf(name) == kSoapNamespace && local == "Header") {
            return Push(MakeFrame(FrameKind::Skip));
         }
         if (NamespaceOf(name) == kSoapNamespace && local == "Body") {
            return Push(MakeFrame(FrameKind::Body));
         }
         Fail("unexpected element <" + std::string(local) + "> in the SOAP envelope");
      case FrameKind::Body:
         return StartBody(name, local);
      case FrameKind::Fault:
         if (local == "faultcode" || local == "faultstring" || local == "faultactor") {
            _text.clear();
            Frame f = MakeFrame(FrameKind::FaultText);
            f.bits = local == "faultstring" ? 1u : 0u; // 1: the text is the fault string
            return Push(std::move(f));
         }
         if (local == "detail") {
            return Push(MakeFrame(FrameKind::Detail));
         }
         Fail("unexpected element <" + std::string(local) + "> in a SOAP fault");
      case FrameKind::Detail:
         if (response.fault) {
            Fail("a SOAP fault detail holds one fault");
         }
         return BeginValue(nullptr, TypeOf(&Ormid::gKoblMethodFaultTypeInfo), {}, -1, attributes, false);
      case FrameKind::Struct:
         return StartPlace(parent, local, attributes);
      case FrameKind::BoxedArray: {
         const Ormid::Type* item = parent.type;
         const int index = parent.count;
         if (local != ItemElementName(item)) {
            Fail("an item of an array of " + std::string(ItemElementName(item)) + " is <" +
                 std::string(ItemElementName(item)) + ">, not <" + std::string(local).substr(0, 80) + ">");
         }
         return BeginValue(nullptr, item, {}, index, attributes, parent.secret);
      }
      default:
         FailAt(local, "unexpected element inside a plain value");
      }
   }

   void StartRoot(const char* name, std::string_view local, const char** attributes) {
      if (_mode == Mode::Value) {
         if (local != "value") {
            Fail("the root element of a value is <value>, not <" + std::string(local).substr(0, 80) + ">");
         }
         return BeginValue(nullptr, AnyType(), {}, -1, attributes, false);
      }
      if (NamespaceOf(name) != kSoapNamespace || local != "Envelope") {
         Fail("not a SOAP 1.1 envelope: the root element is <" + std::string(local).substr(0, 80) + ">");
      }
      Push(MakeFrame(FrameKind::Envelope));
   }

   void StartBody(const char* name, std::string_view local) {
      if (_bodySeen) {
         Fail("the SOAP body holds more than one element");
      }
      _bodySeen = true;
      if (_mode == Mode::Request) {
         _operation.assign(local);
         _thisSeen = false;
         return Push(MakeFrame(FrameKind::Struct));
      }
      if (NamespaceOf(name) == kSoapNamespace && local == "Fault") {
         return Push(MakeFrame(FrameKind::Fault));
      }
      const std::string want =
          std::string(_expected->IsProperty() ? "Fetch" : _expected->GetWsdlName()) + "Response";
      if (local != want) {
         Fail("expected <" + want + ">, got <" + std::string(local).substr(0, 80) + ">");
      }
      _args.assign(1, nullptr);
      Frame f = MakeFrame(FrameKind::Struct);
      f.plan = &_resultPlan;
      f.bits = _bits.size();
      _bits.push_back(0);
      Push(std::move(f));
   }

   // A child of a data object or of a call: a property, parameter or result.
   void StartPlace(Frame& parent, std::string_view local, const char** attributes) {
      if (parent.plan == nullptr) {
         // A request before its method is known: `_this` first, then `prop` for Fetch.
         if (local == "_this" && !_thisSeen) {
            _text.clear();
            const Attributes a = ReadAttributes(attributes);
            Frame f = MakeFrame(FrameKind::This, {"_this", -1});
            f.type = RefType(a.refType, "_this");
            return Push(std::move(f));
         }
         if (local == "prop" && _thisSeen && _operation == "Fetch") {
            _text.clear();
            return Push(MakeFrame(FrameKind::Prop, {"prop", -1}));
         }
         FailAt(local, _thisSeen ? "the request names no property to fetch"
                                 : "a request starts with _this, the reference of its target");
      }
      const int at = parent.plan->FindFrom(local, parent.cursor);
      if (at < 0) {
         FailAt(local, std::string("unknown element: ") +
                           (parent.obj ? std::string("no property of ") + parent.plan->type->GetName()
                                       : std::string("no parameter of this call")));
      }
      const Place& place = parent.plan->places[static_cast<std::size_t>(at)];
      if (!PartOf(place.version, _version)) {
         return Push(MakeFrame(FrameKind::Skip)); // newer than the version read: skipped
      }
      uint64_t& word = _bits[parent.bits + static_cast<std::size_t>(at) / 64];
      const uint64_t bit = uint64_t{1} << (at % 64);
      int index = -1;
      if (place.array) {
         index = ItemCount(parent, place);
      } else if ((word & bit) != 0) {
         FailAt(local, "given twice");
      }
      word |= bit;
      BeginValue(&place, place.type, place.name, index, attributes, place.secret);
   }

   int ItemCount(const Frame& parent, const Place& place) {
      const Ormid::Any* array = nullptr;
      if (parent.obj) {
         array = static_cast<const Ormid::Any*>(
             place.owner->GetDescriptor()->getFieldPtr(parent.obj.GetPtr(), place.index));
      } else {
         array = _args[static_cast<std::size_t>(place.index)].GetPtr();
      }
      const auto* a = dynamic_cast<const Ormid::ArrayBase*>(array);
      return a != nullptr ? a->GetCollectionLength() : 0;
   }

   const Ormid::Type* RefType(const char* wsdlName, std::string_view where) {
      if (wsdlName == nullptr) {
         FailAt(where, "a managed-object reference needs its type attribute");
      }
      Ormid::Type* type = Ormid::TypeRegistry::Get().FindByWsdlName(wsdlName);
      if (type == nullptr || !type->IsManaged()) {
         FailAt(where, "unknown managed type \"" + std::string(wsdlName).substr(0, 80) + "\"");
      }
      return type;
   }

   // Opens the element of one value of static type `staticType`.
   void BeginValue(const Place* place, const Ormid::Type* staticType, std::string_view name, int index,
                   const char** attributes, bool secret) {
      const Attributes a = ReadAttributes(attributes);
      Frame f;
      f.place = place;
      f.step = {name, index};
      f.secret = secret;
      const Ormid::Type* type = staticType;
      if (a.xsiType != nullptr) {
         _frames.push_back(MakeFrame(FrameKind::Skip, f.step)); // for the path of an error
         const Ormid::Type* named = ResolveXsi(a.xsiType);
         if (!Fits(named, staticType)) {
            Fail(std::string("xsi:type ") + named->GetWsdlName() + " is not a " + staticType->GetName());
         }
         _frames.pop_back();
         type = named;
      } else if (staticType->GetKind() == Ormid::KindAny) {
         f.kind = FrameKind::Skip;
         _frames.push_back(std::move(f));
         Fail("a value in an anyType place needs its xsi:type");
      }
      const bool anyPlace = staticType->GetKind() == Ormid::KindAny;
      if (type->IsDataObject()) {
         const auto* dataType = static_cast<const Ormid::DataObjectType*>(type);
         f.kind = FrameKind::Struct;
         f.obj = dataType->Create();
         f.plan = &PlanOf(dataType);
         f.bits = _bits.size();
         _bits.resize(_bits.size() + (f.plan->places.size() + 63) / 64, 0);
      } else if (type->IsManaged()) {
         f.kind = FrameKind::Reference;
         f.type = RefType(a.refType, name);
         _text.clear();
      } else if (type->IsArray()) {
         f.kind = FrameKind::BoxedArray;
         f.type = type->GetItemType();
         f.array = NewArray(f.type);
      } else {
         f.kind = FrameKind::Scalar;
         f.scalarKind = ItemKindOf(type);
         f.type = type;
         // Into a box: in an anyType place, and as a parameter or result (calls carry boxes), except as an
         // item of an array parameter or result (a plain array).
         f.boxed = anyPlace || (place != nullptr && place->owner == nullptr && !place->array);
         _text.clear();
      }
      Push(std::move(f));
   }

   // Whether a value of type `named` may stand in a place of static type `staticType`.
   static bool Fits(const Ormid::Type* named, const Ormid::Type* staticType) {
      if (staticType->GetKind() == Ormid::KindAny) {
         return true;
      }
      if (staticType->IsManaged()) {
         return named->IsManaged();
      }
      return named == staticType || (named->IsDataObject() && named->IsA(staticType));
   }

   void Text(std::string_view text) {
      const FrameKind k = Top().kind;
      if (k == FrameKind::Scalar || k == FrameKind::Reference || k == FrameKind::FaultText ||
          k == FrameKind::This || k == FrameKind::Prop) {
         _text.append(text);
      } else if (k != FrameKind::Skip && !IsWhiteSpace(text)) {
         Fail("unexpected text " + Quote(text, Top().secret));
      }
   }

   void End(const char*) {
      Frame& f = Top();
      switch (f.kind) {
      case FrameKind::Skip:
         if (f.skipDepth > 0) {
            --f.skipDepth;
            return;
         }
         return Pop();
      case FrameKind::Struct:
         return EndStruct();
      case FrameKind::Scalar:
         return EndScalar();
      case FrameKind::Reference: {
         if (_text.empty()) {
            Fail("a managed-object reference needs an id");
         }
         Pellum::Ref<Ormid::Any> ref(new Ormid::MoRef(f.type, _text));
         return DeliverAndPop(std::move(ref));
      }
      case FrameKind::BoxedArray: {
         Pellum::Ref<Ormid::Any> array = std::move(f.array);
         return DeliverAndPop(std::move(array));
      }
      case FrameKind::This: {
         if (_text.empty()) {
            Fail("a managed-object reference needs an id");
         }
         request.target = new Ormid::MoRef(f.type, _text);
         _thisSeen = true;
         const Ormid::Type* targetType = f.type;
         const auto* moType = dynamic_cast<const Ormid::ManagedObjectType*>(targetType);
         Pop();
         if (_operation != "Fetch") {
            const Ormid::ManagedMethod* method =
                moType != nullptr ? moType->FindMethodByWsdlName(_operation) : nullptr;
            if (method == nullptr) {
               Fail("unknown operation " + _operation.substr(0, 80) + " of " + targetType->GetName());
            }
            SetMethod(method);
         } else {
            _fetchType = moType;
         }
         return;
      }
      case FrameKind::Prop: {
         Pop();
         const Ormid::ManagedMethod* getter =
             _fetchType != nullptr ? _fetchType->FindProperty(_text) : nullptr;
         if (getter == nullptr) {
            Fail("unknown property " + Quote(_text, false) + " to fetch");
         }
         return SetMethod(getter);
      }
      case FrameKind::FaultText:
         if (f.bits == 1) {
            response.faultString = _text;
         }
         return Pop();
      case FrameKind::Fault:
         if (!response.fault) {
            Fail("a SOAP fault without a fault object in its detail");
         }
         return Pop();
      case FrameKind::Envelope:
         _done = _bodySeen;
         if (!_bodySeen) {
            Fail("the SOAP envelope has no body");
         }
         return Pop();
      default:
         return Pop();
      }
   }

   void SetMethod(const Ormid::ManagedMethod* method) {
      if (!PartOf(VersionNamed(method->GetVersion()), _version)) {
         Fail(method->GetFullName() + " is not part of version " + _version->GetName());
      }
      request.method = method;
      Frame& call = Top();
      call.plan = &ParamPlanOf(method);
      call.bits = _bits.size();
      _bits.resize(_bits.size() + (call.plan->places.size() + 63) / 64, 0);
      _args.assign(call.plan->places.size(), nullptr);
   }

   void CheckRequired(const Frame& f) {
      const std::vector<Place>& places = f.plan->places;
      for (std::size_t i = 0; i < places.size(); ++i) {
         const Place& place = places[i];
         if (place.required() && (_bits[f.bits + i / 64] & (uint64_t{1} << (i % 64))) == 0 &&
             PartOf(place.version, _version)) {
            FailAt(place.name, f.obj ? "required property is missing" : "required parameter is missing");
         }
      }
   }

   void EndStruct() {
      Frame& f = Top();
      if (f.plan == nullptr) {
         Fail(_thisSeen ? "the request names no property to fetch" : "the request has no _this");
      }
      CheckRequired(f);
      if (f.obj) {
         Pellum::Ref<Ormid::Any> obj(f.obj.GetPtr());
         return DeliverAndPop(std::move(obj));
      }
      // The parameters of a request or the result of a response.
      if (_mode == Mode::Request) {
         request.args = std::move(_args);
      } else {
         response.result = std::move(_args[0]);
      }
      Pop();
   }

   void EndScalar() {
      Frame& f = Top();
      WithScalarType(f.scalarKind, [&](auto tag) {
         using T = decltype(tag);
         T value{};
         const std::string why = ParseScalar(_text, f.scalarKind, f.type, &value);
         if (!why.empty()) {
            Fail(Quote(_text, f.secret) + " is " + why);
         }
         if (f.boxed) {
            DeliverAndPop(BoxScalar(f.scalarKind, f.type, &value));
         } else {
            StorePlain(f, &value);
            Pop();
         }
      });
   }

   // A plain value into a data-object field, a plain array (property, parameter or boxed array).
   void StorePlain(Frame& f, void* value) {
      Frame& parent = _frames[_frames.size() - 2];
      try {
         if (parent.kind == FrameKind::BoxedArray) {
            AppendToPlainArray(parent.array.GetPtr(), f.scalarKind, value);
            ++parent.count;
            return;
         }
         const Place& place = *f.place;
         if (!parent.obj) {
            // An array parameter or result: a plain array in the argument slot.
            Pellum::Ref<Ormid::Any>& slot = _args[static_cast<std::size_t>(place.index)];
            if (!slot) {
               slot = NewArray(place.type);
            }
            AppendToPlainArray(slot.GetPtr(), f.scalarKind, value);
            return;
         }
         const Ormid::DataTypeInfo* d = place.owner->GetDescriptor();
         if (place.array) {
            Pellum::Ref<Ormid::Any> array;
            d->getField(parent.obj.GetPtr(), place.index, &array);
            AppendToPlainArray(array.GetPtr(), f.scalarKind, value);
         } else if (place.kind == Ormid::FieldKind::Bool && place.optional) {
            const signed char b = *static_cast<bool*>(value) ? 1 : 0;
            d->setField(parent.obj.GetPtr(), place.index, &b);
         } else {
            d->setField(parent.obj.GetPtr(), place.index, value);
         }
      } catch (const DecodeError&) {
         throw;
      } catch (const std::exception& e) {
         Fail(e.what());
      }
   }

   // A finished value (held by reference) into its place in the parent frame; pops the value's frame.
   void DeliverAndPop(Pellum::Ref<Ormid::Any> value) {
      Frame& f = Top();
      Frame& parent = _frames[_frames.size() - 2];
      try {
         switch (parent.kind) {
         case FrameKind::Document:
            result = std::move(value);
            _done = true;
            break;
         case FrameKind::Detail: {
            auto* fault = dynamic_cast<Ormid::MethodFault*>(value.GetPtr());
            if (fault == nullptr) {
               Fail("a SOAP fault detail holds a fault");
            }
            response.fault = fault;
            break;
         }
         case FrameKind::BoxedArray:
            static_cast<Ormid::DataArrayBase*>(parent.array.GetPtr())->AppendAny(value.GetPtr());
            ++parent.count;
            break;
         case FrameKind::Struct: {
            const Place& place = *f.place;
            if (!parent.obj) {
               Pellum::Ref<Ormid::Any>& slot = _args[static_cast<std::size_t>(place.index)];
               if (place.array) {
                  if (!slot) {
                     slot = NewArray(place.type);
                  }
                  static_cast<Ormid::DataArrayBase*>(slot.GetPtr())->AppendAny(value.GetPtr());
               } else {
                  slot = std::move(value);
               }
               break;
            }
            const Ormid::DataTypeInfo* d = place.owner->GetDescriptor();
            if (place.array) {
               Pellum::Ref<Ormid::Any> array;
               d->getField(parent.obj.GetPtr(), place.index, &array);
               static_cast<Ormid::DataArrayBase*>(array.GetPtr())->AppendAny(value.GetPtr());
            } else {
               d->setField(parent.obj.GetPtr(), place.index, value.GetPtr());
            }
            break;
         }
         default:
            Fail("unexpected value");
         }
      } catch (const DecodeError&) {
         throw;
      } catch (const std::exception& e) {
         Fail(e.what());
      }
      Pop();
   }

   Mode _mode;
   const Ormid::Version* _version;
   int _maxDepth;
   const Ormid::ManagedMethod* _expected;
   XML_Parser _parser = nullptr;
   std::exception_ptr _failure;
   std::vector<Frame> _frames;
   std::vector<uint64_t> _bits;
   std::vector<std::pair<std::string, std::string>> _bindings; // prefix, namespace
   std::string _text;
   int _valueDepth = 0;
   bool _done = false;
   bool _bodySeen = false;
   bool _thisSeen = false;
   std::string _operation;
   const Ormid::ManagedObjectType* _fetchType = nullptr;
   std::vector<Pellum::Ref<Ormid::Any>> _args;
   Plan _resultPlan;
};

} // namespace
} // namespace Wire::Detail

namespace Wire {

Pellum::Ref<Ormid::Any> DecodeXml(std::string_view document, const DecodeOptions& options) {
   Detail::XmlDecoder decoder(Detail::Mode::Value, options, nullptr);
   decoder.Parse(document, options.maxBytes);
   return std::move(decoder.result);
}

Request DecodeRequest(std::string_view document, const DecodeOptions& options) {
   Detail::XmlDecoder decoder(Detail::Mode::Request, options, nullptr);
   decoder.Parse(document, options.maxBytes);
   if (decoder.request.method == nullptr) {
      throw DecodeError("", "the request names no method");
   }
   return std::move(decoder.request);
}

Response DecodeResponse(std::string_view document, const Ormid::ManagedMethod& method,
                        const DecodeOptions& options) {
   Detail::XmlDecoder decoder(Detail::Mode::Response, options, &method);
   decoder.Parse(document, options.maxBytes);
   return std::move(decoder.response);
}

} // namespace Wire
