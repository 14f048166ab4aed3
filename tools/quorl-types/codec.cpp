// `quorl-types encode` and `decode`.
#include "codec.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "example_value.h"
#include "ormid/Registry.h"
#include "ormid/ToString.h"
#include "ormid/Versions.h"
#include "pellum/Exception.h"
#include "wire/Codec.h"

namespace quorl_types {
namespace {

struct Arguments {
   std::string_view name;           // encode: the type; decode: the file ("-" or empty: standard input)
   std::string_view format = "xml"; // encode: --json / --xml; decode: --to
   const Ormid::Version* version = nullptr;
};

// A version by full name, by the name without its namespace's "<ns>.version." part, or by version id.
const Ormid::Version* FindVersion(std::string_view text) {
   auto& catalogue = Ormid::VersionCatalogue::Get();
   if (const Ormid::Version* v = catalogue.FindVersion(text)) {
      return v;
   }
   for (const Ormid::Version* v : catalogue.GetVersions()) {
      const std::string_view name = v->GetName();
      const auto dot = name.rfind('.');
      const Ormid::VersionRecord* r = v->GetRecord();
      if ((dot != std::string_view::npos && name.substr(dot + 1) == text) ||
          (r != nullptr && r->versionId != nullptr && *r->versionId != '\0' && text == r->versionId)) {
         return v;
      }
   }
   throw Pellum::Exception("unknown version \"" + std::string(text) + "\" (see `quorl-types versions`)");
}

// Reads the options after the command; answers false (with a message) on a word it does not know.
bool Parse(int argc, char** argv, bool encode, Arguments& args, std::ostream& err) {
   for (int i = 2; i < argc; ++i) {
      const std::string_view word = argv[i];
      if (word == "--version" && i + 1 < argc) {
         args.version = FindVersion(argv[++i]);
      } else if (encode && (word == "--json" || word == "--xml")) {
         args.format = word.substr(2);
      } else if (!encode && word == "--to" && i + 1 < argc) {
         args.format = argv[++i];
         if (args.format != "xml" && args.format != "json" && args.format != "text") {
            err << "quorl-types decode: --to takes xml, json or text, not \"" << args.format << "\"\n";
            return false;
         }
      } else if (args.name.empty() && (word == "-" || !word.starts_with("-"))) {
         args.name = word;
      } else {
         err << "quorl-types " << argv[1] << ": unexpected argument \"" << word << "\"\n";
         return false;
      }
   }
   if (encode && args.name.empty()) {
      err << "quorl-types encode: name the type of the value (a data object or fault)\n";
      return false;
   }
   return true;
}

std::string Encode(const Ormid::Any* value, std::string_view format, const Ormid::Version* version) {
   if (format == "text") {
      return Ormid::ToString(value) + "\n";
   }
   return format == "json" ? Wire::EncodeJson(value, {version}) + "\n" : Wire::EncodeXml(value, {version});
}

} // namespace

int EncodeCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
   Arguments args;
   if (!Parse(argc, argv, true, args, err)) {
      return 2;
   }
   auto& registry = Ormid::TypeRegistry::Get();
   Ormid::Type* type = registry.FindByName(args.name);
   if (type == nullptr) {
      type = registry.FindByWsdlName(args.name);
   }
   auto* dataType = dynamic_cast<Ormid::DataObjectType*>(type);
   if (dataType == nullptr) {
      err << "quorl-types encode: \"" << args.name << "\" is not a data object or fault"
          << (type == nullptr ? " (unknown name)" : "") << "\n";
      return 1;
   }
   Pellum::Ref<Ormid::DynamicData> value =
       BuildExampleValue(*dataType, ExampleOptions{.depth = kExampleDepth, .complete = true});
   out << Encode(value.GetPtr(), args.format, args.version);
   return 0;
}

int DecodeCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
   Arguments args;
   args.format.remove_prefix(args.format.size());
   if (!Parse(argc, argv, false, args, err)) {
      return 2;
   }
   std::string document;
   if (args.name.empty() || args.name == "-") {
      document.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
   } else {
      std::ifstream in{std::string(args.name), std::ios::binary};
      if (!in) {
         err << "quorl-types decode: cannot read " << args.name << "\n";
         return 1;
      }
      document.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
   }
   const std::size_t first = document.find_first_not_of(" \t\r\n");
   const bool json = first != std::string::npos && document[first] == '{';
   try {
      Pellum::Ref<Ormid::Any> value = json ? Wire::DecodeJson(document, {.version = args.version})
                                           : Wire::DecodeXml(document, {.version = args.version});
      // By default each format is written as the other.
      out << Encode(value.GetPtr(), args.format.empty() ? (json ? "xml" : "json") : args.format,
                    args.version);
   } catch (const Wire::DecodeError& e) {
      err << "quorl-types decode: " << (args.name.empty() ? "-" : args.name) << ": " << e.what() << "\n";
      return 1;
   }
   return 0;
}

} // namespace quorl_types
