#include "accuracy_writers.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

#include "field/field_solver.hpp"

namespace ketrovane::tools {
namespace {

template <typename... Args>
std::string format(const char* layout, Args... args) {
  const int length = std::snprintf(nullptr, 0, layout, args...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), layout, args...);
  text.pop_back();
  return text;
}

std::string axis_source(const char* name, const std::vector<double>& axis, const char* unit) {
  std::string out = format("inline constexpr std::array<double, %zu> %s = {", axis.size(), name);
  for (std::size_t i = 0; i < axis.size(); ++i) out += format(i == 0 ? "%.4g" : ", %.4g", axis[i]);
  return out + "};  // " + unit + "\n";
}

using Quantity = double (Sample::*)() const;

std::string width_row_source(const Map& map, Quantity quantity, std::size_t it, std::size_t iw) {
  std::string row = "        {";
  for (std::size_t is = 0; is < map.grid.gaps.size(); ++is)
    row += format(is == 0 ? "%.4g" : ", %.4g", (map.at(it, iw, is).*quantity)());
  return row + "},  // w/b " + format("%.4g", map.grid.widths[iw]) + "\n";
}

// One array of the table, [t/b][w/b][s/b].
std::string array_source(const char* name, const Map& table, Quantity quantity) {
  std::string out = format(
      "// %s[t/b][w/b][s/b]\n"
      "inline constexpr std::array<std::array<std::array<double, %zu>, %zu>, %zu> %s = {{\n",
      name, table.grid.gaps.size(), table.grid.widths.size(), table.grid.thicknesses.size(), name);
  for (std::size_t it = 0; it < table.grid.thicknesses.size(); ++it) {
    out += format("    {{  // t/b %g\n", table.grid.thicknesses[it]);
    for (std::size_t iw = 0; iw < table.grid.widths.size(); ++iw)
      out += width_row_source(table, quantity, it, iw);
    out += "    }},\n";
  }
  return out + "}};\n";
}

// Percentages with a sign, as the report prints them.
std::string percent(double fraction) {
  return format("%+.2f %%", 100.0 * fraction);
}

std::string where(const Sample& x) {
  return format("w/b %.3g, s/b %.3g", x.w, x.s);
}

struct Extreme {
  double value = 0.0;  // the signed value whose magnitude is largest
  const Sample* at = nullptr;
};

Extreme extreme_of(const std::vector<const Sample*>& samples, Quantity quantity) {
  Extreme e;
  for (const Sample* x : samples) {
    const double v = (x->*quantity)();
    if (e.at == nullptr || std::abs(v) > std::abs(e.value)) e = {v, x};
  }
  return e;
}

std::vector<const Sample*> select(const Map& map, const std::function<bool(const Sample&)>& in) {
  std::vector<const Sample*> chosen;
  for (const Sample& x : map.samples)
    if (in(x)) chosen.push_back(&x);
  return chosen;
}

// Per cent of the samples whose quantity is within the bound in magnitude.
double share_within(const std::vector<const Sample*>& samples, double bound,
                    Quantity quantity = &Sample::worst_error) {
  const auto n = std::count_if(samples.begin(), samples.end(), [&](const Sample* x) {
    return std::abs((x->*quantity)()) <= bound;
  });
  return 100.0 * static_cast<double>(n) / static_cast<double>(samples.size());
}

std::string summary_row(const Map& map, double t) {
  const auto samples = select(map, [t](const Sample& x) { return x.t == t; });
  const Extreme zoe = extreme_of(samples, &Sample::zoe_error);
  const Extreme zoo = extreme_of(samples, &Sample::zoo_error);
  const Extreme coupling = extreme_of(samples, &Sample::coupling_error);
  return format("| %g | %s at %s | %s at %s | %+.3f dB at %s | %.0f %% | %.0f %% | %.0f %% |\n", t,
                percent(zoe.value).c_str(), where(*zoe.at).c_str(), percent(zoo.value).c_str(),
                where(*zoo.at).c_str(), coupling.value, where(*coupling.at).c_str(),
                share_within(samples, 0.005), share_within(samples, 0.01),
                share_within(samples, 0.03));
}

char symbol_for(double worst) {
  if (worst <= 0.005) return '.';
  if (worst <= 0.01) return '-';
  if (worst <= 0.03) return '+';
  return '#';
}

std::string character_map(const Map& map, std::size_t it) {
  std::string out = format("t/b = %g\n", map.grid.thicknesses[it]);
  out += "  w/b \\ s/b  0.01 " + std::string(2 * map.grid.gaps.size() - 10, ' ') + "2\n";
  for (std::size_t iw = map.grid.widths.size(); iw-- > 0;) {
    out += format("  %9.3g  ", map.grid.widths[iw]);
    for (std::size_t is = 0; is < map.grid.gaps.size(); ++is) {
      out += symbol_for(map.at(it, iw, is).worst_error());
      out += ' ';
    }
    out += "\n";
  }
  return out;
}

struct Region {
  std::string name;
  std::function<bool(const Sample&)> contains;
};

std::vector<Region> regions_of_interest() {
  return {
      {"wide strips of usual copper: w/b >= 0.35, t/b 0.05-0.2, s/b >= 0.3",
       [](const Sample& x) { return x.w >= 0.35 && x.t >= 0.05 && x.s >= 0.3; }},
      {"thin copper: 0 < t/b < 0.025, every w/b and s/b",
       [](const Sample& x) { return x.t > 0.0 && x.t < 0.025; }},
      {"thin copper at medium gaps: 0 < t/b < 0.025, s/b 0.02-0.1",
       [](const Sample& x) { return x.t > 0.0 && x.t < 0.025 && x.s >= 0.02 && x.s <= 0.1; }},
      {"thin copper at the narrowest gap: 0 < t/b < 0.025, s/b 0.01",
       [](const Sample& x) { return x.t > 0.0 && x.t < 0.025 && x.s == 0.01; }},
      {"narrow strips: w/b <= 0.2", [](const Sample& x) { return x.w <= 0.2; }},
      {"thick strips at medium gaps: t/b 0.05-0.2, s/b 0.02-0.1",
       [](const Sample& x) { return x.t >= 0.05 && x.s >= 0.02 && x.s <= 0.1; }},
  };
}

std::string region_row(const Map& map, const Region& r) {
  const auto samples = select(map, r.contains);
  const Extreme zoe = extreme_of(samples, &Sample::zoe_error);
  const Extreme zoo = extreme_of(samples, &Sample::zoo_error);
  return format("| %s | %zu | %s at %s, t/b %g | %s at %s, t/b %g | %.0f %% |\n", r.name.c_str(),
                samples.size(), percent(zoe.value).c_str(), where(*zoe.at).c_str(), zoe.at->t,
                percent(zoo.value).c_str(), where(*zoo.at).c_str(), zoo.at->t,
                share_within(samples, 0.01));
}

std::string spot_row(const SpotCheck& c) {
  const Sample& x = c.sample;
  const double field_zo = std::sqrt(x.field_zoe * x.field_zoo);
  const double model_zo = std::sqrt(x.model_zoe * x.model_zoo);
  return format(
      "| %s | %.3g / %.3g / %.3g | %.3f / %.3f | %.3f / %.3f | %.3f / %.3f | %.3f / %.3f |\n",
      c.name.c_str(), x.w, x.s, x.t, x.field_zoe, x.model_zoe, x.field_zoo, x.model_zoo, field_zo,
      model_zo, x.field_coupling, x.model_coupling);
}

double worst_estimate(const Map& map) {
  double worst = 0.0;
  for (const Sample& x : map.samples) worst = std::max(worst, x.field_estimate);
  return worst;
}

// The field solver against Cohn's exact solution on the grid's t = 0 points.
double worst_zero_thickness_error(const Map& map) {
  double worst = 0.0;
  for (const Sample& x : map.samples) {
    if (x.t != 0.0) continue;
    const field::FieldResult exact =
        field::exact_zero_thickness({kB, 0.0, x.w * kB, x.s * kB, kEr});
    if (!exact.ok()) return std::numeric_limits<double>::infinity();
    worst = std::max({worst, std::abs(x.field_zoe / exact.solution->even.impedance - 1.0),
                      std::abs(x.field_zoo / exact.solution->odd.impedance - 1.0)});
  }
  return worst;
}

std::string list_of(const std::vector<double>& values) {
  std::string out;
  for (const double v : values) out += (out.empty() ? "" : ", ") + format("%g", v);
  return out;
}

std::string method(const Map& map) {
  return format(
      "## Method\n\n"
      "Both methods are evaluated at every point of a grid of %zu cross-sections: t/b in "
      "{%s}, w/b at %zu log-spaced values from 0.1 to 3, s/b at %zu log-spaced values from 0.01 "
      "to 2 (b = %g\", er = %g; relative errors depend on neither).\n\n"
      "- The **model** is the single-precision closed form of `src/model` (`mode_impedances`).\n"
      "- The **reference** is the boundary-element field solver of `src/field` at its default "
      "relative tolerance of 1e-4 per mode impedance. Over this grid its own error estimates are "
      "at most %.1e; on the grid's t = 0 points it is within %.1e of Cohn's exact conformal "
      "mapping solution.\n"
      "- Errors are the model's: (model - field)/field for Zoe and Zoo, and model - field in dB "
      "for the coupling 20 log10((Zoe - Zoo)/(Zoe + Zoo)); a negative coupling error means the "
      "model predicts weaker coupling than there is.\n\n",
      map.samples.size(), list_of(map.grid.thicknesses).c_str(), map.grid.widths.size(),
      map.grid.gaps.size(), kB, kEr, worst_estimate(map), worst_zero_thickness_error(map));
}

std::string summary(const Map& map) {
  std::string out =
      "## Summary per thickness\n\n"
      "Worst errors over all w/b and s/b, and the share of the grid where the worse of the Zoe "
      "and Zoo errors is within 0.5 %, 1 % and 3 %.\n\n"
      "| t/b | worst Zoe error | worst Zoo error | worst coupling error | <= 0.5 % | <= 1 % | "
      "<= 3 % |\n|---|---|---|---|---|---|---|\n";
  for (const double t : map.grid.thicknesses) out += summary_row(map, t);
  return out + "\n";
}

std::string character_maps(const Map& map) {
  std::string out =
      "## Where the model is within 0.5 %, 1 % and 3 %\n\n"
      "The worse of the Zoe and Zoo errors at each grid point: `.` within 0.5 %, `-` within 1 %, "
      "`+` within 3 %, `#` beyond. Rows are w/b (widest at the top), columns s/b from 0.01 on the "
      "left to 2 on the right, both log-spaced.\n\n```\n";
  for (std::size_t it = 0; it < map.grid.thicknesses.size(); ++it)
    out += character_map(map, it) + "\n";
  return out + "```\n\n";
}

std::string heat_maps() {
  return "## Heat maps\n\n"
         "Signed errors in per cent (coupling in dB) over s/b (across) and w/b (up), one panel "
         "per thickness; the contours are at +-0.5, +-1 and +-3 % (0.1, 0.3 and 1 dB for the "
         "coupling). Colours saturate at +-5 % (+-1 dB).\n\n"
         "![Zoe error](doc/accuracy/zoe_error.png)\n\n"
         "![Zoo error](doc/accuracy/zoo_error.png)\n\n"
         "![Coupling error](doc/accuracy/coupling_error.png)\n\n";
}

std::string regions(const Map& map) {
  std::string out =
      "## Regions of interest\n\n"
      "| region | points | worst Zoe error | worst Zoo error | within 1 % "
      "|\n|---|---|---|---|---|\n";
  for (const Region& r : regions_of_interest()) out += region_row(map, r);
  return out + "\n";
}

std::string spot_checks(const std::vector<SpotCheck>& spots) {
  std::string out =
      "## Spot checks\n\n"
      "Field solver / model, er = 2.2.\n\n"
      "| cross-section | w/b / s/b / t/b | Zoe, ohm | Zoo, ohm | Zo, ohm | coupling, dB |\n"
      "|---|---|---|---|---|---|\n";
  for (const SpotCheck& c : spots) out += spot_row(c);
  return out + "\n";
}

std::string loss_summary_row(const Map& map, double t) {
  const auto samples = select(map, [t](const Sample& x) { return x.t == t; });
  const Extreme even = extreme_of(samples, &Sample::even_loss_error);
  const Extreme odd = extreme_of(samples, &Sample::odd_loss_error);
  const Quantity worst = &Sample::worst_loss_error_here;
  return format("| %g | %s at %s | %s at %s | %.0f %% | %.0f %% | %.0f %% |\n", t,
                percent(even.value).c_str(), where(*even.at).c_str(), percent(odd.value).c_str(),
                where(*odd.at).c_str(), share_within(samples, 0.05, worst),
                share_within(samples, 0.1, worst), share_within(samples, 0.3, worst));
}

std::string loss_spot_row(const LossSpotCheck& c) {
  const field::Geometry& g = c.inches;
  const ConductorLosses& l = c.losses;
  return format(
      "| %s | %.4g / %.4g / %.4g / %.4g | %g | %.4f / %.4f | %.4f / %.4f | %.2f / %.2f |\n",
      c.name.c_str(), 1000.0 * g.b, 1000.0 * g.w, 1000.0 * g.s, 1000.0 * g.t, g.er, l.field_even,
      l.model_even, l.field_odd, l.model_odd, l.model_even / l.field_even,
      l.model_odd / l.field_odd);
}

double worst_loss_estimate(const Map& map) {
  double worst = 0.0;
  for (const Sample& x : map.samples) worst = std::max(worst, x.loss.field_estimate);
  return worst;
}

std::string loss_method(const Map& map) {
  return format(
      "The model's conductor loss (`mode_attenuation` in `src/model/loss.hpp`) is Wheeler's "
      "incremental-inductance rule applied to its own single-precision impedances by one-sided "
      "differences; the reference is the field solver's `conductor_loss_factor`, the same rule "
      "as the derivative of the field's ln C under the recession of every conductor surface "
      "(b and s grow by 2n, w and t shrink by 2n), a central difference on one panel layout "
      "refined until it changes by less than the default relative tolerance of %g from one "
      "level to the next. Over this grid its own error estimates are at most %.1e. Both losses "
      "are linear in the surface resistance, so their ratio depends on w/b, s/b and t/b alone, "
      "not on the frequency, the metal, its roughness or er; the grid is the impedances' "
      "(losses computed at %g MHz on smooth copper). At t = 0 both keep the strips at zero "
      "thickness as they recede (the model drops its thickness term), so the loss there is "
      "finite. Errors are (model - field)/field.\n\n"
      "Much of the model's loss error is not that of its impedances: its one-sided "
      "differences are taken in single precision with a step of 0.1 %%, and where an "
      "impedance changes little with a dimension (wide strips, the narrowest gaps) the "
      "difference is mostly rounding, even on Cohn's exact impedances at t = 0; there the "
      "model's loss can be several times the field's, zero or negative. That part of the error "
      "changes with b in detail (another board rounds differently), so there the map gives its "
      "size rather than its value.\n\n",
      kFieldOptions.tolerance, worst_loss_estimate(map), kLossFrequencyMhz);
}

std::string conductor_loss(const Map& map, const std::vector<LossSpotCheck>& spots) {
  std::string out = "## Conductor loss\n\n" + loss_method(map) +
                    "Worst errors per thickness over all w/b and s/b, and the share of the grid "
                    "where the worse of the two modes' errors is within 5 %, 10 % and 30 %.\n\n"
                    "| t/b | worst even-mode error | worst odd-mode error | <= 5 % | <= 10 % | "
                    "<= 30 % |\n|---|---|---|---|---|---|\n";
  for (const double t : map.grid.thicknesses) out += loss_summary_row(map, t);
  out += format(
      "\nSpot checks, dB per inch at %g MHz on smooth copper (1.7 micro-ohm cm), no dielectric "
      "loss; field / model, and the model's loss as a multiple of the field's.\n\n"
      "| board | B / W / S / T, mil | er | even mode | odd mode | model / field, even / odd "
      "|\n|---|---|---|---|---|---|\n",
      spots.empty() ? 0.0 : spots.front().f_mhz);
  for (const LossSpotCheck& c : spots) out += loss_spot_row(c);
  return out +
         "\nSigned errors in per cent over s/b (across) and w/b (up), one panel per thickness; "
         "the contours are at +-5, +-10 and +-30 %. Colours saturate at +-50 %.\n\n"
         "![Even-mode conductor-loss error](doc/accuracy/even_loss_error.png)\n\n"
         "![Odd-mode conductor-loss error](doc/accuracy/odd_loss_error.png)\n\n";
}

std::string usage(const Map& table) {
  return format(
      "## Using the map\n\n"
      "`ketrovane::field::model_error_bounds(w/b, s/b, t/b)` in `src/field/accuracy_map.hpp` "
      "returns two bounds (fractions): `impedance`, the worse of the model's Zoe and Zoo "
      "relative errors, and `conductor_loss`, the worse of its even- and odd-mode "
      "conductor-loss relative errors. Each is the largest over the grid cell that holds the "
      "point and the cells beside it in w/b and s/b (t = 0 is read from its own plane, where "
      "the model switches to Cohn's zero-thickness solution), plus %g for the tolerance of the "
      "field solutions it was measured against, from the table "
      "`src/field/model_accuracy_table.inc` written with this report. The table has a finer "
      "grid than the pictures, %zu cross-sections: t/b in {%s}, since the model's error "
      "changes fast just above t = 0 and where the model switches from its thin-strip blend to "
      "its thick-strip fits (t/b = 0.025), and %zu log-spaced values each of w/b and s/b. "
      "Outside the grid both are +infinity: the map vouches for nothing there. The numbers "
      "behind the pictures are in `doc/accuracy/model_error.dat`.\n\n"
      "The conductor-loss table holds at each grid point the worse of the model's errors "
      "there and %g %% thinner: the model's loss jumps at t/b = 0.025, where it changes "
      "formulas, and its own differences straddle the switch just below it, so the plane "
      "t/b = 0.025 alone would see only the smaller side. Even so the conductor-loss bound is "
      "the largest error the grid saw, not a strict bound: the model's loss error varies "
      "between the grid lines by more than its impedance error does. Away from two regions it "
      "stays within about 1 %% of the bound. In the two it can exceed the bound severalfold: "
      "just above s/b = 0.01, where the model changes its gap formulas and its loss error "
      "rises within the first cell of the gap axis past what the grid points show, and at "
      "wide strips and narrow gaps (w/b above 2, s/b below 0.03), where the model's loss is "
      "mostly rounding.\n\n"
      "`ketrovane-calc` reads the impedance bound: a run on the model (`--solver model`, the "
      "default) whose rows reach a bound above 1 %%, or leave the grid, writes one note on the "
      "error stream suggesting `--solver field` or `--solver both`.\n",
      kFieldOptions.tolerance, table.samples.size(), list_of(table.grid.thicknesses).c_str(),
      table.grid.widths.size(), 100.0 * kThinnerByLoss);
}

std::string data_line(const Sample& x) {
  const ConductorLosses& l = x.loss;
  return format(
      "%g %.4g %.4g %.6f %.6f %.6f %.6f %.4f %.4f %.5f %.5f %.5f %.2e %.6g %.6g %.6g %.6g %.4f "
      "%.4f %.2e\n",
      x.t, x.w, x.s, x.field_zoe, x.model_zoe, x.field_zoo, x.model_zoo, 100.0 * x.zoe_error(),
      100.0 * x.zoo_error(), x.field_coupling, x.model_coupling, x.coupling_error(),
      x.field_estimate, l.field_even, l.model_even, l.field_odd, l.model_odd,
      100.0 * l.even_error(), 100.0 * l.odd_error(), l.field_estimate);
}

}  // namespace

std::string table_source(const Map& table) {
  std::string out =
      "// The closed-form model's error against the field solver over the accuracy map's\n"
      "// grid, as fractions: the worst of its relative errors in Zoe and Zoo, and the worst\n"
      "// of its relative errors in the even- and odd-mode conductor loss.  Written by\n"
      "// tools/accuracy_map (scripts/regenerate-accuracy-map); do not edit.\n";
  out += axis_source("kMapThickness", table.grid.thicknesses, "t/b");
  out += axis_source("kMapWidth", table.grid.widths, "w/b");
  out += axis_source("kMapGap", table.grid.gaps, "s/b");
  out += format(
      "// Relative tolerance of the field's impedances and conductor-loss factors the\n"
      "// errors were measured against.\n"
      "inline constexpr double kMapImpedanceTolerance = %g;\n"
      "inline constexpr double kMapLossTolerance = %g;\n",
      kFieldOptions.tolerance, kFieldOptions.tolerance);
  out += array_source("kMapWorstError", table, &Sample::worst_error);
  out += array_source("kMapWorstLossError", table, &Sample::worst_loss_error);
  return out;
}

std::string plot_data(const Map& map) {
  std::string out = format(
      "# Closed-form model against the field solver, b = %g inch, er = %g; conductor loss at\n"
      "# %g MHz on smooth copper of %g ohm-inch.\n"
      "# One index per t/b, one block per w/b.\n"
      "# t_b w_b s_b zoe_field_ohm zoe_model_ohm zoo_field_ohm zoo_model_ohm zoe_error_pct "
      "zoo_error_pct coupling_field_db coupling_model_db coupling_error_db field_estimate "
      "even_loss_field_db_per_inch even_loss_model_db_per_inch odd_loss_field_db_per_inch "
      "odd_loss_model_db_per_inch even_loss_error_pct odd_loss_error_pct field_loss_estimate\n",
      kB, kEr, kLossFrequencyMhz, kCopper);
  for (std::size_t it = 0; it < map.grid.thicknesses.size(); ++it) {
    for (std::size_t iw = 0; iw < map.grid.widths.size(); ++iw) {
      for (std::size_t is = 0; is < map.grid.gaps.size(); ++is)
        out += data_line(map.at(it, iw, is));
      out += "\n";
    }
    out += "\n";
  }
  return out;
}

std::string report(const Map& map, const Map& table, const std::vector<SpotCheck>& spots,
                   const std::vector<LossSpotCheck>& loss_spots) {
  return "# Accuracy of the closed-form model\n\n"
         "How far the closed-form coupled-stripline model's even- and odd-mode impedances, "
         "coupling and conductor losses are from a converged field solution, over the "
         "cross-sections couplers are made of.\n\n"
         "Regenerate this file, the pictures under `doc/accuracy/` and the table the library "
         "reads with\n\n```sh\nscripts/regenerate-accuracy-map\n```\n\n"
         "(it needs `gnuplot` from Debian's `gnuplot-nox` for the pictures).\n\n" +
         method(map) + summary(map) + character_maps(map) + heat_maps() + regions(map) +
         spot_checks(spots) + conductor_loss(map, loss_spots) + usage(table);
}

}  // namespace ketrovane::tools
