// `quorl-types encode` and `decode`: values as the wire codec writes them (docs/wire.md).
#pragma once

#include <iosfwd>

namespace quorl_types {

// encode NAME [--json|--xml] [--version V]: an example value of a data object or fault, as a document.
// decode [FILE|-] [--to xml|json|text] [--version V]: reads a value document (XML or JSON, told apart by
// its first character) and writes it in the other format, or as text. Answer the exit status; bad
// arguments and bad documents are reported on `err`.
int EncodeCommand(int argc, char** argv, std::ostream& out, std::ostream& err);
int DecodeCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace quorl_types
