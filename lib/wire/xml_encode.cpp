// Writing values and calls as XML.

#include <string>

#include "detail.h"
#include "ormid/Registry.h"
#include "xml.h"

namespace Wire::Detail {
namespace {

bool NeedsEscape(std::string_view s) {
   for (unsigned char c : s) {
      if (c < 0x20 || c >= 0x80 || c == '&' || c == '<' || c == '>' || c == '"') {
         return true;
      }
   }
   return false;
}

} // namespace

void XmlEncoder::Fail(const std::string& message) const {
   throw EncodeError(JoinPath(_path), message);
}

void XmlEncoder::Escaped(std::string_view s, bool attribute, bool secret) {
   if (!NeedsEscape(s)) {
      _out.append(s);
      return;
   }
   std::string why = CheckXmlText(s);
   if (!why.empty()) {
      Fail((secret ? "the value: " : Quote(s, false) + ": ") + why);
   }
   for (char c : s) {
      switch (c) {
      case '&':
         _out += "&amp;";
         break;
      case '<':
         _out += "&lt;";
         break;
      case '>':
         _out += "&gt;";
         break;
      case '"':
         _out += attribute ? "&quot;" : "\"";
         break;
      case '\r':
         _out += "&#13;";
         break;
      case '\n':
         _out += attribute ? "&#10;" : "\n";
         break;
      case '\t':
         _out += attribute ? "&#9;" : "\t";
         break;
      default:
         _out += c;
      }
   }
}

void XmlEncoder::Open(std::string_view element, const std::string* xsiType) {
   _out += '<';
   _out.append(element);
   if (!_pendingAttributes.empty()) {
      _out += _pendingAttributes;
      _pendingAttributes.clear();
   }
   if (xsiType != nullptr) {
      _out += " xsi:type=\"";
      _out += *xsiType;
      _out += '"';
   }
}

void XmlEncoder::Close(std::string_view element) {
   _out += "</";
   _out.append(element);
   _out += '>';
}

void XmlEncoder::Plain(std::string_view element, Ormid::FieldKind kind, const void* p,
                       const Ormid::Type* type, bool secret, const std::string* xsiType) {
   Open(element, xsiType);
   _out += '>';
   if (kind == Ormid::FieldKind::String || kind == Ormid::FieldKind::Uri ||
       kind == Ormid::FieldKind::TypeName || kind == Ormid::FieldKind::MethodName ||
       kind == Ormid::FieldKind::PropertyPath) {
      Escaped(*static_cast<const std::string*>(p), false, secret);
   } else {
      try {
         AppendScalar(_out, kind, p, type, false);
      } catch (const EncodeError& e) {
         Fail(e.GetMessage());
      }
   }
   Close(element);
}

void XmlEncoder::Value(std::string_view element, const Ormid::Any* value, const Ormid::Type* staticType,
                       bool secret) {
   if (++_depth > kMaxEncodeDepth) {
      Fail("values nested deeper than " + std::to_string(kMaxEncodeDepth) + " levels (a reference cycle?)");
   }
   const bool anyPlace = staticType->GetKind() == Ormid::KindAny;
   if (const auto* ref = dynamic_cast<const Ormid::MoRef*>(value)) {
      if (!anyPlace && !staticType->IsManaged()) {
         Fail(std::string("a managed-object reference where ") + staticType->GetName() + " is expected");
      }
      const Ormid::Type* target = ref->GetManagedType();
      if (target == nullptr) {
         Fail("reference " + ref->ToString() + " names a type that is not registered");
      }
      static const std::string kRef(kMoRefName);
      Open(element, anyPlace ? &kRef : nullptr);
      _out += " type=\"";
      _out += target->GetWsdlName();
      _out += "\">";
      Escaped(ref->GetId(), false, secret);
      Close(element);
   } else if (const auto* data = dynamic_cast<const Ormid::DynamicData*>(value)) {
      Data(element, data, staticType);
   } else if (const auto* array = dynamic_cast<const Ormid::ArrayBase*>(value)) {
      if (!anyPlace) {
         Fail(std::string("an array where ") + staticType->GetName() + " is expected");
      }
      const Ormid::Type* arrayType = array->_GetType();
      const std::string xsi = XsiName(arrayType);
      Open(element, &xsi);
      _out += '>';
      const Ormid::Type* item = arrayType->GetItemType();
      Items(ItemElementName(item), array, item, ItemKindOf(item), secret);
      Close(element);
   } else {
      Unboxed box;
      try {
         UnboxFor(value, staticType, box);
      } catch (const EncodeError& e) {
         Fail(e.GetMessage());
      }
      const Ormid::Type* type = box.type;
      const std::string xsi = anyPlace ? XsiName(type) : std::string();
      Plain(element, box.kind, box.p, type, secret, anyPlace ? &xsi : nullptr);
   }
   --_depth;
}

void XmlEncoder::Items(std::string_view element, const Ormid::Any* array, const Ormid::Type* item,
                       Ormid::FieldKind itemKind, bool secret) {
   if (itemKind == Ormid::FieldKind::Reference || itemKind == Ormid::FieldKind::Any) {
      const auto* items = dynamic_cast<const Ormid::DataArrayBase*>(array);
      if (items == nullptr) {
         Fail(std::string("not an array of ") + item->GetName());
      }
      for (std::size_t i = 0; i < items->size(); ++i) {
         _path.push_back({{}, static_cast<int>(i)});
         Value(element, items->GetAny(i), item, secret);
         _path.pop_back();
      }
      return;
   }
   int i = 0;
   const bool plain = ForEachPlainItem(array, [&](Ormid::FieldKind, const void* p) {
      _path.push_back({{}, i++});
      Plain(element, itemKind, p, item, secret, nullptr);
      _path.pop_back();
   });
   if (!plain) {
      Fail(std::string("not an array of ") + item->GetName());
   }
}

void XmlEncoder::Data(std::string_view element, const Ormid::DynamicData* data,
                      const Ormid::Type* staticType) {
   const Ormid::DataObjectType* type = data->_GetDataType();
   if (type == nullptr) {
      Fail("a data object of an unregistered class");
   }
   const Ormid::DataObjectType* written = WrittenType(type, _version);
   if (staticType->GetKind() != Ormid::KindAny && !written->IsA(staticType)) {
      Fail(std::string("a ") + type->GetName() + " where " + staticType->GetName() + " is expected");
   }
   const std::string xsi = written != staticType ? XsiName(written) : std::string();
   Open(element, written != staticType ? &xsi : nullptr);
   _out += '>';
   Properties(data, PlanOf(written));
   Close(element);
}

void XmlEncoder::Properties(const Ormid::DynamicData* data, const Plan& plan) {
   auto* obj = const_cast<Ormid::DynamicData*>(data);
   for (const Place& place : plan.places) {
      if (!PartOf(place.version, _version)) {
         continue;
      }
      const void* p = place.owner->GetDescriptor()->getFieldPtr(obj, place.index);
      _path.push_back({place.name, -1});
      if (p == nullptr) {
         if (place.required()) {
            Fail("required property is unset");
         }
      } else {
         Place1(place, p);
      }
      _path.pop_back();
   }
}

void XmlEncoder::Place1(const Place& place, const void* p) {
   using K = Ormid::FieldKind;
   switch (place.kind) {
   case K::Reference:
   case K::Any:
      return Value(place.name, static_cast<const Ormid::Any*>(p), place.type, place.secret);
   case K::Array:
      return Items(place.name, static_cast<const Ormid::Any*>(p), place.type, place.itemKind, place.secret);
   case K::Bool:
      if (place.optional) {
         // An optional boolean is one signed byte: 0 or 1 when set.
         const bool b = *static_cast<const signed char*>(p) != 0;
         return Plain(place.name, K::Bool, &b, place.type, place.secret, nullptr);
      }
      [[fallthrough]];
   default:
      return Plain(place.name, place.kind, p, place.type, place.secret, nullptr);
   }
}

void XmlEncoder::Argument(const Place& place, const Ormid::Any* value) {
   _path.push_back({place.name, -1});
   if (value == nullptr || Ormid::IsNullOrEmptyArray(value)) {
      if (place.required() && value == nullptr) {
         Fail("required parameter is unset");
      }
   } else if (place.array) {
      Items(place.name, value, place.type, place.itemKind, place.secret);
   } else {
      Value(place.name, value, place.type, place.secret);
   }
   _path.pop_back();
}

const char* const kEnvelopeOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<soapenv:Body>";
const char* const kEnvelopeClose = "</soapenv:Body></soapenv:Envelope>";

std::string DefaultNamespaceAttribute(const Ormid::Version* version) {
   return " xmlns=\"" + XmlNamespace(version) + "\"";
}

} // namespace Wire::Detail

namespace Wire {

using Detail::XmlEncoder;

std::string EncodeXml(const Ormid::Any* value, const EncodeOptions& options) {
   if (value == nullptr) {
      throw EncodeError("", "no value to encode");
   }
   const Ormid::Version* version = Detail::Resolve(options.version);
   std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
   XmlEncoder encoder(out, version);
   encoder.SetPendingAttributes(Detail::DefaultNamespaceAttribute(version) +
                                " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                                " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"");
   encoder.Value("value", value, Detail::AnyType(), false);
   out += '\n';
   return out;
}

std::string EncodeRequest(const Ormid::ManagedMethod& method, const Ormid::MoRef& target,
                          const std::vector<Pellum::Ref<Ormid::Any>>& args, const EncodeOptions& options) {
   const Ormid::Version* version = Detail::Resolve(options.version);
   const Detail::Plan& plan = Detail::ParamPlanOf(&method);
   if (args.size() != plan.places.size()) {
      throw EncodeError("", method.GetFullName() + " takes " + std::to_string(plan.places.size()) +
                                " arguments, not " + std::to_string(args.size()));
   }
   if (!Detail::PartOf(Detail::VersionNamed(method.GetVersion()), version)) {
      throw EncodeError("", method.GetFullName() + " is not part of version " + version->GetName());
   }
   const char* op = method.IsProperty() ? "Fetch" : method.GetWsdlName();
   std::string out = Detail::kEnvelopeOpen;
   XmlEncoder encoder(out, version);
   encoder.SetPendingAttributes(Detail::DefaultNamespaceAttribute(version));
   encoder.Open(op, nullptr);
   out += '>';
   encoder.Value("_this", &target, Detail::TypeOf(method.GetOwner()->GetHeader()), false);
   if (method.IsProperty()) {
      out += "<prop>";
      out += method.GetName();
      out += "</prop>";
   }
   for (std::size_t i = 0; i < args.size(); ++i) {
      const Detail::Place& place = plan.places[i];
      if (Detail::PartOf(place.version, version)) {
         encoder.Argument(place, args[i].GetPtr());
      }
   }
   encoder.Close(op);
   out += Detail::kEnvelopeClose;
   return out;
}

std::string EncodeResponse(const Ormid::ManagedMethod& method, const Ormid::Any* result,
                           const EncodeOptions& options) {
   const Ormid::Version* version = Detail::Resolve(options.version);
   const std::string op = std::string(method.IsProperty() ? "Fetch" : method.GetWsdlName()) + "Response";
   std::string out = Detail::kEnvelopeOpen;
   XmlEncoder encoder(out, version);
   encoder.SetPendingAttributes(Detail::DefaultNamespaceAttribute(version));
   encoder.Open(op, nullptr);
   out += '>';
   if (result != nullptr) {
      encoder.Argument(Detail::ResultPlaceOf(&method), result);
   }
   encoder.Close(op);
   out += Detail::kEnvelopeClose;
   return out;
}

std::string EncodeFault(const Ormid::MethodFault& fault, std::string_view message,
                        const EncodeOptions& options) {
   const Ormid::Version* version = Detail::Resolve(options.version);
   const Ormid::DataObjectType* type = Detail::WrittenType(fault._GetDataType(), version);
   const std::string element = std::string(type->GetWsdlName()) + "Fault";
   std::string out = Detail::kEnvelopeOpen;
   out += "<soapenv:Fault><faultcode>";
   out += fault.GetResponseCode().GetCode() < 500 ? "soapenv:Client" : "soapenv:Server";
   out += "</faultcode><faultstring>";
   XmlEncoder encoder(out, version);
   encoder.Escaped(message, false, false);
   out += "</faultstring><detail>";
   encoder.SetPendingAttributes(Detail::DefaultNamespaceAttribute(version));
   // The detail element's declared type is the fault's own: name it with xsi:type all the same.
   encoder.Value(element, &fault, Detail::TypeOf(&Ormid::gKoblMethodFaultTypeInfo), false);
   out += "</detail></soapenv:Fault>";
   out += Detail::kEnvelopeClose;
   return out;
}

} // namespace Wire
