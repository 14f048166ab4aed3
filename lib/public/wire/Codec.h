// The wire codec: values and calls as SOAP/XML documents, and values as JSON (docs/wire.md).
//
// The codec knows no type of its own: it walks the descriptors the type libraries registered (property
// records, accessors, factories, method records, the version catalogue), so it encodes and decodes every
// value of every registered namespace. Encoding appends to a string; decoding takes a whole document and
// hands back a complete value, or raises Wire::DecodeError and hands back nothing.
//
// Versions: every function takes the API version the document is written in or read as. Encoding for a
// version writes only what is part of it; decoding as a version skips properties that are newer than it
// and refuses everything it does not know. Null stands for the default version (DefaultVersion()).
//
// Errors carry the path of the place they concern, relative to the value or to the call's parameters
// ("spec.deviceChange[3].device.key"); the text of a secret property never appears in a message.
// All functions are safe to call from several threads at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ormid/Any.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "pellum/Exception.h"
#include "pellum/Ref.h"
#include "wire/Export.h"

namespace Ormid {
class ManagedMethod;
class Version;
} // namespace Ormid

namespace Wire {

// A value that cannot be encoded or a document that cannot be decoded. The message starts with the path
// (when there is one) and says what is wrong: "spec.deviceChange[3].device.key: \"x\" is not an int".
class WIRE_API Error : public Pellum::Exception {
public:
   Error(std::string path, const std::string& message);
   Error(const Error&) = default;
   ~Error() override;
   Pellum::Exception* Clone() const override { return new Error(*this); }
   [[noreturn]] void Throw() const override { throw *this; }
   // The place the error concerns; empty for the document as a whole.
   const std::string& GetPath() const noexcept { return _path; }

private:
   std::string _path;
};

class WIRE_API EncodeError : public Error {
public:
   using Error::Error;
   EncodeError(const EncodeError&) = default;
   ~EncodeError() override;
   Pellum::Exception* Clone() const override { return new EncodeError(*this); }
   [[noreturn]] void Throw() const override { throw *this; }
};

class WIRE_API DecodeError : public Error {
public:
   using Error::Error;
   DecodeError(const DecodeError&) = default;
   ~DecodeError() override;
   Pellum::Exception* Clone() const override { return new DecodeError(*this); }
   [[noreturn]] void Throw() const override { throw *this; }
};

struct EncodeOptions {
   // The version to write for; null: DefaultVersion().
   const Ormid::Version* version = nullptr;
};

struct DecodeOptions {
   // The version to read as; null: DefaultVersion().
   const Ormid::Version* version = nullptr;
   // Documents longer than this are refused before parsing.
   std::size_t maxBytes = std::size_t{64} << 20;
   // Values nested deeper than this (a data object, array item or boxed value is one level) are refused.
   int maxDepth = 64;
};

// The newest released version of the namespace registered last (the application's API namespace: the
// runtime's own namespaces register first). Raises Error when no registered namespace has a released
// version.
WIRE_API const Ormid::Version* DefaultVersion();
// "urn:<wireNamespace>" and "urn:<wireNamespace>/<versionId>" of a version (null: the default version).
// Raises Error for a version known only by name (no record).
WIRE_API std::string XmlNamespace(const Ormid::Version* version);
WIRE_API std::string SoapAction(const Ormid::Version* version);
// A version from a SOAPAction header value (quotes allowed), or null when no registered version matches.
WIRE_API const Ormid::Version* FindVersionBySoapAction(std::string_view soapAction);

// --- a value on its own ---
// <value xmlns="urn:..." xsi:type="...">...</value>. `value` must not be null.
WIRE_API std::string EncodeXml(const Ormid::Any* value, const EncodeOptions& options = {});
WIRE_API Pellum::Ref<Ormid::Any> DecodeXml(std::string_view document, const DecodeOptions& options = {});
// {"_type": "...", ...}.
WIRE_API std::string EncodeJson(const Ormid::Any* value, const EncodeOptions& options = {});
WIRE_API Pellum::Ref<Ormid::Any> DecodeJson(std::string_view document, const DecodeOptions& options = {});

// --- calls ---
// A call of `method` (a method or a property getter) on `target`: arguments in parameter order, null for
// an unset optional argument. The arguments are checked against the parameter records (count, types).
WIRE_API std::string EncodeRequest(const Ormid::ManagedMethod& method, const Ormid::MoRef& target,
                                   const std::vector<Pellum::Ref<Ormid::Any>>& args,
                                   const EncodeOptions& options = {});

struct Request {
   const Ormid::ManagedMethod* method = nullptr;
   Pellum::Ref<Ormid::MoRef> target;
   std::vector<Pellum::Ref<Ormid::Any>> args; // parameter order; null for an unset optional parameter
};
// Reads a request envelope: the operation is looked up on the type named by `_this` (own members first,
// then the bases'). An unknown type or operation, and a method that is not part of the version, are
// refused.
WIRE_API Request DecodeRequest(std::string_view document, const DecodeOptions& options = {});

// The answer to a call of `method`: the result (null for none), or a fault.
WIRE_API std::string EncodeResponse(const Ormid::ManagedMethod& method, const Ormid::Any* result,
                                    const EncodeOptions& options = {});
WIRE_API std::string EncodeFault(const Ormid::MethodFault& fault, std::string_view message,
                                 const EncodeOptions& options = {});

struct Response {
   Pellum::Ref<Ormid::Any> result;        // the result, or null
   Pellum::Ref<Ormid::MethodFault> fault; // the fault the server answered, or null
   std::string faultString;               // with a fault: its message
};
// Reads the response envelope of a call of `method`: the result, or the fault of a SOAP Fault.
WIRE_API Response DecodeResponse(std::string_view document, const Ormid::ManagedMethod& method,
                                 const DecodeOptions& options = {});

} // namespace Wire
