// The inputs of each batch command, read from the option texts and checked:
// every value in inches, MHz, ohms or dB, single precision, and an echo of
// what was given for the JSON and Touchstone headers.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/sweep_axis.hpp"
#include "design/conductor_menus.hpp"
#include "model/cross_section.hpp"
#include "model/loss.hpp"

namespace ketrovane::batch {

// Option name without its dashes ("b", "length-unit") to the text given.
using OptionTexts = std::map<std::string, std::string, std::less<>>;

// One input as given and as used.
struct InputEcho {
  std::string name;   // option name, "w"
  std::string given;  // the text given; empty for a default
  std::string unit;   // unit of the values: "in", "MHz", "ohm", "dB", "uohm_cm", ""
  SweepAxis axis;     // the value, or the range, in that unit
};
using Echo = std::vector<InputEcho>;

// The defaults of the shipped Ketrovane.DEF and of the interactive menus.
inline constexpr ConductorChoice kDefaultConductor =
    menu_entry(kConductorMenu, kDefaultConductorChoice);
inline constexpr float kDefaultResistivityUohmCm = kDefaultConductor.resistivity_uohm_cm;
inline constexpr float kDefaultRoughnessUin =
    menu_entry(kRoughnessMenuUin, kDefaultRoughnessChoice);
inline constexpr float kDefaultLossTangent = 0.0009F;
inline constexpr float kDefaultFoMhz = 1000.0F;
inline constexpr float kDefaultTerminationOhm = 50.0F;

// Conductor and dielectric of a coupler given by its dimensions.
struct Materials {
  Conductor conductor;  // ohm-inch and inches, as the loss model takes them
  float resistivity_uohm_cm;
  float loss_tangent;
};

struct AnalyseRequest {
  float b, t, er;
  SweepAxis w, s;  // the rows are their product, widths outer
  Materials materials;
  float f_mhz;  // where the loss is evaluated
  Echo echo;
};

struct SynthesiseRequest {
  float b, t, er, zo;
  bool by_coupling;   // targets are coupling levels (dB); else even-mode impedances
  SweepAxis targets;  // signed dB as given, or ohms
  Echo echo;
};

struct ResponseRequest {
  float er;
  // Given by its dimensions (lossy), or by Zo and coupling (lossless).
  std::optional<CrossSection> dimensions;
  Materials materials;    // for dimensions only
  float zo, coupling_db;  // for Zo and coupling only; coupling negative
  float length_inch;
  SweepAxis f;
  float rs, rl;
  Echo echo;
};

struct SensitivityRequest {
  float b, t, er;
  SweepAxis w, s;
  Echo echo;
};

AnalyseRequest read_analyse(const OptionTexts& texts);
SynthesiseRequest read_synthesise(const OptionTexts& texts);
ResponseRequest read_response(const OptionTexts& texts);
SensitivityRequest read_sensitivity(const OptionTexts& texts);

// The field solution of each cross-section, to a relative tolerance.
struct FieldRequest {
  float b, t, er;
  SweepAxis w, s;
  double tolerance;
  Echo echo;
};
inline constexpr double kDefaultFieldTolerance = 1e-4;
FieldRequest read_field(const OptionTexts& texts);

// The reference resistance of every port of the scattering matrix (--ref),
// 50 ohms unless given.
float read_reference(const OptionTexts& texts);

// An option's value as a scripting front end holds it: a number, or a text
// read exactly as the command line reads the option's value.
struct OptionValue {
  std::string_view name;  // "w"
  double number = 0.0;
  std::optional<std::string_view> text;  // given as a text instead of a number
};

// The values of one row's options.  Numbers of lengths are in length_unit,
// numbers of frequencies in frequency_unit (units as the texts name them),
// the others in ohms, dB and pure numbers.
struct OptionValues {
  std::span<const OptionValue> values;  // the options given, each once
  std::string_view length_unit = "in";
  std::string_view frequency_unit = "MHz";
};

// The same readers over values: the same checks in the same order with the
// same messages, a number quoted as its shortest decimal and its unit.  A
// text is a single value, never a range, and the requests' echo stays
// empty.  Each request gives one row.
AnalyseRequest read_analyse(const OptionValues& values);
SynthesiseRequest read_synthesise(const OptionValues& values);
ResponseRequest read_response(const OptionValues& values);
SensitivityRequest read_sensitivity(const OptionValues& values);
FieldRequest read_field(const OptionValues& values);
float read_reference(const OptionValues& values);

}  // namespace ketrovane::batch
