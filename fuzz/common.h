// What the decoders' fuzz targets share: the limits they decode with, and the round trip every document the
// decoder accepts must survive.
//
// A target decodes its input. Wire::DecodeError is the answer to bad input and ends the run of that input;
// any other exception is left to escape (libFuzzer reports it). A value the decoder accepted is written
// again with the matching encoder (the same version: the default one) and read back, and then
//   - the encoder must take it: every refusal Codec.h documents for encoding (text XML cannot carry,
//     date-times outside 0001-9999, enumeration ordinals outside the enumeration, unset required
//     properties) is also a refusal of the decoder, so a Wire::EncodeError here is a finding;
//   - the decoder must take what the encoder wrote;
//   - the two values must be equal (Ormid::AreEqual), and writing the second must give the first document
//     again. A NaN equals nothing (Ormid::Primitive), so a document that holds the letters "NaN" is held
//     to the second check alone.
// A broken rule prints what went wrong and the documents, then traps: libFuzzer keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ormid/Any.h"
#include "ormid/Registry.h"
#include "ormid/Versions.h"
#include "wire/Codec.h"

namespace quorl_fuzz {

inline const Wire::DecodeOptions kLimits{
    .version = nullptr, .maxBytes = std::size_t{1} << 20, .maxDepth = 32};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
   return {reinterpret_cast<const char*>(data), size};
}

[[noreturn]] inline void Finding(std::string_view what, std::string_view detail) {
   std::fprintf(stderr, "\n=== round-trip finding: %.*s\n%.*s\n===\n", static_cast<int>(what.size()),
                what.data(), static_cast<int>(detail.size()), detail.data());
   __builtin_trap();
}

// The targets decode the Quorl namespace: without it registered they would only ever see unknown types.
inline void RequireQuorlTypes() {
   if (Ormid::TypeRegistry::Get().FindByName("quorl.Folder") == nullptr) {
      std::fprintf(stderr, "fuzz: the Quorl types are not registered (is libquorl-types linked?)\n");
      std::abort();
   }
}

// Writes a decoded value again; a refusal is a finding.
template <class Encode> std::optional<std::string> Rewrite(Encode&& encode, std::string_view input) {
   try {
      return encode();
   } catch (const Wire::EncodeError& e) {
      Finding("the encoder refuses a value the decoder accepted",
              std::string(e.what()) + "\n--- input:\n" + std::string(input));
   }
}

// Reads what the encoder wrote; a refusal is a finding.
template <class Decode> auto ReadBack(Decode&& decode, const std::string& written) {
   try {
      return decode(written);
   } catch (const Wire::DecodeError& e) {
      Finding("the decoder refuses what the encoder wrote",
              std::string(e.what()) + "\n--- written:\n" + written);
   }
}

inline bool HoldsNaN(const std::string& document) {
   return document.find("NaN") != std::string::npos;
}

// The value read back against the first one, and the document the second value writes against the first
// document.
inline void CheckSame(const Ormid::Any* first, const Ormid::Any* second, const std::string& written,
                      const std::string& rewritten, std::string_view what) {
   if (!Ormid::AreEqual(first, second) && !HoldsNaN(written)) {
      std::string diff;
      if (first == nullptr || second == nullptr) {
         diff = first == nullptr ? "null became a value" : "a value became null";
      } else if (first->_GetType() != second->_GetType()) {
         diff =
             std::string("a ") + first->_GetType()->GetName() + " became a " + second->_GetType()->GetName();
      } else {
         diff = "differs at: " + Ormid::DiffProperties(first, second).ToString();
      }
      Finding(std::string(what) + " read back differs", diff + "\n--- written:\n" + written);
   }
   if (rewritten != written) {
      Finding(std::string(what) + " written twice differs",
              "--- first:\n" + written + "\n--- second:\n" + rewritten);
   }
}

} // namespace quorl_fuzz
