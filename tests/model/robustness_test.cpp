// Every routine of the model accepts any float and answers for it: where the
// inputs lie in the range that single precision carries, the results are
// finite and ordered as the physics orders them; a NaN among the lengths, er,
// the frequency, the loss tangent, the resistivity or the impedances comes
// back as NaN, never as a number; and the same input gives the same bits
// again.  Run under the sanitizers this also checks for undefined behaviour.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Values that trouble floating point, and lengths at the edges of the range
// below (with b = 0.25: w/b = 0.01, s/b = 1e-9, t/b = 1e-6 and 0.8).
const std::vector<float>& awkward_values() {
  static const std::vector<float> values = {
      0.0F,
      -0.0F,
      -1.0F,
      1e-30F,
      std::numeric_limits<float>::denorm_min(),
      0.25F,
      1.0F,
      1e30F,
      std::numeric_limits<float>::max(),
      kInf,
      -kInf,
      kNaN,
      0.0025F,
      2.5e-10F,
      2.5e-7F,
      0.2F,
  };
  return values;
}

bool within(float v, float lo, float hi) {
  return v >= lo && v <= hi;
}

// The cross-sections whose impedances single precision carries: the
// preconditions b > t >= 0, w > 0, s > 0, er > 0, with b between a millionth
// and a million, w/b from 0.01 (narrower strips of zero thickness lose the
// complement of the modulus) and s/b from 1e-9, both up to 1e8, t/b up to 0.8
// (the range of the thick-strip fits) and er from 0.001 to 1000.
bool impedances_representable(const CrossSection& x) {
  const Board& p = x.board;
  return within(p.b, 1e-6F, 1e6F) && within(x.w / p.b, 0.01F, 1e8F) &&
         within(x.s / p.b, 1e-9F, 1e8F) && within(p.t / p.b, 0.0F, 0.8F) &&
         within(p.er, 1e-3F, 1e3F);
}

// The finite differences of the sensitivities and the loss also need a
// thickness that a step of 0.1 % moves, or none at all.
bool differences_representable(const CrossSection& x) {
  return impedances_representable(x) && (x.board.t == 0.0F || x.board.t / x.board.b >= 1e-6F);
}

bool any_nan(const CrossSection& x) {
  return std::isnan(x.board.b) || std::isnan(x.board.t) || std::isnan(x.board.er) ||
         std::isnan(x.w) || std::isnan(x.s);
}

// The inputs of a failing check, for its message.
template <typename... Parts>
std::string text(const Parts&... parts) {
  std::ostringstream out;
  ((out << parts << ' '), ...);
  return out.str();
}

std::string describe(const CrossSection& x) {
  return text("b", x.board.b, "t", x.board.t, "er", x.board.er, "w", x.w, "s", x.s);
}

bool finite_and_ordered(const ModeImpedances& m) {
  const Capacitances& c = m.capacitances;
  return std::isfinite(m.zoe) && m.zoo > 0.0F && m.zoo <= m.zoe &&
         std::isfinite(c.parallel_plate) && c.parallel_plate > 0.0F &&
         std::isfinite(c.outer_fringing) && c.outer_fringing > 0.0F &&
         std::isfinite(c.inner_fringing_odd) && c.inner_fringing_even <= c.inner_fringing_odd;
}

bool finite(const ModeSensitivities& m) {
  return m.er == -0.5F && std::isfinite(m.b) && std::isfinite(m.s) && std::isfinite(m.t) &&
         std::isfinite(m.w);
}

bool finite(const ModeAttenuation& a) {
  return std::isfinite(a.even_db_per_inch) && std::isfinite(a.odd_db_per_inch);
}

bool nan(const ModeAttenuation& a) {
  return std::isnan(a.even_db_per_inch) && std::isnan(a.odd_db_per_inch);
}

std::uint32_t bits(float v) {
  return std::bit_cast<std::uint32_t>(v);
}

bool same_bits(const ModeImpedances& a, const ModeImpedances& b) {
  const Capacitances& p = a.capacitances;
  const Capacitances& q = b.capacitances;
  return bits(a.zoe) == bits(b.zoe) && bits(a.zoo) == bits(b.zoo) &&
         bits(p.parallel_plate) == bits(q.parallel_plate) &&
         bits(p.outer_fringing) == bits(q.outer_fringing) &&
         bits(p.inner_fringing_even) == bits(q.inner_fringing_even) &&
         bits(p.inner_fringing_odd) == bits(q.inner_fringing_odd) &&
         a.zero_thickness_abandoned == b.zero_thickness_abandoned;
}

bool same_bits(const ModeAttenuation& a, const ModeAttenuation& b) {
  return bits(a.even_db_per_inch) == bits(b.even_db_per_inch) &&
         bits(a.odd_db_per_inch) == bits(b.odd_db_per_inch);
}

constexpr Conductor kCopper{6.7e-7F, 5e-6F};
constexpr CrossSection kCoupler{
    .board = {.b = 0.25F, .t = 0.01F, .er = 2.2F}, .w = 0.2F, .s = 0.04F};
constexpr CrossSection kCouplerOfZeroThickness{
    .board = {.b = 0.25F, .t = 0.0F, .er = 2.2F}, .w = 0.2F, .s = 0.04F};

// Impedances, sensitivities and loss of one cross-section, with what each
// must be for it.
void check_cross_section(const CrossSection& x) {
  const ModeImpedances m = mode_impedances(x);
  const ImpedanceSensitivities sen = impedance_sensitivities(x);
  const ModeAttenuation a = mode_attenuation(x, kCopper, 0.001F, 1000.0F);
  EXPECT_TRUE(same_bits(m, mode_impedances(x))) << describe(x);
  EXPECT_TRUE(same_bits(a, mode_attenuation(x, kCopper, 0.001F, 1000.0F))) << describe(x);
  if (impedances_representable(x)) {
    EXPECT_TRUE(finite_and_ordered(m)) << describe(x);
  }
  if (differences_representable(x)) {
    EXPECT_TRUE(finite(sen.even) && finite(sen.odd)) << describe(x);
    EXPECT_TRUE(finite(a)) << describe(x);
  }
  if (any_nan(x)) {
    EXPECT_TRUE(std::isnan(m.zoe) && std::isnan(m.zoo)) << describe(x);
    EXPECT_TRUE(std::isnan(sen.zoe) && std::isnan(sen.zoo)) << describe(x);
    EXPECT_TRUE(nan(a)) << describe(x);
  }
}

// The loss of a representable cross-section for any conductor, loss tangent
// and frequency: none at all at 0 Hz or below, finite for quantities that
// single precision carries, NaN for a NaN frequency, loss tangent or
// resistivity.
void check_loss_inputs(const CrossSection& x, const Conductor& conductor, float loss_tangent,
                       float f) {
  const ModeAttenuation a = mode_attenuation(x, conductor, loss_tangent, f);
  const std::string inputs =
      text(describe(x), "resistivity", conductor.resistivity_ohm_inch, "roughness",
           conductor.roughness_inch, "tan", loss_tangent, "f", f);
  EXPECT_TRUE(same_bits(a, mode_attenuation(x, conductor, loss_tangent, f))) << inputs;
  if (f <= 0.0F) {
    EXPECT_TRUE(a.even_db_per_inch == 0.0F && a.odd_db_per_inch == 0.0F) << inputs;
  } else if (std::isnan(f) || std::isnan(loss_tangent) ||
             std::isnan(conductor.resistivity_ohm_inch)) {
    EXPECT_TRUE(nan(a)) << inputs;
  } else if (within(f, 1e-3F, 1e6F) && within(loss_tangent, 0.0F, 1e3F) &&
             within(conductor.resistivity_ohm_inch, 0.0F, 1e3F) &&
             within(conductor.roughness_inch, 0.0F, 1e3F)) {
    EXPECT_TRUE(finite(a)) << inputs;
  }
}

// Coupler impedance and coupling from a mode pair: finite for impedances
// from a milliohm to a megohm, with Zo positive and the coupling negative or
// the sentinel; NaN for a NaN impedance.
void check_mode_pair(float zoe, float zoo) {
  const CouplerImpedance c = coupler_from_modes(ModePair{zoe, zoo});
  const std::string pair = text("Zoe", zoe, "Zoo", zoo);
  if (within(zoe, 1e-3F, 1e6F) && within(zoo, 1e-3F, 1e6F)) {
    EXPECT_TRUE(std::isfinite(c.zo) && c.zo > 0.0F) << pair;
    EXPECT_TRUE(c.coupling_db == kNoCoupling ||
                (std::isfinite(c.coupling_db) && c.coupling_db < 0.0F))
        << pair;
  }
  if (std::isnan(zoe) || std::isnan(zoo)) {
    EXPECT_TRUE(std::isnan(c.zo)) << pair;
  }
}

// Mode pair from a coupler: for Zo from a milliohm to a megohm and couplings
// from -300 to -0.001 dB, finite with Zoe >= Zoo > 0 and 0 < C < 1; NaN for a
// NaN input.
void check_coupler(float zo, float coupling_db) {
  const ModesOfCoupler m = modes_from_coupler(CouplerTarget{zo, coupling_db});
  const std::string target = text("Zo", zo, "coupling", coupling_db);
  if (within(zo, 1e-3F, 1e6F) && within(coupling_db, -300.0F, -1e-3F)) {
    EXPECT_TRUE(std::isfinite(m.zoe) && m.zoo > 0.0F && m.zoo <= m.zoe) << target;
    EXPECT_TRUE(m.coupling_factor > 0.0F && m.coupling_factor < 1.0F) << target;
  }
  if (std::isnan(zo) || std::isnan(coupling_db)) {
    EXPECT_TRUE(std::isnan(m.zoe)) << target;
  }
}

TEST(Robustness, AnyInputIsSafe) {
  const auto& v = awkward_values();
  for (const float b : {0.25F, 0.0F, -1.0F, kNaN}) {
    for (const float s : v) {
      for (const float t : v) {
        for (const float w : v) {
          check_cross_section({.board = {.b = b, .t = t, .er = 2.2F}, .w = w, .s = s});
        }
      }
    }
  }
  for (const float a : v) {
    for (const float c : v) {
      check_cross_section({.board = {.b = 0.25F, .t = 0.01F, .er = a}, .w = 0.2F, .s = 0.04F});
      check_loss_inputs(kCoupler, {c, a}, c, c);
      check_loss_inputs(kCouplerOfZeroThickness, {c, c}, a, a);
      check_mode_pair(a, c);
      check_coupler(a, c);
    }
  }
}

}  // namespace
}  // namespace ketrovane
