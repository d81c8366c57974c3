// Even- and odd-mode impedances of two edge-coupled strips of finite
// thickness centred between ground planes, from Cohn's split of each strip's
// capacitance into parallel-plate, outer-fringing and inner-fringing parts.
//
// Sources:
//   [1] S. B. Cohn, "Characteristic impedance of the shielded-strip
//       transmission line", IRE Trans. MTT-2, pp. 52-57, July 1954: the
//       fringing capacitance C'f of the edge of a strip of thickness t.
//   [2] S. B. Cohn, "Shielded coupled-strip transmission line", IRE Trans.
//       MTT-3, pp. 29-38, Oct. 1955: the exact solution for strips of zero
//       thickness (moduli ke, ko), the inner fringing C'fe, C'fo of wide
//       strips, and the mode impedances from Cp, C'f and C'fe or C'fo.
//   [3] W. Hilberg, "From approximations to exact relations for
//       characteristic impedances", IEEE Trans. MTT-17, pp. 259-265, May
//       1969: K(k)/K(k') in elementary functions.
//
// Notation of [1] and [2], every capacitance per unit length of one strip and
// divided by the permittivity eps of the medium, so that it is a pure number
// of the geometry:
//   Cp/eps = 2w/(b - t)   parallel plate, strip face to one ground plane;
//   C'f/eps               fringing of the outer edge to one ground plane;
//   C'fe/eps, C'fo/eps    fringing of the inner (facing) edge to one ground
//                         plane, even and odd mode.
// Each strip sees both planes, so with eta the wave impedance of free space
//   Zoe = (eta/sqrt(er)) / (2 Cp/eps + 2 C'f/eps + 2 C'fe/eps)      [2]
// and Zoo likewise with C'fo.
//
// The inner fringing of thick strips at medium and wide gaps comes from two
// pairs of fitted tables whose origin is not recorded: double polynomials in
// 1/(s/b) and t/b, fitted to the odd-mode inner fringing C'fo and to the
// difference C'fo - C'fe of a thick strip's facing edge, for
// 0.01 < s/b < 0.25 and 0.2 < s/b < 1.5 (t/b up to 0.8 in use).  Beyond s/b
// = 1.45 the result approaches the isolated strip's outer fringing C'f
// geometrically.
//
// Every named value is rounded to single precision, and the float overloads of
// the mathematical functions are used throughout: the reports print these
// values to their last digit.
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

#include "common/constants.hpp"
#include "model/mode_impedances.hpp"
#include "model/single_strip.hpp"

namespace ketrovane {
namespace {

// Divisions by zero and logarithms of zero must give infinities, not traps:
// inputs outside the preconditions yield non-finite results.
static_assert(std::numeric_limits<float>::is_iec559, "IEEE 754 single precision required");

constexpr float kEta = kFreeSpaceImpedance;
// C'f/eps of an edge of zero thickness [1], ln(4)/pi = (2/pi) ln 2.
constexpr float kCf0 = (1.0F / kPi) * 1.3862944F;
// Hilberg's two forms of K(k)/K(k') [3] meet at k = k' = 1/sqrt(2).
constexpr float kHilbergSwitch = 0.70710677F;
// Below this t/b the zero-thickness solution is blended in.
constexpr float kThinStrip = 0.025F;

// Fit tables of the inner fringing of thick strips.  Row k holds the
// coefficient of x^k as a polynomial in t/b, constant term first.
template <std::size_t Columns>
using FitTable = std::array<std::array<float, Columns>, 5>;

// Band 2 (0.01 < s/b < 0.25), x = 1/(50 s/b): C'fo/eps.
// The tables are laid out as printed: row k, then the columns 1, t/b, ...
constexpr FitTable<7> kBand2Odd = {{
    {0.4575415F, 3.105563F, -69.39554F, 509.9916F, -1557.926F, 2066.037F, -984.5554F},
    {5.395694F, 26.7879F, 502.4063F, -3895.95F, 12131.98F, -16234.2F, 7773.168F},
    {-8.101533F, 90.07423F, -1924.125F, 14561.08F, -45156.17F, 60549.18F, -29113.06F},
    {5.968715F, -98.003F, 2157.435F, -16411.48F, 51140.36F, -68866.59F, 33234.63F},
    {-1.493597F, 29.15444F, -656.2325F, 5021.084F, -15702.14F, 21199.23F, -10250.97F},
}};

// Band 2: (C'fo - C'fe)/eps.
constexpr FitTable<7> kBand2Difference = {{
    {0.1826173F, 6.196729F, -159.5149F, 1236.51F, -3954.642F, 5446.261F, -2677.174F},
    {6.751294F, -23.08098F, 1767.889F, -14018.52F, 45221.55F, -62579.0F, 30855.64F},
    {-10.81597F, 225.0053F, -5275.901F, 41165.0F, -131584.1F, 181115.3F, -89009.66F},
    {8.163466F, -214.5252F, 4910.636F, -37907.71F, 120511.6F, -165373.8F, 81129.98F},
    {-2.06522F, 59.72072F, -1347.406F, 10337.82F, -32765.94F, 44890.95F, -22002.68F},
}};

// Band 3 (0.2 < s/b < 1.5), x = 1/(s/b): C'fo/eps.
constexpr FitTable<6> kBand3Odd = {{
    {0.441168F, 1.766289F, -5.042361F, 15.24187F, -19.79972F, 10.19769F},
    {-0.0480301F, -0.8773439F, 6.148933F, -18.64714F, 23.1358F, -10.33536F},
    {0.09605021F, 1.264824F, -7.707854F, 22.1599F, -26.49693F, 11.56186F},
    {-0.02084583F, -0.3614727F, 2.358717F, -5.504582F, 4.867807F, -1.450758F},
    {0.001465391F, 0.03535451F, -0.2109544F, 0.3145664F, 0.01449F, -0.1607911F},
}};

// Band 3: (C'fo - C'fe)/eps.
constexpr FitTable<6> kBand3Difference = {{
    {-0.001709384F, -0.0254831F, 0.1352451F, -0.434877F, 0.6517845F, -0.3523633F},
    {-0.09403757F, -0.3068855F, -0.2094742F, 0.09511933F, 0.2229045F, 0.0F},
    {0.1991336F, 0.7550466F, 0.1025042F, 0.06804638F, -0.4794646F, 0.0F},
    {-0.05056339F, -0.158847F, -0.1011083F, 0.04543319F, 0.1295368F, 0.0F},
    {0.004111421F, 0.01150458F, 0.01410419F, -0.006873305F, -0.01277668F, 0.0F},
}};

// C'fo/eps and C'fe/eps: the inner fringing of one edge to one ground plane.
struct InnerFringing {
  float odd;
  float even;
};

// Double polynomial of a fit table: sum over k of x^k times row k in tb.
template <std::size_t Columns>
float fit_polynomial(const FitTable<Columns>& table, float tb, float x) {
  float sum = 0.0F;
  for (std::size_t k = table.size(); k-- > 0;) {
    const auto& row = table[k];
    float coefficient = 0.0F;
    for (std::size_t c = Columns; c-- > 0;) coefficient = coefficient * tb + row[c];
    sum = sum * x + coefficient;
  }
  return sum;
}

// C'f/eps of the edge of a strip of thickness t [1]:
//   (1/pi) [2x ln(x + 1) - (x - 1) ln(x^2 - 1)],  x = 1/(1 - t/b),
// here in the equal form ((x + 1) ln(x + 1) - (x - 1) ln(x - 1))/pi, which
// cannot overflow; (x - 1) ln(x - 1) vanishes when x - 1 does.
float outer_fringing(float tb) {
  if (tb == 0.0F) return kCf0;
  const float x = 1.0F / (1.0F - tb);
  const float xp1 = x + 1.0F;
  const float xm1 = x - 1.0F;
  const float lower_term = xm1 == 0.0F ? 0.0F : xm1 * std::log(xm1);
  return (xp1 * std::log(xp1) - lower_term) / kPi;
}

// K(k)/K(k') for 1/sqrt(2) <= k < 1 [3]: (1/pi) ln(2 (1 + sqrt(k))/(1 - sqrt(k))).
// Both forms are within 3e-6 of the exact ratio, relative.
float elliptic_ratio_upper(float k) {
  const float rk = std::sqrt(k);
  return (1.0F / kPi) * std::log(2.0F * (1.0F + rk) / (1.0F - rk));
}

// K(k)/K(k') for 0 <= k < 1/sqrt(2) [3]: pi / ln(2 (1 + sqrt(k'))/(1 - sqrt(k'))),
// with the complementary modulus k' = sqrt(1 - k^2).
float elliptic_ratio_lower(float k) {
  const float kp = std::sqrt(1.0F - k * k);
  const float rkp = std::sqrt(kp);
  return kPi / std::log(2.0F * (1.0F + rkp) / (1.0F - rkp));
}

// K(k)/K(k') of the single sheet, k = tanh(a) < 1/sqrt(2), by Hilberg's
// lower form [3] with k' = sech(a) and 1 - sqrt(k') from
// 1 - sech(a) = 2 sinh^2(a/2)/cosh(a): narrow sheets keep their digits,
// where sqrt(1 - k^2) would round to 1.
float sheet_ratio_lower(float a) {
  const float kp = 1.0F / std::cosh(a);
  const float rkp = std::sqrt(kp);
  const float half = std::sinh(a / 2.0F);
  const float one_minus_rkp = (2.0F * half * half / std::cosh(a)) / (1.0F + rkp);
  return kPi / std::log(2.0F * (1.0F + rkp) / one_minus_rkp);
}

// tanh(4y) from r = tanh(y): 4r(1 + r^2)/(1 + 6r^2 + r^4).  Close to 1 this
// keeps digits that tanh(4y) itself rounds away.
float tanh_of_quadruple(float y) {
  const float r = std::tanh(y);
  const float r2 = r * r;
  return 4.0F * r * (1.0F + r2) / (1.0F + 6.0F * r2 + r2 * r2);
}

struct ZeroThicknessSolution {
  bool evaluated;  // false when a modulus rounds to 1 (flag j)
  float zoe;
  float zoo;
  float cfe0;  // C'fe/eps implied by the impedances
  float cfo0;  // C'fo/eps implied by the impedances
};

// Coupled strips of zero thickness, exact by conformal mapping [2]:
//   Zoe = (eta/(4 sqrt(er))) K(ke')/K(ke),  ke = tanh(a) tanh(c),
//   Zoo = (eta/(4 sqrt(er))) K(ko')/K(ko),  ko = tanh(a)/tanh(c),
// with a = pi w/2b, c = pi (w + s)/2b and K/K' from [3].  C'fe and C'fo are
// what remains of each mode's capacitance eta/(sqrt(er) Z) after 2 Cp + 2 C'f.
ZeroThicknessSolution zero_thickness_solution(const CrossSection& x, float sqrt_er, float cp,
                                              float cf) {
  const float a = kPi * x.w / (2.0F * x.board.b);
  const float c = kPi * (x.w + x.s) / (2.0F * x.board.b);
  const float tanh_a = std::tanh(a);
  const float tanh_c = std::tanh(c);
  float ke = tanh_a * tanh_c;
  const float ko = tanh_a / tanh_c;
  // Very wide strips or a vanishing gap: a modulus rounds to 1.
  if (ke >= 1.0F || ko >= 1.0F) return {false, 0.0F, 0.0F, 0.0F, 0.0F};

  float ratio_e = 0.0F;  // K(ke)/K(ke')
  if (ke >= kHilbergSwitch) {
    ke = tanh_of_quadruple(a / 4.0F) * tanh_of_quadruple(c / 4.0F);
    // The recomputed modulus can round to 1 as well (strips some five times
    // wider than b); Zoe would come out as 0.
    if (ke >= 1.0F) return {false, 0.0F, 0.0F, 0.0F, 0.0F};
    ratio_e = elliptic_ratio_upper(ke);
  } else {
    ratio_e = elliptic_ratio_lower(ke);
  }
  const float ratio_o = ko >= kHilbergSwitch ? elliptic_ratio_upper(ko) : elliptic_ratio_lower(ko);

  const float zoe = (kEta / (4.0F * sqrt_er)) / ratio_e;
  const float zoo = (kEta / (4.0F * sqrt_er)) / ratio_o;
  const float cfe0 = (kEta / (sqrt_er * zoe) - 2.0F * cp - 2.0F * cf) / 2.0F;
  const float cfo0 = (kEta / (sqrt_er * zoo) - 2.0F * cp - 2.0F * cf) / 2.0F;
  return {true, zoe, zoo, cfe0, cfo0};
}

// Band 1, narrow gaps.  The inner fringing of wide strips of zero thickness
// [2], with b - t for b:
//   C'fe/eps = (2/pi) ln(1 + tanh(theta)),  C'fo/eps = (2/pi) ln(1 + coth(theta)),
//   theta = pi s / 2(b - t);
// to C'fo the facing edges add t/s, their parallel-plate capacitance across
// the gap per plane, and (2/pi)(1 + ln(pi/8)).  Each mode's total
// capacitance is formed with the zero-thickness C'f swapped for that of the
// thick edge, and C'fe, C'fo are taken back out of it.
InnerFringing narrow_gap_band1(const CrossSection& x, float cp, float cf) {
  const float theta = kPi * x.s / (2.0F * (x.board.b - x.board.t));
  const float tanh_theta = std::tanh(theta);
  const float cfo_zero = (2.0F / kPi) * std::log(1.0F + 1.0F / tanh_theta);
  const float cfe_zero = (2.0F / kPi) * std::log(1.0F + tanh_theta);
  const float odd_edges = x.board.t / x.s + (2.0F / kPi) * (1.0F + std::log(kPi / 8.0F));

  const float total_odd_zero = 2.0F * cp + 2.0F * kCf0 + 2.0F * cfo_zero;
  const float total_odd = 2.0F * odd_edges + total_odd_zero + 2.0F * cf - 2.0F * kCf0;
  const float cfo = (total_odd - 2.0F * cp - 2.0F * cf) / 2.0F;

  const float total_even_zero = 2.0F * cp + 2.0F * kCf0 + 2.0F * cfe_zero;
  const float total_even = 2.0F * cf + total_even_zero - 2.0F * kCf0;
  const float cfe = (total_even - 2.0F * cp - 2.0F * cf) / 2.0F;
  return {cfo, cfe};
}

// Band 2, medium gaps: fits in x = 1/(50 s/b).
InnerFringing medium_gap_band2(float sb, float tb) {
  const float x = 1.0F / (50.0F * sb);
  const float cfo = fit_polynomial(kBand2Odd, tb, x);
  const float difference = fit_polynomial(kBand2Difference, tb, x);
  return {cfo, cfo - difference};
}

// Band 3, wide gaps: fits in x = 1/(s/b).
InnerFringing wide_gap_band3(float sb, float tb) {
  const float x = 1.0F / sb;
  const float cfo = fit_polynomial(kBand3Odd, tb, x);
  const float difference = fit_polynomial(kBand3Difference, tb, x);
  return {cfo, cfo - difference};
}

// Band 4, very wide gaps: geometric approach from the band-3 value at
// s/b = 1.45 to the isolated strip's C'f, c145^(1-p) C'f^p.
InnerFringing very_wide_gap_band4(float sb, float tb, float cf) {
  const InnerFringing at145 = wide_gap_band3(1.45F, tb);
  constexpr float kInverse145 = 0.6896551F;
  const float radicand = (kInverse145 - 1.0F / sb) / kInverse145;
  const float p = radicand < 0.0F ? 0.0F : std::sqrt(radicand);
  const float log_cf = std::log10(cf);
  const auto approach = [&](float c145) {
    const float log_c145 = std::log10(c145);
    return std::pow(10.0F, log_c145 - p * (log_c145 - log_cf));
  };
  return {approach(at145.odd), approach(at145.even)};
}

// Linear blend from the lower band (w = 0) to the upper band (w = 1).
InnerFringing blend(const InnerFringing& lower, const InnerFringing& upper, float w) {
  return {(1.0F - w) * lower.odd + w * upper.odd, (1.0F - w) * lower.even + w * upper.even};
}

// Inner fringing of thick strips: the band of s/b, blended linearly across
// 0.01-0.05, 0.2-0.25 and 1.45-1.5.  At 0.01, 0.2 and 1.45 the blend weight is
// 0, so the lower band alone gives the value there.
InnerFringing thick_strip_inner_fringing(const CrossSection& x, float tb, float cp, float cf) {
  const float sb = x.s / x.board.b;
  if (sb <= 0.01F) return narrow_gap_band1(x, cp, cf);
  if (sb < 0.05F) {
    return blend(narrow_gap_band1(x, cp, cf), medium_gap_band2(sb, tb), sb / 0.04F - 0.25F);
  }
  if (sb <= 0.2F) return medium_gap_band2(sb, tb);
  if (sb < 0.25F) {
    return blend(medium_gap_band2(sb, tb), wide_gap_band3(sb, tb), sb / 0.05F - 4.0F);
  }
  if (sb <= 1.45F) return wide_gap_band3(sb, tb);
  if (sb < 1.5F) {
    return blend(wide_gap_band3(sb, tb), very_wide_gap_band4(sb, tb, cf), sb / 0.05F - 29.0F);
  }
  return very_wide_gap_band4(sb, tb, cf);
}

// Thin strips, 0 < t/b < 0.025: linear in t/b from the zero-thickness values
// to the thick-strip fits.
InnerFringing thin_strip_blend(const ZeroThicknessSolution& zero, const InnerFringing& thick,
                               float tb) {
  const float q = tb / kThinStrip;
  return {(1.0F - q) * zero.cfo0 + q * thick.odd, (1.0F - q) * zero.cfe0 + q * thick.even};
}

}  // namespace

ModeImpedances mode_impedances(const CrossSection& x) {
  const float tb = x.board.t / x.board.b;
  const float cp = 2.0F * x.w / (x.board.b - x.board.t);  // Cp/eps
  const float cf = outer_fringing(tb);                    // C'f/eps
  const float sqrt_er = std::sqrt(x.board.er);

  ZeroThicknessSolution zero{};
  bool abandoned = false;
  if (tb <= kThinStrip) {
    zero = zero_thickness_solution(x, sqrt_er, cp, cf);
    if (!zero.evaluated) {
      // Deliberate: from here on the thick-strip fits alone give the result,
      // without the thin-strip blend, even for t = 0 (pinned by
      // ImpedanceModel.VeryWideStripsUseTheThickStripFitsAlone).
      abandoned = true;
    } else if (tb == 0.0F) {
      // Strips of zero thickness: the zero-thickness solution alone.  When
      // tanh(pi (w+s)/2b) rounds to 1 the even mode can come out a rounding
      // error more tightly coupled than the odd; the clamp holds it equal.
      if (zero.cfe0 > zero.cfo0) {
        zero.cfe0 = zero.cfo0;
        zero.zoe = zero.zoo;
      }
      return {zero.zoe, zero.zoo, {cp, cf, zero.cfe0, zero.cfo0}, abandoned};
    }
  }

  const InnerFringing thick = thick_strip_inner_fringing(x, tb, cp, cf);
  InnerFringing inner =
      (tb > 0.0F && tb < kThinStrip && !abandoned) ? thin_strip_blend(zero, thick, tb) : thick;
  if (inner.even > inner.odd) inner.even = inner.odd;  // even-mode coupling cannot exceed odd

  // The mode impedances from the capacitance split [2].
  const float eta_over_sqrt_er = kEta / sqrt_er;
  const float zoe = eta_over_sqrt_er / (2.0F * cp + 2.0F * cf + 2.0F * inner.even);
  const float zoo = eta_over_sqrt_er / (2.0F * cp + 2.0F * cf + 2.0F * inner.odd);
  return {zoe, zoo, {cp, cf, inner.even, inner.odd}, abandoned};
}

// The single strip (single_strip.hpp): the coupled model with both edges
// outer edges.  Its sheet is the coupled sheet's even mode as s grows,
// ke = tanh(a) tanh(c) tending to tanh(a).
StripImpedance strip_impedance(const Board& board, float w) {
  const float tb = board.t / board.b;
  const float cp = 2.0F * w / (board.b - board.t);  // Cp/eps
  const float cf = outer_fringing(tb);              // C'f/eps
  const float sqrt_er = std::sqrt(board.er);
  const float eta_over_sqrt_er = kEta / sqrt_er;
  const float thick = eta_over_sqrt_er / (2.0F * cp + 4.0F * cf);
  if (tb >= kThinStrip) return {thick, false};
  const float a = kPi * w / (2.0F * board.b);
  float k = std::tanh(a);
  if (k >= kHilbergSwitch) k = tanh_of_quadruple(a / 4.0F);
  if (k >= 1.0F) return {thick, true};
  const float ratio = k >= kHilbergSwitch ? elliptic_ratio_upper(k) : sheet_ratio_lower(a);
  const float sheet = (kEta / (4.0F * sqrt_er)) / ratio;
  if (tb == 0.0F) return {sheet, false};
  // The sheet's edge fringing implied by its impedance, blended to C'f.
  const float cf0 = (eta_over_sqrt_er / sheet - 2.0F * cp - 2.0F * cf) / 2.0F;
  const float q = tb / kThinStrip;
  const float edges = (1.0F - q) * cf0 + q * cf;
  return {eta_over_sqrt_er / (2.0F * cp + 2.0F * cf + 2.0F * edges), false};
}

}  // namespace ketrovane
