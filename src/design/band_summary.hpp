// What a coupler's response over frequency comes to, as a coupler is
// specified: the coupling at its centre frequency, the band over which the
// coupling stays within a flatness of that value, and over that band the
// worst directivity, return loss, isolation and quadrature error, and the
// range of the amplitude balance; of a multi-section coupler, over the band
// of its profile, with the ripple it realises.
#pragma once

#include <functional>
#include <optional>
#include <span>

#include "design/ranges.hpp"
#include "design/row_kernel.hpp"
#include "synthesis/multisection.hpp"

namespace ketrovane {

struct BandEdge {
  float f_mhz;        // where the coupling leaves the flatness, between two rows
  bool beyond_sweep;  // still within it at the end of the swept range (f_mhz is that end)
};

struct BandSummary {
  float f0_mhz;
  float coupling_at_f0_db;  // negative, as the columns print it
  float flatness_db;
  // No band when f0 lies outside the swept frequencies.
  std::optional<BandEdge> low;
  std::optional<BandEdge> high;
  // Over the band, f0 and every swept frequency within it.
  float worst_directivity_db;        // the least
  float worst_return_loss_db;        // the least
  float worst_quadrature_error_deg;  // the largest magnitude, with its sign
  // |S41| - |S21|, the least and the greatest.
  float least_amplitude_balance_db;
  float greatest_amplitude_balance_db;
  float worst_isolation_db;  // -S31, the least
};

// A coupler's response at a frequency (MHz), as its rows give it.
using ResponseAt = std::function<FourPortResponse(float f_mhz)>;

// The rows are the response of `coupler` at the frequencies of `f`; an
// edge lies where the coupling's distance from its value at f0 crosses the
// flatness, found linearly between the last row within it and the first
// beyond.
BandSummary band_summary(const ResponseCoupler& coupler, Terminations terminations, const Axis& f,
                         float f0_mhz, float flatness_db);
// The same over frequencies listed in increasing order.
BandSummary band_summary(const ResponseCoupler& coupler, Terminations terminations,
                         std::span<const float> f_mhz, float f0_mhz, float flatness_db);
// The same of any coupler's response.
BandSummary band_summary(const ResponseAt& response, const Axis& f, float f0_mhz,
                         float flatness_db);
// The same over frequencies listed in increasing order.
BandSummary band_summary(const ResponseAt& response, std::span<const float> f_mhz, float f0_mhz,
                         float flatness_db);

// The flatness about the coupling at f0 whose band a maximally flat
// profile is summarised over: the response's default.
inline constexpr float kFlatProfileFlatnessDb = 0.5F;

// What a multi-section coupler's response comes to over its profile's band.
// An equal-ripple profile's band is its design band, f1 to f2: the summary
// takes its ends, f0 and every swept frequency within it, its flatness is
// the profile's ideal ripple, and the realised ripple is the largest
// distance of the coupling from the nominal one there.  A maximally flat
// profile's band is where the coupling stays within kFlatProfileFlatnessDb
// of its value at f0, as a response's is.
struct ProfileSummary {
  BandSummary band;
  float nominal_coupling_db;                // negative
  float ideal_ripple_db;                    // of the profile, 0 for a maximally flat one
  std::optional<float> realised_ripple_db;  // equal ripple only
  int swept_in_band;  // the swept frequencies the summary took within the band
};

ProfileSummary profile_summary(const ResponseAt& response, const Axis& f,
                               const MultisectionDesign& design);
// The same over frequencies listed in increasing order.
ProfileSummary profile_summary(const ResponseAt& response, std::span<const float> f_mhz,
                               const MultisectionDesign& design);

}  // namespace ketrovane
