// Equal-ripple and maximally flat coupling profiles of symmetric
// multi-section couplers.
//
// The profile is carried as y_i = atanh(k_i) = ln(Zoe_i/Zo) for the (N + 1)/2
// sections from the source end to the middle, so that every trial profile is
// realisable (|k| < 1) and the even-mode line is exp(y_i) in units of Zo.
//
// Equal ripple: the Remez second algorithm on the half band theta1..pi/2
// (the coupling is even about pi/2).  With M = (N + 1)/2 unknowns the best
// profile levels the deviation to +-E at M + 1 alternation points, the band
// edge and pi/2 among them; each pass solves the levelled equations by
// Newton's method and moves each inner point to the extremum between its
// neighbours.  The start is the first-order (small-reflection) profile,
//   |coupling| ~ sum_m a_m sin((2m + 1) theta),
// fitted by least squares to a loose coupling and carried to the nominal one
// a few dB at a time.  The first-order relation is the small-reflection
// theory of the stepped line (R. E. Collin, "Theory and design of wide-band
// multisection quarter-wave transformers", Proc. IRE 43, 1955) applied to
// the even mode.
//
// Maximally flat: for N commensurate lines between Zo the insertion loss is
// 1/|T|^2 = 1 + Q(x), Q a polynomial of degree N in x^2, x = cos(theta).  The
// coupling is flat at x = 0 to the highest order when Q(0) = k^2/(1 - k^2)
// and the coefficients of x^2 .. x^(2M-2) vanish: M equations in the M
// unknowns, solved by Newton's method.
#include "synthesis/multisection.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <optional>
#include <utility>

namespace ketrovane {

namespace {

using ComplexD = std::complex<double>;
using Vector = std::vector<double>;
using Matrix = std::vector<Vector>;

constexpr double kHalfPi = std::numbers::pi / 2.0;
constexpr double kLooseStartDb = 30.0;  // continuation starts no tighter than this
constexpr double kContinuationStepDb = 2.0;
constexpr double kSmallestContinuationStepDb = 0.1;
constexpr int kNewtonIterations = 40;
constexpr double kSmallestStep = 1e-3;                          // of a Newton step, halved from 1
constexpr double kWidestTheta1 = kHalfPi * 2.0 / (1.0 + 50.0);  // f2/f1 = 50
// The levelled equations are solved to 1e-13 dB (a stalled Newton step is
// taken as solved below 1e-10 dB), and the extrema must reach the level
// within 1e-8 of it plus 2e-10 dB.  The absolute floors are near the
// rounding of the deviation in double precision: a profile whose ripple
// lies below them is as good as any other.
constexpr double kLevelTolerance = 1e-13;
constexpr double kRelativeRippleTolerance = 1e-8;
constexpr double kRippleFloor = 2e-10;
constexpr int kRemezPasses = 60;

int half_count(int sections) {
  return (sections + 1) / 2;
}

double voltage_coupling(double coupling_db) {
  return std::pow(10.0, -coupling_db / 20.0);
}

// y_i of the half profile to the N section couplings, source end first.
Vector full_coupling(const Vector& half_y, int sections) {
  Vector k(static_cast<std::size_t>(sections));
  for (int i = 0; i < sections; ++i) {
    const int mirrored = std::min(i, sections - 1 - i);
    k[static_cast<std::size_t>(i)] = std::tanh(half_y[static_cast<std::size_t>(mirrored)]);
  }
  return k;
}

// ---------------------------------------------------------------------------
// The ideal cascade's coupling.

// Chain matrix of a lossless cascade, [a, j b; j c, d] with a, b, c, d real.
struct LosslessChain {
  double a = 1.0;
  double b = 0.0;
  double c = 0.0;
  double d = 1.0;
};

// Even-mode reflection between Zo terminations of lines exp(y) (units of Zo),
// each of electrical length theta.
ComplexD even_reflection(std::span<const double> y, double theta) {
  const double cos_t = std::cos(theta);
  const double sin_t = std::sin(theta);
  LosslessChain m;
  for (const double yi : y) {
    const double z = std::exp(yi);
    m = {m.a * cos_t - m.b * sin_t / z, m.a * z * sin_t + m.b * cos_t,
         m.c * cos_t + m.d * sin_t / z, m.d * cos_t - m.c * z * sin_t};
  }
  return ComplexD{m.a - m.d, m.b - m.c} / ComplexD{m.a + m.d, m.b + m.c};
}

// Deviation in dB of the coupling from nominal (positive: tighter) for the
// half profile half_y.
struct Profile {
  int sections;
  double coupling_db;

  [[nodiscard]] double deviation_db(const Vector& half_y, double theta) const {
    Vector y(static_cast<std::size_t>(sections));
    for (int i = 0; i < sections; ++i) {
      y[static_cast<std::size_t>(i)] =
          half_y[static_cast<std::size_t>(std::min(i, sections - 1 - i))];
    }
    return 20.0 * std::log10(std::abs(even_reflection(y, theta))) + coupling_db;
  }
};

// ---------------------------------------------------------------------------
// Dense linear algebra and Newton's method for the small systems here.

std::optional<Vector> solve_linear(Matrix a, Vector b) {
  const std::size_t n = b.size();
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    if (a[pivot][col] == 0.0 || !std::isfinite(a[pivot][col])) return std::nullopt;
    std::swap(a[pivot], a[col]);
    std::swap(b[pivot], b[col]);
    for (std::size_t r = col + 1; r < n; ++r) {
      const double factor = a[r][col] / a[col][col];
      for (std::size_t c = col; c < n; ++c) a[r][c] -= factor * a[col][c];
      b[r] -= factor * b[col];
    }
  }
  Vector x(n);
  for (std::size_t i = n; i-- > 0;) {
    double sum = b[i];
    for (std::size_t c = i + 1; c < n; ++c) sum -= a[i][c] * x[c];
    x[i] = sum / a[i][i];
  }
  return x;
}

using Residual = std::function<Vector(const Vector&)>;

double largest_magnitude(const Vector& v) {
  double m = 0.0;
  for (const double x : v) m = std::isfinite(x) ? std::max(m, std::fabs(x)) : HUGE_VAL;
  return m;
}

// Central differences, each step relative to its unknown: the outer
// sections' y are many decades smaller than the middle one's.
Matrix jacobian(const Residual& f, const Vector& x, std::size_t rows) {
  Matrix j(rows, Vector(x.size()));
  for (std::size_t c = 0; c < x.size(); ++c) {
    const double h = 1e-6 * std::max(std::fabs(x[c]), 1e-9);
    Vector up = x;
    Vector down = x;
    up[c] += h;
    down[c] -= h;
    const Vector fu = f(up);
    const Vector fd = f(down);
    for (std::size_t r = 0; r < rows; ++r) j[r][c] = (fu[r] - fd[r]) / (2.0 * h);
  }
  return j;
}

// One damped Newton step: the step is halved until the largest residual
// falls.  False when no fraction of it does.
bool damped_step(const Residual& f, Vector& x, Vector& fx) {
  const double size = largest_magnitude(fx);
  Vector minus_f(fx.size());
  for (std::size_t i = 0; i < fx.size(); ++i) minus_f[i] = -fx[i];
  const std::optional<Vector> dx = solve_linear(jacobian(f, x, fx.size()), minus_f);
  if (!dx) return false;
  for (double scale = 1.0; scale > kSmallestStep; scale *= 0.5) {
    Vector trial = x;
    for (std::size_t i = 0; i < x.size(); ++i) trial[i] += scale * (*dx)[i];
    Vector ft = f(trial);
    if (largest_magnitude(ft) < size) {
      x = std::move(trial);
      fx = std::move(ft);
      return true;
    }
  }
  return false;
}

// Damped Newton to a largest residual below tolerance; one that stalls (no
// step helps, or three steps in a row gain less than a tenth) is taken as
// solved only below 1000 times the tolerance.
bool newton(const Residual& f, Vector& x, double tolerance) {
  Vector fx = f(x);
  int slow_steps = 0;
  for (int iteration = 0; iteration < kNewtonIterations && slow_steps < 3; ++iteration) {
    const double size = largest_magnitude(fx);
    if (size < tolerance) return true;
    if (!damped_step(f, x, fx)) break;
    slow_steps = largest_magnitude(fx) > 0.9 * size ? slow_steps + 1 : 0;
  }
  return largest_magnitude(fx) < tolerance * 1e3;
}

// ---------------------------------------------------------------------------
// Equal ripple by the Remez exchange.

// The alternation points of a Chebyshev polynomial of degree 2M in
// cos(theta)/cos(theta1), from the band edge to pi/2.
Vector initial_reference(int m, double theta1) {
  Vector ref(static_cast<std::size_t>(m) + 1);
  const double x1 = std::cos(theta1);
  for (int j = 0; j <= m; ++j) {
    ref[static_cast<std::size_t>(j)] = std::acos(x1 * std::cos(std::numbers::pi * j / (2.0 * m)));
  }
  ref.back() = kHalfPi;
  return ref;
}

double alternating_sign(std::size_t j) {
  return j % 2 == 0 ? 1.0 : -1.0;
}

// Solves deviation(theta_j) = (-1)^j E for the profile and E together.
bool level(const Profile& p, const Vector& ref, Vector& y, double& level_db) {
  const std::size_t m = y.size();
  Vector unknowns = y;
  unknowns.push_back(level_db);
  const Residual equations = [&](const Vector& u) {
    const Vector trial(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(m));
    Vector r(ref.size());
    for (std::size_t j = 0; j < ref.size(); ++j) {
      r[j] = p.deviation_db(trial, ref[j]) - alternating_sign(j) * u[m];
    }
    return r;
  };
  if (!newton(equations, unknowns, kLevelTolerance)) return false;
  y.assign(unknowns.begin(), unknowns.begin() + static_cast<std::ptrdiff_t>(m));
  level_db = unknowns[m];
  return true;
}

// The point of (lo, hi) where sign * deviation is largest: a coarse scan,
// then golden-section refinement about the best sample.
double extremum_between(const Profile& p, const Vector& y, double sign, double lo, double hi) {
  constexpr int kSamples = 24;
  const auto value = [&](double t) { return sign * p.deviation_db(y, t); };
  const double h = (hi - lo) / kSamples;
  int best = 1;
  for (int i = 2; i < kSamples; ++i) {
    if (value(lo + i * h) > value(lo + best * h)) best = i;
  }
  double a = lo + (best - 1) * h;
  double b = lo + (best + 1) * h;
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  while (b - a > 1e-12) {
    const double c = b - g * (b - a);
    const double d = a + g * (b - a);
    if (value(c) > value(d)) {
      b = d;
    } else {
      a = c;
    }
  }
  return 0.5 * (a + b);
}

// Moves each inner reference point to its extremum; returns the largest
// deviation at the new points.
double exchange(const Profile& p, const Vector& y, double level_db, Vector& ref) {
  const double orientation = level_db >= 0.0 ? 1.0 : -1.0;
  for (std::size_t j = 1; j + 1 < ref.size(); ++j) {
    ref[j] = extremum_between(p, y, orientation * alternating_sign(j), ref[j - 1], ref[j + 1]);
  }
  double largest = 0.0;
  for (const double t : ref) largest = std::max(largest, std::fabs(p.deviation_db(y, t)));
  return largest;
}

struct RippleSolution {
  Vector half_y;
  double ripple_db;
  bool levelled = true;  // false: the flat profile stands in
};

std::optional<RippleSolution> remez(const Profile& p, double theta1, Vector y) {
  Vector ref = initial_reference(static_cast<int>(y.size()), theta1);
  double level_db = 0.0;
  for (int pass = 0; pass < kRemezPasses; ++pass) {
    if (!level(p, ref, y, level_db)) return std::nullopt;
    const double largest = exchange(p, y, level_db, ref);
    if (largest - std::fabs(level_db) < kRelativeRippleTolerance * largest + kRippleFloor) {
      return RippleSolution{y, largest};
    }
  }
  return std::nullopt;
}

// The profile whose first-order coupling is sum a_m sin((2m + 1) theta):
// the step into section j reflects a_(M-j)/2, so y_j = a_(M-1) + ... + a_(M-j).
Vector profile_of_harmonics(const Vector& a) {
  const std::size_t n = a.size();
  Vector y(n);
  double sum = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    sum += a[n - 1 - j];
    y[j] = sum;
  }
  return y;
}

// First-order profile: least-squares fit of sum a_m sin((2m + 1) theta) to
// the voltage coupling over the half band, then y_j = sum of the last j a_m.
Vector first_order_profile(int m, double coupling_db, double theta1) {
  const auto n = static_cast<std::size_t>(m);
  Matrix normal(n, Vector(n, 0.0));
  Vector rhs(n, 0.0);
  const double k = voltage_coupling(coupling_db);
  constexpr int kSamples = 400;
  for (int g = 0; g <= kSamples; ++g) {
    const double t = theta1 + (kHalfPi - theta1) * g / kSamples;
    for (std::size_t r = 0; r < n; ++r) {
      const double sr = std::sin((2.0 * static_cast<double>(r) + 1.0) * t);
      rhs[r] += sr * k;
      for (std::size_t c = 0; c < n; ++c)
        normal[r][c] += sr * std::sin((2.0 * static_cast<double>(c) + 1.0) * t);
    }
  }
  return profile_of_harmonics(solve_linear(normal, rhs).value_or(Vector(n, k / m)));
}

// First-order flat profile: sum a_m sin((2m + 1) theta) equal to k at pi/2
// with its derivatives of orders 2 .. 2M - 2 zero there, that is
//   sum_m (-1)^m (2m + 1)^(2j) a_m = k [j = 0].
Vector first_order_flat_profile(int m, double coupling_db) {
  const auto n = static_cast<std::size_t>(m);
  Matrix moments(n, Vector(n));
  Vector rhs(n, 0.0);
  rhs[0] = voltage_coupling(coupling_db);
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t c = 0; c < n; ++c) {
      const double odd = 2.0 * static_cast<double>(c) + 1.0;
      moments[j][c] = (c % 2 == 0 ? 1.0 : -1.0) * std::pow(odd, 2.0 * static_cast<double>(j));
    }
  }
  const Vector a = solve_linear(moments, rhs).value_or(Vector(n, rhs[0] / m));
  return profile_of_harmonics(a);
}

// The equal-ripple profile at coupling_db over theta1..pi - theta1, from a
// warm start if given, else carried from a loose coupling.
std::optional<RippleSolution> equal_ripple(int sections, double coupling_db, double theta1,
                                           const Vector* warm = nullptr) {
  if (warm != nullptr) {
    if (auto s = remez({sections, coupling_db}, theta1, *warm)) return s;
  }
  double reached = std::max(coupling_db, kLooseStartDb);
  const int m = half_count(sections);
  // The least-squares start suits wide bands; on narrow ones, where its
  // harmonics are nearly dependent, the flat start is the closer.
  std::optional<RippleSolution> s =
      remez({sections, reached}, theta1, first_order_profile(m, reached, theta1));
  if (!s) s = remez({sections, reached}, theta1, first_order_flat_profile(m, reached));
  double step = kContinuationStepDb;
  while (s && reached > coupling_db) {
    const double next = std::max(coupling_db, reached - step);
    if (auto t = remez({sections, next}, theta1, s->half_y)) {
      s = t;
      reached = next;
    } else if ((step *= 0.5) < kSmallestContinuationStepDb) {
      return std::nullopt;
    }
  }
  return s;
}

// ---------------------------------------------------------------------------
// Maximally flat by the insertion-loss polynomial.

using Polynomial = Vector;  // coefficients of x^0, x^1, ...

Polynomial operator*(const Polynomial& p, const Polynomial& q) {
  Polynomial r(p.size() + q.size() - 1, 0.0);
  for (std::size_t i = 0; i < p.size(); ++i) {
    for (std::size_t j = 0; j < q.size(); ++j) r[i + j] += p[i] * q[j];
  }
  return r;
}

Polynomial operator+(Polynomial p, const Polynomial& q) {
  if (q.size() > p.size()) p.resize(q.size(), 0.0);
  for (std::size_t i = 0; i < q.size(); ++i) p[i] += q[i];
  return p;
}

Polynomial scaled(Polynomial p, double s) {
  for (double& c : p) c *= s;
  return p;
}

// Chain matrix of the lossless cascade as [a, j s b; j s c, d], s = sin(theta),
// with a, b, c, d real polynomials in x = cos(theta).
struct PolynomialChain {
  Polynomial a{1.0}, b{0.0}, c{0.0}, d{1.0};
};

// 1 - x^2.
Polynomial sine_squared() {
  return {1.0, 0.0, -1.0};
}

PolynomialChain times_line(const PolynomialChain& m, double z) {
  const Polynomial x{0.0, 1.0};
  return {m.a * x + scaled(sine_squared() * m.b, -1.0 / z), scaled(m.a, z) + m.b * x,
          m.c * x + scaled(m.d, 1.0 / z), scaled(sine_squared() * m.c, -z) + m.d * x};
}

// Q(x) = 1/|T|^2 - 1 = |G|^2/|T|^2 of the cascade of lines exp(y_i) between
// unit terminations.  The chain matrix has unit determinant, so Q is
// |A + B - C - D|^2 / 4, formed without the cancellation of 1/|T|^2 - 1.
Polynomial insertion_loss_excess(std::span<const double> y) {
  PolynomialChain m;
  for (const double yi : y) m = times_line(m, std::exp(yi));
  const Polynomial difference_ad = m.a + scaled(m.d, -1.0);
  const Polynomial difference_bc = m.b + scaled(m.c, -1.0);
  return scaled(difference_ad * difference_ad + sine_squared() * (difference_bc * difference_bc),
                0.25);
}

std::optional<Vector> maximally_flat(int sections, double coupling_db, Vector y) {
  const double k = voltage_coupling(coupling_db);
  const double q0 = k * k / (1.0 - k * k);
  const Residual equations = [&](const Vector& half_y) {
    Vector yf(static_cast<std::size_t>(sections));
    for (int i = 0; i < sections; ++i) {
      yf[static_cast<std::size_t>(i)] =
          half_y[static_cast<std::size_t>(std::min(i, sections - 1 - i))];
    }
    const Polynomial q = insertion_loss_excess(yf);
    Vector r(half_y.size());
    r[0] = q[0] / q0 - 1.0;
    for (std::size_t j = 1; j < r.size(); ++j) r[j] = q[2 * j] / q0;
    return r;
  };
  if (!newton(equations, y, 1e-12)) return std::nullopt;
  return y;
}

// The flat profile carried from a loose coupling to coupling_db.
std::optional<Vector> carried_flat(int sections, double coupling_db) {
  double reached = std::max(coupling_db, kLooseStartDb);
  std::optional<Vector> y =
      maximally_flat(sections, reached, first_order_flat_profile(half_count(sections), reached));
  double step = kContinuationStepDb;
  while (y && reached > coupling_db) {
    const double next = std::max(coupling_db, reached - step);
    if (auto t = maximally_flat(sections, next, *y)) {
      y = t;
      reached = next;
    } else if ((step *= 0.5) < kSmallestContinuationStepDb) {
      return std::nullopt;
    }
  }
  return y;
}

// The largest deviation of the profile over theta1..pi/2, sampled.
double sampled_ripple(const Profile& p, const Vector& y, double theta1) {
  constexpr int kSamples = 4000;
  double largest = 0.0;
  for (int i = 0; i <= kSamples; ++i) {
    const double t = theta1 + (kHalfPi - theta1) * i / kSamples;
    largest = std::max(largest, std::fabs(p.deviation_db(y, t)));
  }
  return largest;
}

// A profile a coupler can have: every coupling finite and positive, and
// tightening towards the middle.
bool sound(const Vector& half_y) {
  if (half_y.empty() || !(half_y.front() > 0.0)) return false;
  for (std::size_t j = 0; j < half_y.size(); ++j) {
    if (!std::isfinite(half_y[j]) || (j > 0 && half_y[j] < half_y[j - 1])) return false;
  }
  return true;
}

// A levelled solution to trust: below the ripple floor the exchange's test
// holds for any profile, which then need not be levelled, nor a coupler.
bool levelled(const std::optional<RippleSolution>& s) {
  return s && s->ripple_db >= kRippleFloor && sound(s->half_y);
}

// The flat profile in place of an equal-ripple one over theta1..pi - theta1,
// where its deviation there stays negligible.
std::optional<RippleSolution> flat_stand_in(int sections, double coupling_db, double theta1) {
  const std::optional<Vector> y = carried_flat(sections, coupling_db);
  if (!y) return std::nullopt;
  const double ripple = sampled_ripple({sections, coupling_db}, *y, theta1);
  if (!(ripple < kFlatStandInRippleDb)) return std::nullopt;
  return RippleSolution{*y, ripple, false};
}

// The equal-ripple profile over theta1..pi - theta1, or the flat one where
// its ripple is too small to level.
std::optional<RippleSolution> profile_for_band(int sections, double coupling_db, double theta1,
                                               const Vector* warm = nullptr) {
  if (auto s = equal_ripple(sections, coupling_db, theta1, warm); levelled(s)) return s;
  return flat_stand_in(sections, coupling_db, theta1);
}

// The band edge theta1 of the widest band whose profile keeps within
// ripple_db, by bisection: the ripple grows as the band widens (theta1
// falls).  Each trial starts from the last profile that kept within it.
std::optional<RippleSolution> widest_band(int sections, double coupling_db, double ripple_db,
                                          double& theta1) {
  double wide = kWidestTheta1;
  double narrow = kHalfPi;
  std::optional<RippleSolution> best;
  for (int i = 0; i < 200 && narrow - wide > 1e-12; ++i) {
    const double mid = 0.5 * (wide + narrow);
    const std::optional<RippleSolution> s =
        profile_for_band(sections, coupling_db, mid, best ? &best->half_y : nullptr);
    if (!s || !(s->ripple_db <= ripple_db)) {
      wide = mid;
      continue;
    }
    narrow = mid;
    best = s;
    theta1 = mid;
    if (ripple_db - s->ripple_db < 1e-9 * ripple_db) break;
  }
  return best;
}

// ---------------------------------------------------------------------------
// Checks and results.

std::optional<std::string> refusal(int sections, double coupling_db) {
  if (sections < 1 || sections > kMaxCouplerSections || sections % 2 == 0) {
    return "the number of sections must be odd, from 1 to 15";
  }
  if (!(coupling_db > 0.0) || !std::isfinite(coupling_db)) {
    return "the coupling must be a positive number of dB";
  }
  return std::nullopt;
}

// Of a design over the band from f1 to f2.
std::optional<std::string> band_refusal(int sections, double coupling_db, double f1_mhz,
                                        double f2_mhz) {
  if (auto why = refusal(sections, coupling_db)) return why;
  if (!(f1_mhz > 0.0) || !(f2_mhz > f1_mhz) || !std::isfinite(f2_mhz)) {
    return "the band must have 0 < f1 < f2";
  }
  return std::nullopt;
}

MultisectionDesign refused(std::string message) {
  MultisectionDesign d;
  d.message = std::move(message);
  return d;
}

MultisectionDesign finished(int sections, double coupling_db, const Vector& half_y) {
  MultisectionDesign d;
  d.sections = sections;
  d.coupling_db = coupling_db;
  d.section_coupling = full_coupling(half_y, sections);
  if (*std::max_element(d.section_coupling.begin(), d.section_coupling.end()) >
      kMaxSectionCoupling) {
    return refused(
        "the middle section would need a voltage coupling of 1 or more: "
        "use more sections, a narrower band or a looser coupling");
  }
  d.ok = true;
  return d;
}

constexpr const char* kNotReached =
    "no realisable profile reaches this coupling over this band: "
    "use more sections, a narrower band or a looser coupling";

MultisectionDesign with_band(MultisectionDesign d, double f0, double theta1, double ripple) {
  d.f0_mhz = f0;
  d.f1_mhz = f0 * theta1 / kHalfPi;
  d.f2_mhz = 2.0 * f0 - d.f1_mhz;
  d.ripple_db = ripple;
  return d;
}

}  // namespace

MultisectionDesign design_equal_ripple(int sections, double coupling_db, double f1_mhz,
                                       double f2_mhz) {
  if (auto why = band_refusal(sections, coupling_db, f1_mhz, f2_mhz)) return refused(*why);
  const double f0 = 0.5 * (f1_mhz + f2_mhz);
  const double theta1 = kHalfPi * f1_mhz / f0;
  const std::optional<RippleSolution> s = profile_for_band(sections, coupling_db, theta1);
  if (!s) return refused(kNotReached);
  MultisectionDesign d = finished(sections, coupling_db, s->half_y);
  if (!d.ok) return d;
  d = with_band(std::move(d), f0, theta1, s->ripple_db);
  d.equal_ripple = s->levelled;
  d.f1_mhz = f1_mhz;
  d.f2_mhz = f2_mhz;
  return d;
}

MultisectionDesign design_flat_over_band(int sections, double coupling_db, double f1_mhz,
                                         double f2_mhz) {
  if (auto why = band_refusal(sections, coupling_db, f1_mhz, f2_mhz)) return refused(*why);
  const double f0 = 0.5 * (f1_mhz + f2_mhz);
  const double theta1 = kHalfPi * f1_mhz / f0;
  const std::optional<RippleSolution> s = flat_stand_in(sections, coupling_db, theta1);
  if (!s) return refused("the maximally flat profile deviates 0.001 dB or more over this band");
  MultisectionDesign d = finished(sections, coupling_db, s->half_y);
  if (!d.ok) return d;
  d = with_band(std::move(d), f0, theta1, s->ripple_db);
  d.f1_mhz = f1_mhz;
  d.f2_mhz = f2_mhz;
  return d;
}

MultisectionDesign design_for_ripple(int sections, double coupling_db, double f0_mhz,
                                     double ripple_db) {
  if (auto why = refusal(sections, coupling_db)) return refused(*why);
  if (!(f0_mhz > 0.0) || !std::isfinite(f0_mhz)) return refused("f0 must be positive");
  if (!(ripple_db > 0.0) || !std::isfinite(ripple_db)) {
    return refused("the ripple must be a positive number of dB");
  }
  // Within a part in a million of it: 1e-9 read in single precision lies
  // just below.
  if (ripple_db < kLeastRippleDb * (1.0 - 1e-6)) {
    return refused(
        "the ripple must be at least 1e-09 dB: a smaller one is below the rounding of the "
        "coupling and cannot be levelled; --profile maximally-flat is the limit of a vanishing "
        "ripple");
  }
  if (const auto widest = profile_for_band(sections, coupling_db, kWidestTheta1);
      widest && widest->ripple_db <= ripple_db) {
    return refused("the ripple is not reached within a 50:1 band");
  }
  double best_theta = kHalfPi;
  const std::optional<RippleSolution> best =
      widest_band(sections, coupling_db, ripple_db, best_theta);
  if (!best) return refused(kNotReached);
  MultisectionDesign d = finished(sections, coupling_db, best->half_y);
  if (!d.ok) return d;
  d.equal_ripple = best->levelled;
  return with_band(std::move(d), f0_mhz, best_theta, best->ripple_db);
}

MultisectionDesign design_maximally_flat(int sections, double coupling_db, double f0_mhz) {
  if (auto why = refusal(sections, coupling_db)) return refused(*why);
  if (!(f0_mhz > 0.0) || !std::isfinite(f0_mhz)) return refused("f0 must be positive");
  const std::optional<Vector> y = carried_flat(sections, coupling_db);
  if (!y || !sound(*y)) return refused(kNotReached);
  MultisectionDesign d = finished(sections, coupling_db, *y);
  if (!d.ok) return d;
  d = with_band(std::move(d), f0_mhz, kHalfPi, 0.0);
  // The band is the point f0 itself, not f0 (pi/2)/(pi/2) rounded apart.
  d.f1_mhz = f0_mhz;
  d.f2_mhz = f0_mhz;
  return d;
}

double ideal_cascade_coupling_db(std::span<const double> section_coupling, double f_ratio) {
  Vector y(section_coupling.size());
  std::transform(section_coupling.begin(), section_coupling.end(), y.begin(),
                 [](double k) { return std::atanh(k); });
  return -20.0 * std::log10(std::abs(even_reflection(y, kHalfPi * f_ratio)));
}

std::vector<ModeImpedancePair> matched_mode_impedances(std::span<const double> section_coupling,
                                                       double zo_ohm) {
  std::vector<ModeImpedancePair> z;
  z.reserve(section_coupling.size());
  for (const double k : section_coupling) {
    const double zoe = zo_ohm * std::sqrt((1.0 + k) / (1.0 - k));
    z.push_back({zoe, zo_ohm * zo_ohm / zoe});
  }
  return z;
}

}  // namespace ketrovane
