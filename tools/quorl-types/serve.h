// `quorl-types serve`: the power-on example's virtual machines, a service instance and a session manager
// served over HTTP(S) until the process is interrupted.
#pragma once

#include <iosfwd>

namespace quorl_types {

// serve [--address A] [--port N] [--tls CERT KEY] [--user NAME:PASSWORD[:PRIVILEGE,...]]...
// Answers the exit status.
int ServeCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace quorl_types
