// Every package of the schema with its counts of types by kind, as the build read them from the schema
// (schema_counts.py writes schema_counts.inc).
#pragma once

namespace {

struct PackageCount {
   const char* package;
   int dataAndFaults;
   int enums;
   int managed;
};

const PackageCount kSchemaCounts[] = {
#include "schema_counts.inc"
};

} // namespace
