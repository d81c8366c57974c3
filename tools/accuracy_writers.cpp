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

std::string width_row_source(const Map& map, std::size_t it, std::size_t iw) {
  std::string row = "        {";
  for (std::size_t is = 0; is < map.grid.gaps.size(); ++is)
    row += format(is == 0 ? "%.4g" : ", %.4g", map.at(it, iw, is).worst_error());
  return row + "},  // w/b " + format("%.4g", map.grid.widths[iw]) + "\n";
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

Extreme extreme_of(const std::vector<const Sample*>& samples, double (Sample::*quantity)() const) {
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

double share_within(const std::vector<const Sample*>& samples, double bound) {
  const auto n = std::count_if(samples.begin(), samples.end(),
                               [bound](const Sample* x) { return x->worst_error() <= bound; });
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

std::string usage(const Map& table) {
  return format(
      "## Using the map\n\n"
      "`ketrovane::field::model_relative_error_bound(w/b, s/b, t/b)` in "
      "`src/field/model_accuracy.hpp` returns the worse of the model's Zoe and Zoo relative "
      "errors (a fraction) over the grid cell that holds the point and the cells beside it in "
      "w/b and s/b (t = 0 is read from its own plane, where the model switches to Cohn's "
      "zero-thickness solution), plus 1e-4 for the tolerance of the field solutions, from the "
      "table `src/field/model_accuracy_table.inc` written with this report. The table has a finer "
      "grid than the pictures, %zu cross-sections: t/b in {%s}, since the model's error "
      "changes fast just above t = 0 and where the model switches from its thin-strip blend to "
      "its thick-strip fits (t/b = 0.025), and %zu log-spaced values each of w/b and s/b. "
      "Outside the grid it returns +infinity: the map vouches for nothing there. The numbers "
      "behind the pictures are in `doc/accuracy/model_error.dat`.\n\n"
      "`ketrovane-calc` reads the same bound: a run on the model (`--solver model`, the "
      "default) whose rows reach a bound above 1 %%, or leave the grid, writes one note on the "
      "error stream suggesting `--solver field` or `--solver both`.\n",
      table.samples.size(), list_of(table.grid.thicknesses).c_str(), table.grid.widths.size());
}

}  // namespace

std::string table_source(const Map& table) {
  std::string out =
      "// Worst of the closed-form model's relative errors in Zoe and Zoo against the field\n"
      "// solver over the accuracy map's grid, as fractions.  Written by tools/accuracy_map\n"
      "// (scripts/regenerate-accuracy-map); do not edit.\n";
  out += axis_source("kMapThickness", table.grid.thicknesses, "t/b");
  out += axis_source("kMapWidth", table.grid.widths, "w/b");
  out += axis_source("kMapGap", table.grid.gaps, "s/b");
  out += format(
      "// kMapWorstError[t/b][w/b][s/b]\n"
      "inline constexpr std::array<std::array<std::array<double, %zu>, %zu>, %zu> kMapWorstError "
      "= {{\n",
      table.grid.gaps.size(), table.grid.widths.size(), table.grid.thicknesses.size());
  for (std::size_t it = 0; it < table.grid.thicknesses.size(); ++it) {
    out += format("    {{  // t/b %g\n", table.grid.thicknesses[it]);
    for (std::size_t iw = 0; iw < table.grid.widths.size(); ++iw)
      out += width_row_source(table, it, iw);
    out += "    }},\n";
  }
  return out + "}};\n";
}

std::string plot_data(const Map& map) {
  std::string out = format(
      "# Closed-form model against the field solver, b = %g inch, er = %g.\n"
      "# One index per t/b, one block per w/b.\n"
      "# t_b w_b s_b zoe_field_ohm zoe_model_ohm zoo_field_ohm zoo_model_ohm zoe_error_pct "
      "zoo_error_pct coupling_field_db coupling_model_db coupling_error_db field_estimate\n",
      kB, kEr);
  for (std::size_t it = 0; it < map.grid.thicknesses.size(); ++it) {
    for (std::size_t iw = 0; iw < map.grid.widths.size(); ++iw) {
      for (std::size_t is = 0; is < map.grid.gaps.size(); ++is) {
        const Sample& x = map.at(it, iw, is);
        out += format("%g %.4g %.4g %.6f %.6f %.6f %.6f %.4f %.4f %.5f %.5f %.5f %.2e\n", x.t, x.w,
                      x.s, x.field_zoe, x.model_zoe, x.field_zoo, x.model_zoo,
                      100.0 * x.zoe_error(), 100.0 * x.zoo_error(), x.field_coupling,
                      x.model_coupling, x.coupling_error(), x.field_estimate);
      }
      out += "\n";
    }
    out += "\n";
  }
  return out;
}

std::string report(const Map& map, const Map& table, const std::vector<SpotCheck>& spots) {
  return "# Accuracy of the closed-form model\n\n"
         "How far the closed-form coupled-stripline model's even- and odd-mode impedances and "
         "coupling are from a converged field solution, over the cross-sections couplers are "
         "made of.\n\n"
         "Regenerate this file, the pictures under `doc/accuracy/` and the table the library "
         "reads with\n\n```sh\nscripts/regenerate-accuracy-map\n```\n\n"
         "(it needs `gnuplot` from Debian's `gnuplot-nox` for the pictures).\n\n" +
         method(map) + summary(map) + character_maps(map) + heat_maps() + regions(map) +
         spot_checks(spots) + usage(table);
}

}  // namespace ketrovane::tools
