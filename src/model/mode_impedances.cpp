// Even- and odd-mode impedances of two edge-coupled strips of finite
// thickness between ground planes, from Cohn's split of each strip's
// capacitance into parallel-plate, outer-fringing and inner-fringing parts:
//
//   S. B. Cohn, "Characteristic impedance of the shielded-strip transmission
//   line", IRE Trans. MTT-2, 1954 (outer fringing of a thick strip);
//   S. B. Cohn, "Shielded coupled-strip transmission line", IRE Trans. MTT-3,
//   1955 (zero-thickness solution, narrow-gap inner fringing);
//   W. Hilberg, "From approximations to exact relations for characteristic
//   impedances", IEEE Trans. MTT-17, 1969 (K(k)/K'(k)).
//
// The inner fringing of thick strips at medium and wide gaps comes from two
// pairs of fitted tables whose origin is not recorded: double polynomials in
// 1/(s/b) and t/b, fitted to the odd-mode inner fringing capacitance and to
// the odd-minus-even difference of a thick strip's facing edge, for
// 0.01 < s/b < 0.25 and 0.2 < s/b < 1.5 (t/b up to 0.8 in use).  Beyond s/b
// = 1.45 the result approaches the isolated strip's outer fringing
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

namespace ketrovane {
namespace {

// Divisions by zero and logarithms of zero must give infinities, not traps:
// inputs outside the preconditions yield non-finite results.
static_assert(std::numeric_limits<float>::is_iec559, "IEEE 754 single precision required");

constexpr float kEta = kFreeSpaceImpedance;
// Outer fringing of a strip of zero thickness, ln(4)/pi.
constexpr float kCf0 = (1.0F / kPi) * 1.3862944F;
// Hilberg's two forms of K/K' meet at k = 1/sqrt(2).
constexpr float kHilbergSwitch = 0.70710677F;
// Below this t/b the zero-thickness solution is blended in.
constexpr float kThinStrip = 0.025F;

// Fit tables of the inner fringing of thick strips.  Row k holds the
// coefficient of x^k as a polynomial in t/b, constant term first.
template <std::size_t Columns>
using FitTable = std::array<std::array<float, Columns>, 5>;

// Band 2 (0.01 < s/b < 0.25), x = 1/(50 s/b): odd-mode inner fringing.
// The tables are laid out as printed: row k, then the columns 1, t/b, ...
constexpr FitTable<7> kBand2Odd = {{
    {0.4575415F, 3.105563F, -69.39554F, 509.9916F, -1557.926F, 2066.037F, -984.5554F},
    {5.395694F, 26.7879F, 502.4063F, -3895.95F, 12131.98F, -16234.2F, 7773.168F},
    {-8.101533F, 90.07423F, -1924.125F, 14561.08F, -45156.17F, 60549.18F, -29113.06F},
    {5.968715F, -98.003F, 2157.435F, -16411.48F, 51140.36F, -68866.59F, 33234.63F},
    {-1.493597F, 29.15444F, -656.2325F, 5021.084F, -15702.14F, 21199.23F, -10250.97F},
}};

// Band 2: odd minus even inner fringing.
constexpr FitTable<7> kBand2Difference = {{
    {0.1826173F, 6.196729F, -159.5149F, 1236.51F, -3954.642F, 5446.261F, -2677.174F},
    {6.751294F, -23.08098F, 1767.889F, -14018.52F, 45221.55F, -62579.0F, 30855.64F},
    {-10.81597F, 225.0053F, -5275.901F, 41165.0F, -131584.1F, 181115.3F, -89009.66F},
    {8.163466F, -214.5252F, 4910.636F, -37907.71F, 120511.6F, -165373.8F, 81129.98F},
    {-2.06522F, 59.72072F, -1347.406F, 10337.82F, -32765.94F, 44890.95F, -22002.68F},
}};

// Band 3 (0.2 < s/b < 1.5), x = 1/(s/b): odd-mode inner fringing.
constexpr FitTable<6> kBand3Odd = {{
    {0.441168F, 1.766289F, -5.042361F, 15.24187F, -19.79972F, 10.19769F},
    {-0.0480301F, -0.8773439F, 6.148933F, -18.64714F, 23.1358F, -10.33536F},
    {0.09605021F, 1.264824F, -7.707854F, 22.1599F, -26.49693F, 11.56186F},
    {-0.02084583F, -0.3614727F, 2.358717F, -5.504582F, 4.867807F, -1.450758F},
    {0.001465391F, 0.03535451F, -0.2109544F, 0.3145664F, 0.01449F, -0.1607911F},
}};

// Band 3: odd minus even inner fringing.
constexpr FitTable<6> kBand3Difference = {{
    {-0.001709384F, -0.0254831F, 0.1352451F, -0.434877F, 0.6517845F, -0.3523633F},
    {-0.09403757F, -0.3068855F, -0.2094742F, 0.09511933F, 0.2229045F, 0.0F},
    {0.1991336F, 0.7550466F, 0.1025042F, 0.06804638F, -0.4794646F, 0.0F},
    {-0.05056339F, -0.158847F, -0.1011083F, 0.04543319F, 0.1295368F, 0.0F},
    {0.004111421F, 0.01150458F, 0.01410419F, -0.006873305F, -0.01277668F, 0.0F},
}};

// Inner fringing of one edge per ground plane, odd and even mode.
struct InnerFringing {
  float odd;
  float even;
};

// Double polynomial of a fit table: sum over k of x^k times row k in tb.
template <std::size_t Columns>
float fitPolynomial(const FitTable<Columns>& table, float tb, float x) {
  float sum = 0.0F;
  for (std::size_t k = table.size(); k-- > 0;) {
    const auto& row = table[k];
    float coefficient = 0.0F;
    for (std::size_t c = Columns; c-- > 0;) coefficient = coefficient * tb + row[c];
    sum = sum * x + coefficient;
  }
  return sum;
}

// Cohn's outer fringing of a strip of thickness t, per edge and plane:
// ((x+1) ln(x+1) - (x-1) ln(x-1)) / pi with x = 1/(1 - t/b).  The logarithmic
// form cannot overflow; (x-1) ln(x-1) vanishes when x-1 does.
float outerFringing(float tb) {
  if (tb == 0.0F) return kCf0;
  const float x = 1.0F / (1.0F - tb);
  const float xp1 = x + 1.0F;
  const float xm1 = x - 1.0F;
  const float lowerTerm = xm1 == 0.0F ? 0.0F : xm1 * std::log(xm1);
  return (xp1 * std::log(xp1) - lowerTerm) / kPi;
}

// Hilberg's K(k)/K'(k) for 1/sqrt(2) <= k < 1.
float ellipticRatioUpper(float k) {
  const float rk = std::sqrt(k);
  return (1.0F / kPi) * std::log(2.0F * (1.0F + rk) / (1.0F - rk));
}

// Hilberg's K(k)/K'(k) for 0 <= k < 1/sqrt(2), through k' = sqrt(1 - k^2).
float ellipticRatioLower(float k) {
  const float kp = std::sqrt(1.0F - k * k);
  const float rkp = std::sqrt(kp);
  return kPi / std::log(2.0F * (1.0F + rkp) / (1.0F - rkp));
}

// tanh(4y) from r = tanh(y): 4r(1 + r^2)/(1 + 6r^2 + r^4).  Close to 1 this
// keeps digits that tanh(4y) itself rounds away.
float tanhOfQuadruple(float y) {
  const float r = std::tanh(y);
  const float r2 = r * r;
  return 4.0F * r * (1.0F + r2) / (1.0F + 6.0F * r2 + r2 * r2);
}

struct ZeroThicknessSolution {
  bool evaluated;  // false when a modulus rounds to 1 (flag j)
  float zoe;
  float zoo;
  float cfe0;  // inner fringing implied by the impedances
  float cfo0;
};

// Cohn's coupled strips of zero thickness: conformal mapping with moduli
// ke = tanh(a) tanh(c), ko = tanh(a)/tanh(c), a = pi w/2b, c = pi (w+s)/2b.
ZeroThicknessSolution zeroThicknessSolution(const CrossSection& x, float sqrter, float cpa,
                                            float cf) {
  const float dtp1 = kPi * x.w / (2.0F * x.board.b);
  const float dtp2 = kPi * (x.w + x.s) / (2.0F * x.board.b);
  const float tanh1 = std::tanh(dtp1);
  const float tanh2 = std::tanh(dtp2);
  float dke = tanh1 * tanh2;
  const float dko = tanh1 / tanh2;
  // Very wide strips or a vanishing gap: a modulus rounds to 1.
  if (dke >= 1.0F || dko >= 1.0F) return {false, 0.0F, 0.0F, 0.0F, 0.0F};

  float dkdkpe = 0.0F;
  if (dke >= kHilbergSwitch) {
    dke = tanhOfQuadruple(dtp1 / 4.0F) * tanhOfQuadruple(dtp2 / 4.0F);
    // The recomputed modulus can round to 1 as well (strips some five times
    // wider than b); Zoe would come out as 0.
    if (dke >= 1.0F) return {false, 0.0F, 0.0F, 0.0F, 0.0F};
    dkdkpe = ellipticRatioUpper(dke);
  } else {
    dkdkpe = ellipticRatioLower(dke);
  }
  const float dkdkpo = dko >= kHilbergSwitch ? ellipticRatioUpper(dko) : ellipticRatioLower(dko);

  const float zoe = (kEta / (4.0F * sqrter)) / dkdkpe;
  const float zoo = (kEta / (4.0F * sqrter)) / dkdkpo;
  const float cfe0 = (kEta / (sqrter * zoe) - 2.0F * cpa - 2.0F * cf) / 2.0F;
  const float cfo0 = (kEta / (sqrter * zoo) - 2.0F * cpa - 2.0F * cf) / 2.0F;
  return {true, zoe, zoo, cfe0, cfo0};
}

// Band 1, narrow gaps: Cohn's zero-thickness inner fringing of a gap between
// half-planes, plus the parallel-plate capacitance t/s between the facing edges
// in the odd mode.
InnerFringing narrowGapBand1(const CrossSection& x, float cpa, float cf) {
  const float theta = kPi * x.s / (2.0F * (x.board.b - x.board.t));
  const float tanhTheta = std::tanh(theta);
  const float cfop0 = (2.0F / kPi) * std::log(1.0F + 1.0F / tanhTheta);
  const float cfep0 = (2.0F / kPi) * std::log(1.0F + tanhTheta);
  const float dc = x.board.t / x.s + (2.0F / kPi) * (1.0F + std::log(kPi / 8.0F));

  const float coo0 = 2.0F * cpa + 2.0F * kCf0 + 2.0F * cfop0;
  const float coot = 2.0F * dc + coo0 + 2.0F * cf - 2.0F * kCf0;
  const float cfot1 = (coot - 2.0F * cpa - 2.0F * cf) / 2.0F;

  const float coe0 = 2.0F * cpa + 2.0F * kCf0 + 2.0F * cfep0;
  const float coet = 2.0F * cf + coe0 - 2.0F * kCf0;
  const float cfet1 = (coet - 2.0F * cpa - 2.0F * cf) / 2.0F;
  return {cfot1, cfet1};
}

// Band 2, medium gaps: fits in x = 1/(50 s/b).
InnerFringing mediumGapBand2(float sb, float tb) {
  const float x = 1.0F / (50.0F * sb);
  const float cfot2 = fitPolynomial(kBand2Odd, tb, x);
  const float dc = fitPolynomial(kBand2Difference, tb, x);
  return {cfot2, cfot2 - dc};
}

// Band 3, wide gaps: fits in x = 1/(s/b).
InnerFringing wideGapBand3(float sb, float tb) {
  const float x = 1.0F / sb;
  const float cfot3 = fitPolynomial(kBand3Odd, tb, x);
  const float dc = fitPolynomial(kBand3Difference, tb, x);
  return {cfot3, cfot3 - dc};
}

// Band 4, very wide gaps: geometric approach from the band-3 value at
// s/b = 1.45 to the isolated strip's outer fringing, c145^(1-p) cf^p.
InnerFringing veryWideGapBand4(float sb, float tb, float cf) {
  const InnerFringing at145 = wideGapBand3(1.45F, tb);
  constexpr float kInverse145 = 0.6896551F;
  const float radicand = (kInverse145 - 1.0F / sb) / kInverse145;
  const float p = radicand < 0.0F ? 0.0F : std::sqrt(radicand);
  const float logCf = std::log10(cf);
  const auto approach = [&](float c145) {
    const float logC145 = std::log10(c145);
    return std::pow(10.0F, logC145 - p * (logC145 - logCf));
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
InnerFringing thickStripInnerFringing(const CrossSection& x, float tb, float cpa, float cf) {
  const float sb = x.s / x.board.b;
  if (sb <= 0.01F) return narrowGapBand1(x, cpa, cf);
  if (sb < 0.05F) {
    return blend(narrowGapBand1(x, cpa, cf), mediumGapBand2(sb, tb), sb / 0.04F - 0.25F);
  }
  if (sb <= 0.2F) return mediumGapBand2(sb, tb);
  if (sb < 0.25F) return blend(mediumGapBand2(sb, tb), wideGapBand3(sb, tb), sb / 0.05F - 4.0F);
  if (sb <= 1.45F) return wideGapBand3(sb, tb);
  if (sb < 1.5F) {
    return blend(wideGapBand3(sb, tb), veryWideGapBand4(sb, tb, cf), sb / 0.05F - 29.0F);
  }
  return veryWideGapBand4(sb, tb, cf);
}

// Thin strips, 0 < t/b < 0.025: linear in t/b from the zero-thickness values
// to the thick-strip fits.
InnerFringing thinStripBlend(const ZeroThicknessSolution& zero, const InnerFringing& thick,
                             float tb) {
  const float q = tb / kThinStrip;
  return {(1.0F - q) * zero.cfo0 + q * thick.odd, (1.0F - q) * zero.cfe0 + q * thick.even};
}

}  // namespace

ModeImpedances mode_impedances(const CrossSection& x) {
  const float tb = x.board.t / x.board.b;
  const float cpa = 2.0F * x.w / (x.board.b - x.board.t);  // parallel plate, per plane
  const float cf = outerFringing(tb);
  const float sqrter = std::sqrt(x.board.er);

  ZeroThicknessSolution zero{};
  bool abandoned = false;
  if (tb <= kThinStrip) {
    zero = zeroThicknessSolution(x, sqrter, cpa, cf);
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
      return {zero.zoe, zero.zoo, {cpa, cf, zero.cfe0, zero.cfo0}, abandoned};
    }
  }

  const InnerFringing thick = thickStripInnerFringing(x, tb, cpa, cf);
  InnerFringing inner =
      (tb > 0.0F && tb < kThinStrip && !abandoned) ? thinStripBlend(zero, thick, tb) : thick;
  if (inner.even > inner.odd) inner.even = inner.odd;  // even-mode coupling cannot exceed odd

  const float tp = kEta / sqrter;
  const float zoe = tp / (2.0F * cpa + 2.0F * cf + 2.0F * inner.even);
  const float zoo = tp / (2.0F * cpa + 2.0F * cf + 2.0F * inner.odd);
  return {zoe, zoo, {cpa, cf, inner.even, inner.odd}, abandoned};
}

}  // namespace ketrovane
