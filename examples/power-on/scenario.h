// The power-on example: a client powers on a virtual machine served in the same process.
#pragma once

#include <iosfwd>
#include <string>

#include "ormid/Loopback.h"
#include "ormid/MoRef.h"

// Runs the whole story (serve a machine, power it on, wait for the task, try again and get the fault),
// writing what happens to `out`. Returns 0 when every step went as expected, 1 otherwise (the reason is
// written to `out`). Never exits the process; may be called more than once.
int RunPowerOnScenario(std::ostream& out);

// Serves a new, powered-off virtual machine of the example with `adapter` (its power-on tasks too) and
// answers its reference. The adapter must outlive every call on the machine.
Pellum::Ref<Ormid::MoRef> ServeExampleMachine(Ormid::LoopbackAdapter& adapter, const std::string& id,
                                              const std::string& name);
