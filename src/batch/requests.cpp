#include "batch/requests.hpp"

#include <array>
#include <cmath>
#include <string_view>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "common/constants.hpp"
#include "design/checks.hpp"
#include "design/quarter_wave.hpp"
#include "model/coupling.hpp"

namespace ketrovane::batch {

namespace {

using D = Dimension;

constexpr double kMostInches = 1000.0;
constexpr double kMostMhz = 1.0e6;
constexpr double kMostOhms = 1.0e4;

constexpr Quantity kB{"ground-plane spacing B", D::length, 0.0, false, kMostInches};
constexpr Quantity kT{"strip thickness T", D::length, 0.0, true, kMostInches};
constexpr Quantity kW{"strip width W", D::length, 0.0, false, kMostInches};
constexpr Quantity kS{"strip spacing S", D::length, 0.0, false, kMostInches};
constexpr Quantity kEr{"relative permittivity Er", D::pure, 1.0, true, 1000.0};
constexpr Quantity kTand{"dielectric loss tangent", D::pure, 0.0, true, 1.0};
constexpr Quantity kRoughness{"RMS surface roughness", D::length, 0.0, true, 0.001};
constexpr Quantity kResistivity{"conductor resistivity in micro-ohm-cm", D::pure, 0.0, true, 1.0e6};
constexpr Quantity kFrequency{"frequency", D::frequency, 0.0, false, kMostMhz};
constexpr Quantity kZo{"coupler impedance Zo", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kZoe{"even-mode impedance Zoe", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kCoupling{"coupling", D::coupling, 0.0, false, 60.0, true};
constexpr Quantity kLength{"coupler length", D::length, 0.0, false, kMostInches};
constexpr Quantity kTermination{"termination resistance", D::impedance, 0.0, false, kMostOhms};

struct Metal {
  std::string_view name;
  float uohm_cm;
};

// The conductors of the interactive resistivity menu.
constexpr std::array kMetals = {Metal{"silver", 1.6F},   Metal{"copper", 1.7F},
                                Metal{"gold", 2.5F},     Metal{"aluminium", 4.0F},
                                Metal{"aluminum", 4.0F}, Metal{"brass", 7.0F},
                                Metal{"lossless", 0.0F}};

std::string option_name(std::string_view name) {
  return "--" + std::string(name);
}

// Reads the option texts of one command, recording each value used.
class OptionReader {
 public:
  explicit OptionReader(const OptionTexts& texts) : texts_(texts) {}

  [[nodiscard]] bool has(std::string_view name) const { return texts_.contains(name); }

  float value(std::string_view name, const Quantity& q) {
    const std::string& text = required_text(name, q);
    const float v = parse_quantity(option_name(name), text, q);
    record(name, text, q, {{v, v, 0.0F}, 1, false});
    return v;
  }

  float value_or(std::string_view name, const Quantity& q, float fallback) {
    if (!has(name)) {
      record(name, "", q, {{fallback, fallback, 0.0F}, 1, false});
      return fallback;
    }
    return value(name, q);
  }

  SweepAxis axis(std::string_view name, const Quantity& q, Quotient quotient) {
    const std::string& text = required_text(name, q);
    const SweepAxis a = parse_axis(option_name(name), text, q, quotient);
    record(name, text, q, a);
    return a;
  }

  Materials materials() {
    Materials m{};
    m.resistivity_uohm_cm = resistivity();
    m.conductor.resistivity_ohm_inch = m.resistivity_uohm_cm * kOhmInchPerMicroOhmCm;
    m.conductor.roughness_inch =
        value_or("roughness", kRoughness, kDefaultRoughnessUin * kInchPerMicroInch);
    m.loss_tangent = value_or("tand", kTand, kDefaultLossTangent);
    return m;
  }

  // Options that belong to another form of the command.
  void refuse(std::string_view name, std::string_view reason) const {
    if (const auto it = texts_.find(name); it != texts_.end()) {
      reject(option_name(name), it->second, reason);
    }
  }

  Echo take_echo() { return std::move(echo_); }

 private:
  [[nodiscard]] const std::string& required_text(std::string_view name, const Quantity& q) const {
    const auto it = texts_.find(name);
    if (it == texts_.end()) {
      throw InputError(option_name(name) + ": missing; expected a " + std::string(q.what));
    }
    return it->second;
  }

  float resistivity() {
    const auto it = texts_.find("rho");
    const std::string given = it == texts_.end() ? "" : it->second;
    const std::string_view name = given.empty() ? std::string_view(kDefaultMetal) : given;
    for (const Metal& metal : kMetals) {
      if (metal.name == name) {
        echo_.push_back(
            {"rho", given, "uohm_cm", {{metal.uohm_cm, metal.uohm_cm, 0.0F}, 1, false}});
        return metal.uohm_cm;
      }
    }
    const NumberAndUnit n = split_number(given);
    if (!n.has_number || !n.unit.empty()) {
      reject("--rho", given,
             "expected a resistivity in micro-ohm-cm or silver, copper, gold, aluminium, brass "
             "or lossless");
    }
    return value("rho", kResistivity);
  }

  void record(std::string_view name, const std::string& text, const Quantity& q,
              const SweepAxis& a) {
    echo_.push_back({std::string(name), text, std::string(base_unit(q.dimension)), a});
  }

  const OptionTexts& texts_;
  Echo echo_;
};

void check_thickness(float t, float b, const OptionTexts& texts) {
  if (!thicker_than_allowed(t, b)) return;
  reject("--t", texts.at("t"),
         "expected a strip thickness below B, at most 0.8 B (" + shortest(0.8F * b) + " in)");
}

void check_even_mode_above_zo(const SweepAxis& zoe, float zo, const OptionTexts& texts) {
  if (zoe.range.min > zo) return;
  reject("--zoe", texts.at("zoe"),
         "expected even-mode impedances above Zo (" + shortest(zo) + " ohm)");
}

void require_one_of(const OptionReader& r, std::string_view a, std::string_view b) {
  if (r.has(a) == r.has(b)) {
    throw InputError(option_name(a) + " or " + option_name(b) + ": " +
                     (r.has(a) ? "give only one of them" : "missing; give one of them"));
  }
}

}  // namespace

AnalyseRequest read_analyse(const OptionTexts& texts) {
  OptionReader r(texts);
  AnalyseRequest q{};
  q.b = r.value("b", kB);
  q.t = r.value("t", kT);
  check_thickness(q.t, q.b, texts);
  q.er = r.value("er", kEr);
  q.w = r.axis("w", kW, Quotient::double_precision);
  q.s = r.axis("s", kS, Quotient::double_precision);
  product_rows("--w and --s", q.w, q.s);
  q.materials = r.materials();
  q.f_mhz = r.value_or("f", kFrequency, kDefaultFoMhz);
  q.echo = r.take_echo();
  return q;
}

SynthesiseRequest read_synthesise(const OptionTexts& texts) {
  OptionReader r(texts);
  SynthesiseRequest q{};
  q.b = r.value("b", kB);
  q.t = r.value("t", kT);
  check_thickness(q.t, q.b, texts);
  q.er = r.value("er", kEr);
  q.zo = r.value("zo", kZo);
  require_one_of(r, "coupling", "zoe");
  q.by_coupling = r.has("coupling");
  if (q.by_coupling) {
    q.targets = r.axis("coupling", kCoupling, Quotient::single_precision);
  } else {
    q.targets = r.axis("zoe", kZoe, Quotient::single_precision);
    check_even_mode_above_zo(q.targets, q.zo, texts);
  }
  q.echo = r.take_echo();
  return q;
}

ResponseRequest read_response(const OptionTexts& texts) {
  OptionReader r(texts);
  ResponseRequest q{};
  const bool by_impedance = r.has("zo") || r.has("coupling");
  if (by_impedance) {
    for (const char* name : {"b", "t", "w", "s", "rho", "roughness", "tand"}) {
      r.refuse(name, "a coupler given by --zo and --coupling has no dimensions or losses");
    }
    q.zo = r.value("zo", kZo);
    q.coupling_db = -std::fabs(r.value("coupling", kCoupling));
  }
  q.er = r.value("er", kEr);
  if (!by_impedance) {
    CrossSection x{};
    x.b = r.value("b", kB);
    x.t = r.value("t", kT);
    check_thickness(x.t, x.b, texts);
    x.w = r.value("w", kW);
    x.s = r.value("s", kS);
    x.er = q.er;
    q.dimensions = x;
    q.materials = r.materials();
  }
  require_one_of(r, "length", "f0");
  q.length_inch = r.has("length") ? r.value("length", kLength)
                                  : quarter_wave_length(r.value("f0", kFrequency), q.er);
  q.f = r.axis("f", kFrequency, Quotient::single_precision);
  q.rs = r.value_or("rs", kTermination, kDefaultTerminationOhm);
  q.rl = r.value_or("rl", kTermination, kDefaultTerminationOhm);
  q.echo = r.take_echo();
  return q;
}

SensitivityRequest read_sensitivity(const OptionTexts& texts) {
  OptionReader r(texts);
  SensitivityRequest q{};
  q.b = r.value("b", kB);
  q.t = r.value("t", kT);
  check_thickness(q.t, q.b, texts);
  q.er = r.value("er", kEr);
  q.w = r.axis("w", kW, Quotient::single_precision);
  q.s = r.axis("s", kS, Quotient::single_precision);
  product_rows("--w and --s", q.w, q.s);
  q.echo = r.take_echo();
  return q;
}

}  // namespace ketrovane::batch
