#include "design/band_summary.hpp"

#include <cmath>
#include <cstdint>
#include <span>

namespace ketrovane {

namespace {

// A frequency of the band and what the summary takes of its response.
struct Point {
  float f_mhz;
  float deviation_db;  // |coupling - coupling at f0|
  float directivity_db;
  float return_loss_db;
  float quadrature_error_deg;
  float amplitude_balance_db;
  float isolation_db;
};

// Frequencies listed rather than swept, read as an axis is.
struct ListedFrequencies {
  std::span<const float> f;
  std::int64_t rows;
  [[nodiscard]] float value(std::int64_t i) const { return f[static_cast<std::size_t>(i)]; }
};

template <typename Frequencies>
class BandScan {
 public:
  BandScan(const ResponseAt& response, const Frequencies& f, float f0, float flatness)
      : response_(response), f_(f), flatness_(flatness) {
    const Point centre = at(f0, 0.0F);
    summary_ = {f0,
                coupling_at_f0_,
                flatness,
                std::nullopt,
                std::nullopt,
                centre.directivity_db,
                centre.return_loss_db,
                centre.quadrature_error_deg,
                centre.amplitude_balance_db,
                centre.amplitude_balance_db,
                centre.isolation_db};
  }

  BandSummary run(float f0) {
    if (f_.rows == 0 || f0 < f_.value(0) || f0 > f_.value(f_.rows - 1)) return summary_;
    // The last row at or below f0.
    std::int64_t below = 0;
    while (below + 1 < f_.rows && f_.value(below + 1) <= f0) ++below;
    summary_.low = edge(f0, below, -1);
    const std::int64_t above = f_.value(below) < f0 ? below + 1 : below;
    summary_.high = edge(f0, above, +1);
    return summary_;
  }

  // Over a band given by its ends: the ends, f0 and every row within it.
  // The largest distance of the coupling from `nominal` there.
  float over_band(float f1, float f2, float nominal) {
    summary_.low = BandEdge{f1, false};
    summary_.high = BandEdge{f2, false};
    float ripple = std::fabs(coupling_at_f0_ - nominal);
    const auto take = [&](float f) {
      const Point p = at(f, nominal);
      take_worst(p);
      ripple = std::fmax(ripple, p.deviation_db);
    };
    take(f1);
    take(f2);
    for (std::int64_t i = 0; i < f_.rows; ++i) {
      const float f = f_.value(i);
      if (f < f1 || f > f2) continue;
      take(f);
      ++swept_;
    }
    return ripple;
  }
  [[nodiscard]] const BandSummary& summary() const { return summary_; }
  [[nodiscard]] int swept() const { return swept_; }

 private:
  Point at(float f, float reference) {
    const FourPortResponse r = response_(f);
    const float coupling = r.amplitude_db[Port::coupled];
    if (!measured_) {
      coupling_at_f0_ = coupling;
      measured_ = true;
      reference = coupling;
    }
    return {f,
            std::fabs(coupling - reference),
            directivity_db(r),
            return_loss_db(r),
            r.quadrature_error_deg,
            amplitude_balance_db(r),
            -r.amplitude_db[Port::isolated]};
  }

  void take_worst(const Point& p) {
    summary_.worst_directivity_db = std::fmin(summary_.worst_directivity_db, p.directivity_db);
    summary_.worst_return_loss_db = std::fmin(summary_.worst_return_loss_db, p.return_loss_db);
    if (std::fabs(p.quadrature_error_deg) > std::fabs(summary_.worst_quadrature_error_deg)) {
      summary_.worst_quadrature_error_deg = p.quadrature_error_deg;
    }
    summary_.least_amplitude_balance_db =
        std::fmin(summary_.least_amplitude_balance_db, p.amplitude_balance_db);
    summary_.greatest_amplitude_balance_db =
        std::fmax(summary_.greatest_amplitude_balance_db, p.amplitude_balance_db);
    summary_.worst_isolation_db = std::fmin(summary_.worst_isolation_db, p.isolation_db);
  }

  // From f0 through the rows from `first` in `direction` until the coupling
  // leaves the flatness, or the sweep ends.
  BandEdge edge(float f0, std::int64_t first, int direction) {
    Point inside{f0, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F, 0.0F};
    for (std::int64_t i = first; i >= 0 && i < f_.rows; i += direction) {
      const Point p = at(f_.value(i), coupling_at_f0_);
      if (!(p.deviation_db <= flatness_)) return {crossing(inside, p), false};
      take_worst(p);
      inside = p;
    }
    return {inside.f_mhz, true};
  }

  // Where the deviation reaches the flatness between a point within it and
  // one beyond.
  [[nodiscard]] float crossing(const Point& inside, const Point& outside) const {
    const float span = outside.deviation_db - inside.deviation_db;
    if (!(span > 0.0F) || !std::isfinite(span)) return outside.f_mhz;
    const float t = (flatness_ - inside.deviation_db) / span;
    return inside.f_mhz + t * (outside.f_mhz - inside.f_mhz);
  }

  const ResponseAt& response_;
  const Frequencies& f_;
  float flatness_;
  float coupling_at_f0_ = 0.0F;
  bool measured_ = false;
  int swept_ = 0;
  BandSummary summary_{};
};

}  // namespace

BandSummary band_summary(const ResponseCoupler& coupler, Terminations terminations, const Axis& f,
                         float f0_mhz, float flatness_db) {
  return band_summary([&](float at) { return response_row(coupler, at, terminations).response; }, f,
                      f0_mhz, flatness_db);
}

BandSummary band_summary(const ResponseCoupler& coupler, Terminations terminations,
                         std::span<const float> f_mhz, float f0_mhz, float flatness_db) {
  const ResponseAt response = [&](float at) {
    return response_row(coupler, at, terminations).response;
  };
  const ListedFrequencies f{f_mhz, static_cast<std::int64_t>(f_mhz.size())};
  BandScan<ListedFrequencies> scan(response, f, f0_mhz, flatness_db);
  return scan.run(f0_mhz);
}

BandSummary band_summary(const ResponseAt& response, const Axis& f, float f0_mhz,
                         float flatness_db) {
  BandScan<Axis> scan(response, f, f0_mhz, flatness_db);
  return scan.run(f0_mhz);
}

BandSummary band_summary(const ResponseAt& response, std::span<const float> f_mhz, float f0_mhz,
                         float flatness_db) {
  const ListedFrequencies f{f_mhz, static_cast<std::int64_t>(f_mhz.size())};
  BandScan<ListedFrequencies> scan(response, f, f0_mhz, flatness_db);
  return scan.run(f0_mhz);
}

namespace {

template <typename Frequencies>
ProfileSummary profile_summary_over(const ResponseAt& response, const Frequencies& f,
                                    const MultisectionDesign& design) {
  const auto f0 = static_cast<float>(design.f0_mhz);
  const auto nominal = static_cast<float>(-design.coupling_db);
  const auto ripple = static_cast<float>(design.ripple_db);
  if (!(design.f2_mhz > design.f1_mhz)) {
    BandScan<Frequencies> scan(response, f, f0, kFlatProfileFlatnessDb);
    return {scan.run(f0), nominal, ripple, std::nullopt, 0};
  }
  BandScan<Frequencies> scan(response, f, f0, ripple);
  const float realised =
      scan.over_band(static_cast<float>(design.f1_mhz), static_cast<float>(design.f2_mhz), nominal);
  return {scan.summary(), nominal, ripple, realised, scan.swept()};
}

}  // namespace

ProfileSummary profile_summary(const ResponseAt& response, const Axis& f,
                               const MultisectionDesign& design) {
  return profile_summary_over(response, f, design);
}

ProfileSummary profile_summary(const ResponseAt& response, std::span<const float> f_mhz,
                               const MultisectionDesign& design) {
  const ListedFrequencies f{f_mhz, static_cast<std::int64_t>(f_mhz.size())};
  return profile_summary_over(response, f, design);
}

}  // namespace ketrovane
