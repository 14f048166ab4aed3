// The XML writer of the codec (the reader lives in xml_decode.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "detail.h"

namespace Wire::Detail {

// Values nested deeper than this are refused when written: only a reference cycle gets there.
inline constexpr int kMaxEncodeDepth = 1000;

// Appends elements to a string. Paths of errors are kept as the writer descends.
class XmlEncoder {
public:
   XmlEncoder(std::string& out, const Ormid::Version* version) : _out(out), _version(version) {}

   // Attributes the next start tag carries (namespace declarations of the first body element).
   void SetPendingAttributes(std::string attributes) { _pendingAttributes = std::move(attributes); }

   // A value held by reference (data object, fault, reference, box, array in an anyType place) in a
   // place of static type `staticType`.
   void Value(std::string_view element, const Ormid::Any* value, const Ormid::Type* staticType, bool secret);
   // An argument or result in its place: nothing when unset, repeated elements for an array.
   void Argument(const Place& place, const Ormid::Any* value);
   // Escaped text (attribute values also escape quotes and white space).
   void Escaped(std::string_view text, bool attribute, bool secret);
   void Open(std::string_view element, const std::string* xsiType);
   void Close(std::string_view element);

private:
   [[noreturn]] void Fail(const std::string& message) const;
   void Plain(std::string_view element, Ormid::FieldKind kind, const void* p, const Ormid::Type* type,
              bool secret, const std::string* xsiType);
   void Items(std::string_view element, const Ormid::Any* array, const Ormid::Type* item,
              Ormid::FieldKind itemKind, bool secret);
   void Data(std::string_view element, const Ormid::DynamicData* data, const Ormid::Type* staticType);
   void Properties(const Ormid::DynamicData* data, const Plan& plan);
   void Place1(const Place& place, const void* p);

   std::string& _out;
   const Ormid::Version* _version;
   std::string _pendingAttributes;
   std::vector<PathStep> _path;
   int _depth = 0;
};

extern const char* const kEnvelopeOpen;
extern const char* const kEnvelopeClose;

} // namespace Wire::Detail
