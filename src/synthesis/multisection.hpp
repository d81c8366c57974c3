// Coupling profiles of symmetric multi-section coupled-line couplers.
//
// A broadband coupler cascades an odd number N of coupled-line sections, each
// a quarter wave long at the centre frequency f0, with a profile that reads
// the same from either end (k_i = k_(N+1-i)), loosest at the ends and
// tightest in the middle.  With every section matched (Zoe_i Zoo_i = Zo^2)
// the cascade is matched and isolated at all frequencies, and its coupling
// is the even-mode reflection of the stepped line of impedances Zoe_i
// between Zo terminations.  The coupling is then a function of the
// electrical length theta = (pi/2) f/f0 alone, symmetric about f0.
//
// Three designs, each for N odd in 1..15 and a nominal coupling C in dB
// (positive, "10 dB" meaning a voltage coupling of 10^(-10/20)):
//   - equal ripple over a band f1..f2 (f0 their arithmetic mean): the
//     largest deviation of the coupling from C over the band as small as N
//     sections allow.  The deviation then reaches its largest size with
//     alternating signs at N + 2 frequencies of the band, the band edges and
//     f0 among them;
//   - the widest equal-ripple band about f0 for a given ripple;
//   - maximally flat at f0: the coupling is C at f0 and its derivatives with
//     respect to frequency of orders 1 through N vanish there (the odd ones
//     by symmetry), so that it departs from C as (f - f0)^(N + 1).
// The equal-ripple profile is found by a Remez exchange over the (N + 1)/2
// free couplings on the half band f1..f0, started from the small-reflection
// (first-order) approximation of a loose coupling and carried to the
// nominal coupling in steps.  The maximally flat profile is the root of the
// Taylor coefficients of the insertion-loss polynomial, found by Newton's
// method from the first-order flat profile and carried the same way.
//
// Frequencies are in MHz, though only their ratios matter.  Double
// precision; no input or output, no state: every function is thread-safe.
// A design that cannot be made is returned refused, with a message, never
// thrown.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace ketrovane {

inline constexpr int kMaxCouplerSections = 15;

// The largest voltage coupling a section is allowed: a middle section
// tighter than this is taken as not realisable.
inline constexpr double kMaxSectionCoupling = 0.9999;

// The least ripple design_for_ripple takes, dB: the exchange levels the
// deviation only down to a few 1e-10 dB, the rounding of the coupling in
// double precision.
inline constexpr double kLeastRippleDb = 1e-9;

// The largest deviation over a band (dB) at which the maximally flat
// profile stands in for an equal-ripple one the exchange cannot level: as
// good for any use there.
inline constexpr double kFlatStandInRippleDb = 1e-3;

struct MultisectionDesign {
  bool ok = false;
  std::string message;  // why the design was refused; empty when ok

  int sections = 0;          // N, odd
  double coupling_db = 0.0;  // nominal coupling C, dB, positive
  // Voltage coupling k_i = (Zoe_i - Zoo_i)/(Zoe_i + Zoo_i) of each section,
  // from the source end: N values, k_i = k_(N+1-i), each in (0, 1).
  std::vector<double> section_coupling;

  // The band the profile holds (MHz), f0 its arithmetic centre, and the
  // largest deviation of the coupling from C over it (dB, positive).  For a
  // maximally flat design f1 = f2 = f0 and the ripple is 0.
  double f0_mhz = 0.0;
  double f1_mhz = 0.0;
  double f2_mhz = 0.0;
  double ripple_db = 0.0;
  // True when the deviation is levelled to equal ripple over the band.  A
  // band so narrow for N that its equal ripple lies below about 2e-10 dB
  // cannot be levelled in double precision (nor one where the exchange ends
  // on a profile that loosens towards the middle or has a coupling that is
  // not positive); the maximally flat profile then stands in if its
  // deviation over the band stays below kFlatStandInRippleDb, with
  // ripple_db its sampled largest deviation.  False for a maximally flat
  // design.
  bool equal_ripple = false;
};

// Equal-ripple profile over f1..f2 (MHz, 0 < f1 < f2).
MultisectionDesign design_equal_ripple(int sections, double coupling_db, double f1_mhz,
                                       double f2_mhz);

// The maximally flat profile over f1..f2 (MHz) as it stands in for an
// equal-ripple one: refused where it deviates kFlatStandInRippleDb or more
// over the band; ripple_db its sampled largest deviation, equal_ripple false.
MultisectionDesign design_flat_over_band(int sections, double coupling_db, double f1_mhz,
                                         double f2_mhz);

// The widest band about f0 (MHz) whose equal-ripple deviation is
// ripple_db (dB, at least kLeastRippleDb).  The band is searched up
// to a 50:1 ratio of f2 to f1; a ripple that even 50:1 does not use up is
// refused.
MultisectionDesign design_for_ripple(int sections, double coupling_db, double f0_mhz,
                                     double ripple_db);

// Maximally flat profile about f0 (MHz); its band is f0 to f0 exactly.
MultisectionDesign design_maximally_flat(int sections, double coupling_db, double f0_mhz);

// Coupling in dB (positive) of the ideal matched cascade of quarter-wave
// sections of voltage couplings k (from the source end) at f/f0 = f_ratio.
double ideal_cascade_coupling_db(std::span<const double> section_coupling, double f_ratio);

struct ModeImpedancePair {
  double zoe;  // even-mode impedance, ohms
  double zoo;  // odd-mode impedance, ohms
};

// The sections' mode impedances for a coupler matched to zo_ohm:
// Zoe = Zo sqrt((1 + k)/(1 - k)), Zoo = Zo^2 / Zoe.
std::vector<ModeImpedancePair> matched_mode_impedances(std::span<const double> section_coupling,
                                                       double zo_ohm);

}  // namespace ketrovane
