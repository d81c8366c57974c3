#include "batch/requests.hpp"

#include <array>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

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
constexpr Quantity kReference{"reference resistance", D::impedance, 0.0, false, kMostOhms};
constexpr Quantity kTolerance{"relative tolerance of the field solution", D::pure, 1e-10, true,
                              0.01};
constexpr float kDefaultReferenceOhm = 50.0F;

// A conductor named as the menu names it, or aluminium's American
// spelling; null for none.
const ConductorChoice* conductor_named(std::string_view name) {
  if (name == "aluminum") name = "aluminium";
  for (const ConductorChoice& c : kConductorMenu) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::string option_name(std::string_view name) {
  return "--" + std::string(name);
}

// The unit of a front end's numbers of a dimension.
std::string_view unit_of(const OptionValues& values, Dimension d) {
  if (d == D::length) return values.length_unit;
  if (d == D::frequency) return values.frequency_unit;
  return {};
}

// Reads the option values of one command, from the command line's texts or
// from a front end's numbers, recording each value used from texts.
class OptionReader {
 public:
  explicit OptionReader(const OptionTexts& texts) : texts_(&texts) {}
  explicit OptionReader(const OptionValues& values) : values_(&values) {}

  [[nodiscard]] bool has(std::string_view name) const { return given(name).has_value(); }

  float value(std::string_view name, const Quantity& q) {
    const Given g = required(name, q);
    const float v = g.number == nullptr ? parse_quantity(option_name(name), g.text, q)
                                        : quantity_value(option_name(name), g.number->number,
                                                         unit_of(*values_, q.dimension), q);
    record(name, g.text, q, {{v, v, 0.0F}, 1, false});
    return v;
  }

  float value_or(std::string_view name, const Quantity& q, float fallback) {
    if (!has(name)) {
      record(name, "", q, {{fallback, fallback, 0.0F}, 1, false});
      return fallback;
    }
    return value(name, q);
  }

  // A range from the command line; one value from a front end, which gives
  // several as an array.
  SweepAxis axis(std::string_view name, const Quantity& q, Quotient quotient) {
    if (values_ != nullptr) {
      const Given g = required(name, q);
      if (g.number == nullptr && g.text.find(':') != std::string_view::npos) {
        reject(option_name(name), g.text,
               "expected a single value; give several values as an array");
      }
      const float v = value(name, q);
      return {{v, v, 0.0F}, 1, false};
    }
    const std::string_view text = required(name, q).text;
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
  void refuse(std::string_view name, const Quantity& q, std::string_view reason) const {
    if (has(name)) reject(option_name(name), shown(name, q), reason);
  }

  // The value of an option as a message quotes it.
  [[nodiscard]] std::string shown(std::string_view name, const Quantity& q) const {
    const Given g = *given(name);
    if (g.number == nullptr) return std::string(g.text);
    return number_as_text(g.number->number, unit_of(*values_, q.dimension), q.dimension);
  }

  Echo take_echo() { return std::move(echo_); }

 private:
  // An option's value as given: a text, or a front end's number.
  struct Given {
    std::string_view text;
    const OptionValue* number;  // null for a text
  };

  [[nodiscard]] std::optional<Given> given(std::string_view name) const {
    if (texts_ != nullptr) {
      const auto it = texts_->find(name);
      if (it == texts_->end()) return std::nullopt;
      return Given{it->second, nullptr};
    }
    for (const OptionValue& v : values_->values) {
      if (v.name != name) continue;
      return v.text ? Given{*v.text, nullptr} : Given{{}, &v};
    }
    return std::nullopt;
  }

  [[nodiscard]] Given required(std::string_view name, const Quantity& q) const {
    const std::optional<Given> g = given(name);
    if (!g) throw InputError(option_name(name) + ": missing; expected a " + std::string(q.what));
    return *g;
  }

  float resistivity() {
    const std::optional<Given> g = given("rho");
    if (g && g->number != nullptr) return value("rho", kResistivity);
    const std::string_view given_text = g ? g->text : std::string_view();
    const std::string_view name = given_text.empty() ? kDefaultConductor.name : given_text;
    if (const ConductorChoice* metal = conductor_named(name)) {
      const float uohm_cm = metal->resistivity_uohm_cm;
      if (texts_ != nullptr) {
        echo_.push_back(
            {"rho", std::string(given_text), "uohm_cm", {{uohm_cm, uohm_cm, 0.0F}, 1, false}});
      }
      return uohm_cm;
    }
    const NumberAndUnit n = split_number(given_text);
    if (!n.has_number || !n.unit.empty()) {
      reject("--rho", given_text,
             "expected a resistivity in micro-ohm-cm or silver, copper, gold, aluminium, brass "
             "or lossless");
    }
    return value("rho", kResistivity);
  }

  // The echo is for the headers of the command line's outputs.
  void record(std::string_view name, std::string_view text, const Quantity& q, const SweepAxis& a) {
    if (texts_ == nullptr) return;
    echo_.push_back({std::string(name), std::string(text), std::string(base_unit(q.dimension)), a});
  }

  const OptionTexts* texts_ = nullptr;
  const OptionValues* values_ = nullptr;
  Echo echo_;
};

void check_thickness(float t, float b, const OptionReader& r) {
  if (!thicker_than_allowed(t, b)) return;
  reject("--t", r.shown("t", kT),
         "expected a strip thickness below B, at most 0.8 B (" + shortest(0.8F * b) + " in)");
}

void check_even_mode_above_zo(const SweepAxis& zoe, float zo, const OptionReader& r) {
  if (zoe.range.min > zo) return;
  reject("--zoe", r.shown("zoe", kZoe),
         "expected even-mode impedances above Zo (" + shortest(zo) + " ohm)");
}

void require_one_of(const OptionReader& r, std::string_view a, std::string_view b) {
  if (r.has(a) == r.has(b)) {
    throw InputError(option_name(a) + " or " + option_name(b) + ": " +
                     (r.has(a) ? "give only one of them" : "missing; give one of them"));
  }
}

// The board of a request: B, T (checked against B) and Er.
template <class Request>
void read_board(OptionReader& r, Request& q) {
  q.b = r.value("b", kB);
  q.t = r.value("t", kT);
  check_thickness(q.t, q.b, r);
  q.er = r.value("er", kEr);
}

// The board and the widths and spacings whose product gives the rows.
template <class Request>
void read_grid(OptionReader& r, Request& q, Quotient quotient) {
  read_board(r, q);
  q.w = r.axis("w", kW, quotient);
  q.s = r.axis("s", kS, quotient);
  product_rows("--w and --s", q.w, q.s);
}

AnalyseRequest analyse_request(OptionReader& r) {
  AnalyseRequest q{};
  read_grid(r, q, Quotient::double_precision);
  q.materials = r.materials();
  q.f_mhz = r.value_or("f", kFrequency, kDefaultFoMhz);
  q.echo = r.take_echo();
  return q;
}

SynthesiseRequest synthesise_request(OptionReader& r) {
  SynthesiseRequest q{};
  read_board(r, q);
  q.zo = r.value("zo", kZo);
  require_one_of(r, "coupling", "zoe");
  q.by_coupling = r.has("coupling");
  if (q.by_coupling) {
    q.targets = r.axis("coupling", kCoupling, Quotient::single_precision);
  } else {
    q.targets = r.axis("zoe", kZoe, Quotient::single_precision);
    check_even_mode_above_zo(q.targets, q.zo, r);
  }
  q.echo = r.take_echo();
  return q;
}

ResponseRequest response_request(OptionReader& r) {
  ResponseRequest q{};
  const bool by_impedance = r.has("zo") || r.has("coupling");
  if (by_impedance) {
    constexpr std::array<std::pair<std::string_view, const Quantity*>, 7> kLossless = {
        {{"b", &kB},
         {"t", &kT},
         {"w", &kW},
         {"s", &kS},
         {"rho", &kResistivity},
         {"roughness", &kRoughness},
         {"tand", &kTand}}};
    for (const auto& [name, quantity] : kLossless) {
      r.refuse(name, *quantity,
               "a coupler given by --zo and --coupling has no dimensions or losses");
    }
    q.zo = r.value("zo", kZo);
    q.coupling_db = -std::fabs(r.value("coupling", kCoupling));
  }
  q.er = r.value("er", kEr);
  if (!by_impedance) {
    CrossSection x{};
    x.board.b = r.value("b", kB);
    x.board.t = r.value("t", kT);
    check_thickness(x.board.t, x.board.b, r);
    x.w = r.value("w", kW);
    x.s = r.value("s", kS);
    x.board.er = q.er;
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

SensitivityRequest sensitivity_request(OptionReader& r) {
  SensitivityRequest q{};
  read_grid(r, q, Quotient::single_precision);
  q.echo = r.take_echo();
  return q;
}

FieldRequest field_request(OptionReader& r) {
  FieldRequest q{};
  read_grid(r, q, Quotient::single_precision);
  q.tolerance = r.value_or("tol", kTolerance, static_cast<float>(kDefaultFieldTolerance));
  q.echo = r.take_echo();
  return q;
}

float reference_value(OptionReader& r) {
  return r.value_or("ref", kReference, kDefaultReferenceOhm);
}

// Reads a request from the options as the command line or a scripting
// front end holds them.
template <class Options, class Request>
Request read_with(const Options& options, Request (*read)(OptionReader&)) {
  OptionReader r(options);
  return read(r);
}

}  // namespace

AnalyseRequest read_analyse(const OptionTexts& texts) {
  return read_with(texts, analyse_request);
}

SynthesiseRequest read_synthesise(const OptionTexts& texts) {
  return read_with(texts, synthesise_request);
}

ResponseRequest read_response(const OptionTexts& texts) {
  return read_with(texts, response_request);
}

SensitivityRequest read_sensitivity(const OptionTexts& texts) {
  return read_with(texts, sensitivity_request);
}

FieldRequest read_field(const OptionTexts& texts) {
  return read_with(texts, field_request);
}

float read_reference(const OptionTexts& texts) {
  return read_with(texts, reference_value);
}

AnalyseRequest read_analyse(const OptionValues& values) {
  return read_with(values, analyse_request);
}

SynthesiseRequest read_synthesise(const OptionValues& values) {
  return read_with(values, synthesise_request);
}

ResponseRequest read_response(const OptionValues& values) {
  return read_with(values, response_request);
}

SensitivityRequest read_sensitivity(const OptionValues& values) {
  return read_with(values, sensitivity_request);
}

FieldRequest read_field(const OptionValues& values) {
  return read_with(values, field_request);
}

float read_reference(const OptionValues& values) {
  return read_with(values, reference_value);
}

}  // namespace ketrovane::batch
