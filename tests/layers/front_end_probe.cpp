// Compiled in the place of a front end of the batch library (ketrovane-calc,
// the Python module) by the tests of the layers: with the batch headers
// alone it compiles; with a header of the design layer or of the core,
// which a front end reaches only through the batch library, it must not.
#include "batch/call_values.hpp"
#include "batch/coupler_types.hpp"
#include "batch/requests.hpp"

#if defined(KETROVANE_PROBE_DESIGN)
#include "design/band_summary.hpp"
#elif defined(KETROVANE_PROBE_CORE)
#include "frequency/four_port.hpp"
#endif

namespace ketrovane::batch {

// A name of each kind the front ends take from the batch library.
int probe_front_end() {
  const BandSummary* summary = nullptr;
  const ScatteringMatrix* matrix = nullptr;
  return summary == nullptr && matrix == nullptr ? kScatteringPorts : 0;
}

}  // namespace ketrovane::batch
