#include "front/default_file.hpp"

#include <array>
#include <cmath>
#include <optional>

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
  return v <= 0;
}
bool negative(float v, const Defaults& /*d*/) {
  return v < 0;
}

// Lines 2 to 32, in file order.
constexpr std::array<Entry, 31> kEntries = {{
    {"B.", &Defaults::bdef, not_positive},
    {"ER.", &Defaults::erdef, [](float v, const Defaults&) { return v < 1; }},
    {"DLTAN.", &Defaults::tlosdef, negative},
    {"FMAXDEF.", &Defaults::fmaxdef, negative},
    {"FMINDEF.", &Defaults::fmindef,
     [](float v, const Defaults& d) { return v < 0 || v > d.fmaxdef; }},
    {"FSTEPDEF.", &Defaults::fstepdef, not_positive},
    {"FoDEF.", &Defaults::fodef, not_positive},
    {"Coupling:KO.", &Defaults::kodef, [](float v, const Defaults&) { return v < 1; }},
    {"Cstrong.", &Defaults::cstrongdef, never},
    {"Cweak.", &Defaults::cweakdef, never},
    {"Cstep.", &Defaults::cstepdef, never},
    {"Length:L.", &Defaults::ldef, not_positive},
    {"Resistivity:RES.", &Defaults::res1def, negative},
    {"Surface Roughness:SR", &Defaults::sr1def, negative},
    {"Load Impedance:RL.", &Defaults::rldef, not_positive},
    {"Source Impedance:RS.", &Defaults::rsdef, not_positive},
    {"Strip Spacing:S.", &Defaults::sdef, not_positive},
    {"MAX Spacing:SMAX.", &Defaults::smaxdef, not_positive},
    {"MIN Spacing:SMIN.", &Defaults::smindef,
     [](float v, const Defaults& d) { return v <= 0 || v > d.smaxdef; }},
    {"Spacing Step: SSTEP.", &Defaults::sstepdef, not_positive},
    {"Strip Thickness:T.", &Defaults::tdef,
     [](float v, const Defaults& d) { return v < 0 || v > 0.8F * d.bdef; }},
    {"Strip Width:W.", &Defaults::wdef, not_positive},
    {"MAX Strip Width:WMAX", &Defaults::wmaxdef, not_positive},
    {"MIN Strip Width:WMIN", &Defaults::wmindef,
     [](float v, const Defaults& d) { return v <= 0 || v > d.wmaxdef; }},
    {"Width Step:WSTEP.", &Defaults::wstepdef, not_positive},
    {"Coupler Impedance:Zo", &Defaults::zodef, not_positive},
    {"Even-Mode:ZOE.", &Defaults::zoedef, not_positive},
    {"ZOEmax.", &Defaults::zoemaxdef, never},
    {"ZOEmin.", &Defaults::zoemindef, never},
    {"ZOEstep.", &Defaults::zoestepdef, never},
    {"Odd-Mode:ZOO.", &Defaults::zoodef,
     [](float v, const Defaults& d) { return v <= 0 || v >= d.zoedef; }},
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
  if (field == &Defaults::kodef) return -std::fabs(v);
  if (field == &Defaults::cstrongdef || field == &Defaults::cweakdef ||
      field == &Defaults::cstepdef) {
    return std::fabs(v);
  }
  return v;
}

// Reads one numeric entry; false when it is missing or rejected.
bool read_entry(text::LineReader& file, const Entry& e, DesignParameters& p,
                text::Channel& console) {
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
  if (e.field == &Defaults::kodef) value = std::fabs(value);  // tested as a magnitude
  if (e.field == &Defaults::wdef) p.w = value;                // copied before the test
  if (e.rejected(value, p.def)) {
    report_rejected(console, e.label);
    return false;
  }
  p.def.*e.field = stored_value(e.field, value);
  return true;
}

// The working copies and the orderings made as the entries are read.
void after_entry(float Defaults::*field, DesignParameters& p) {
  Defaults& d = p.def;
  if (field == &Defaults::fmindef) p.fmin = d.fmindef;
  if (field == &Defaults::fstepdef) p.fstep = d.fstepdef;
  if (field == &Defaults::fodef) p.fo = d.fodef;
  if (field == &Defaults::cweakdef && d.cstrongdef >= d.cweakdef) {
    std::swap(d.cstrongdef, d.cweakdef);
  }
  if (field == &Defaults::zoemindef && d.zoemindef >= d.zoemaxdef) {
    std::swap(d.zoemindef, d.zoemaxdef);
  }
}

bool read_file_name(text::LineReader& file, DesignParameters& p, text::Channel& console) {
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
  p.fn = std::move(name);
  return true;
}

}  // namespace

bool is_reserved_name(std::string_view name) {
  const std::string_view n = text::trim_trailing_blanks(name);
  return n == "Ketrovane.DEF" || n == "Ketrovane.EXE";
}

bool read_default_values(text::LineReader& file, DesignParameters& p, text::Channel& console) {
  if (!file.read_line()) {
    report_missing(console, kTitleLabel);
    return false;
  }
  for (const Entry& e : kEntries) {
    if (!read_entry(file, e, p, console)) return false;
    after_entry(e.field, p);
  }
  return read_file_name(file, p, console);
}

}  // namespace ketrovane
