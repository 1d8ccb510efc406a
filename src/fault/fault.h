#pragma once

#include <string_view>

// Fault injection for crash-safety tests; inert unless the environment asks for it.
//
//   KIVTAB_FAULT=point[:n]   the n-th pass (default 1) of the named point kills the process
//                            with SIGKILL, as a power cut or `kill -9` would
//   KIVTAB_FAULT_TRACE=file  every pass appends its point's name to the file, one per line
//
// Points are the commits and step boundaries of a run (docs/operations.md lists them).
namespace fault {

void reach(std::string_view point);

}  // namespace fault
