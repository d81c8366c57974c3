// Compiled in the place of a front end of the commands library (ketrovane-calc,
// the Python module) by the tests of the layers: with the commands headers
// alone it compiles; with a header of the design layer or of the core,
// which a front end reaches only through the commands library, it must not.
#include "commands/call_values.hpp"
#include "commands/coupler_types.hpp"
#include "commands/requests.hpp"

#if defined(KETROVANE_PROBE_DESIGN)
#include "design/band_summary.hpp"
#elif defined(KETROVANE_PROBE_CORE)
#include "frequency/four_port.hpp"
#endif

namespace ketrovane::commands {

// A name of each kind the front ends take from the commands library.
int probe_front_end() {
  const BandSummary* summary = nullptr;
  const ScatteringMatrix* matrix = nullptr;
  return summary == nullptr && matrix == nullptr ? kScatteringPorts : 0;
}

}  // namespace ketrovane::commands
