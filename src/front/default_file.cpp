#include "front/default_file.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "design/checks.hpp"
#include "text/layout.hpp"

namespace ketrovane {

namespace {

using text::Layout;

// A numeric entry: its label (20 characters, the message shows 11), its
// field and the test that rejects it.
struct Entry {
  std::string_view label;
  float Defaults::*field;
  bool (*rejected)(float value, const Defaults& d);
};

bool never(float /*v*/, const Defaults& /*d*/) {
  return false;
}
bool not_positive(float v, const Defaults& /*d*/) {
  return !is_positive(v);
}
bool negative(float v, const Defaults& /*d*/) {
  return v < 0;
}

// Lines 2 to 32, in file order.
constexpr std::array<Entry, 31> kEntries = {{
    {"B.", &Defaults::b, not_positive},
    {"ER.", &Defaults::er, [](float v, const Defaults&) { return !is_permittivity(v); }},
    {"DLTAN.", &Defaults::loss_tangent, negative},
    {"FMAXDEF.", &Defaults::f_max, negative},
    {"FMINDEF.", &Defaults::f_min, [](float v, const Defaults& d) { return v < 0 || v > d.f_max; }},
    {"FSTEPDEF.", &Defaults::f_step, not_positive},
    {"FoDEF.", &Defaults::fo, not_positive},
    {"Coupling:KO.", &Defaults::coupling_db, [](float v, const Defaults&) { return v < 1; }},
    {"Cstrong.", &Defaults::strongest_db, never},
    {"Cweak.", &Defaults::weakest_db, never},
    {"Cstep.", &Defaults::level_step_db, never},
    {"Length:L.", &Defaults::length, not_positive},
    {"Resistivity:RES.", &Defaults::resistivity, negative},
    {"Surface Roughness:SR", &Defaults::roughness, negative},
    {"Load Impedance:RL.", &Defaults::load, not_positive},
    {"Source Impedance:RS.", &Defaults::source, not_positive},
    {"Strip Spacing:S.", &Defaults::s, not_positive},
    {"MAX Spacing:SMAX.", &Defaults::s_max, not_positive},
    {"MIN Spacing:SMIN.", &Defaults::s_min,
     [](float v, const Defaults& d) { return v <= 0 || v > d.s_max; }},
    {"Spacing Step: SSTEP.", &Defaults::s_step, not_positive},
    {"Strip Thickness:T.", &Defaults::t,
     [](float v, const Defaults& d) { return v < 0 || thicker_than_allowed(v, d.b); }},
    {"Strip Width:W.", &Defaults::w, not_positive},
    {"MAX Strip Width:WMAX", &Defaults::w_max, not_positive},
    {"MIN Strip Width:WMIN", &Defaults::w_min,
     [](float v, const Defaults& d) { return v <= 0 || v > d.w_max; }},
    {"Width Step:WSTEP.", &Defaults::w_step, not_positive},
    {"Coupler Impedance:Zo", &Defaults::zo, not_positive},
    {"Even-Mode:ZOE.", &Defaults::zoe, not_positive},
    {"ZOEmax.", &Defaults::zoe_max, never},
    {"ZOEmin.", &Defaults::zoe_min, never},
    {"ZOEstep.", &Defaults::zoe_step, never},
    {"Odd-Mode:ZOO.", &Defaults::zoo,
     [](float v, const Defaults& d) { return v <= 0 || v >= d.zoe; }},
}};

constexpr std::string_view kTitleLabel = "1st line.";
constexpr std::string_view kNameLabel = "Filename:FN.";

void report(text::Channel& console, const Layout& layout, std::string_view label) {
  std::string padded(label);
  padded.resize(kFileNameLength, ' ');
  console.print(layout, {padded});
}

void report_missing(text::Channel& console, std::string_view label) {
  static const Layout kMissing(
      "(6X,'End of file in STRIPLINE COUPLER default value', /,6X,'data file (Ketrovane.DEF). "
      "Entry missing for variable ',A11)");
  report(console, kMissing, label);
}

void report_rejected(text::Channel& console, std::string_view label) {
  static const Layout kRejected(
      "(6X,'Error exists in STRIPLINE COUPLER default value', /,6X,'data file (Ketrovane.DEF). "
      "Fix entry for variable ',A11)");
  report(console, kRejected, label);
}

// The value as stored: the coupling is held negative, the coupling range as
// magnitudes.
float stored_value(float Defaults::*field, float v) {
  if (field == &Defaults::coupling_db) return -std::fabs(v);
  if (field == &Defaults::strongest_db || field == &Defaults::weakest_db ||
      field == &Defaults::level_step_db) {
    return std::fabs(v);
  }
  return v;
}

// Reads one numeric entry; false when it is missing or rejected.
bool read_entry(text::LineReader& file, const Entry& e, DesignRecord& r, text::Channel& console) {
  const std::optional<std::string> line = file.read_line();
  if (!line) {
    report_missing(console, e.label);
    return false;
  }
  const text::RealField f = text::read_real_field(*line);
  if (f.error != text::FieldError::none) {
    report_rejected(console, e.label);
    return false;
  }
  float value = f.value;
  if (e.field == &Defaults::coupling_db) value = std::fabs(value);  // tested as a magnitude
  if (e.field == &Defaults::w) r.w = value;                         // copied before the test
  if (e.rejected(value, r.defaults)) {
    report_rejected(console, e.label);
    return false;
  }
  r.defaults.*e.field = stored_value(e.field, value);
  return true;
}

// The working copies and the orderings made as the entries are read.
void after_entry(float Defaults::*field, DesignRecord& r) {
  Defaults& d = r.defaults;
  if (field == &Defaults::f_min) r.f_start = d.f_min;
  if (field == &Defaults::f_step) r.f_step = d.f_step;
  if (field == &Defaults::fo) r.fo = d.fo;
  if (field == &Defaults::weakest_db && d.strongest_db >= d.weakest_db) {
    std::swap(d.strongest_db, d.weakest_db);
  }
  if (field == &Defaults::zoe_min && d.zoe_min >= d.zoe_max) {
    std::swap(d.zoe_min, d.zoe_max);
  }
}

bool read_file_name(text::LineReader& file, DesignRecord& r, text::Channel& console) {
  const std::optional<std::string> line = file.read_line();
  if (!line) {
    report_missing(console, kNameLabel);
    return false;
  }
  std::string name = text::read_name_field(*line);
  if (text::trim_trailing_blanks(name).empty() || is_reserved_name(name)) {
    report_rejected(console, kNameLabel);
    return false;
  }
  r.storage_name = std::move(name);
  return true;
}

}  // namespace

bool is_reserved_name(std::string_view name) {
  const std::string_view n = text::trim_trailing_blanks(name);
  return n == "Ketrovane.DEF" || n == "Ketrovane.EXE";
}

bool read_default_values(text::LineReader& file, DesignRecord& r, text::Channel& console) {
  if (!file.read_line()) {
    report_missing(console, kTitleLabel);
    return false;
  }
  for (const Entry& e : kEntries) {
    if (!read_entry(file, e, r, console)) return false;
    after_entry(e.field, r);
  }
  return read_file_name(file, r, console);
}

}  // namespace ketrovane
