// The batch commands' option reading on arbitrary bytes: numbers, units,
// ranges, metal names and the checks between options.
//
// The first byte picks the command; the rest is lines of "name=value".
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "batch/commands.hpp"
#include "batch/input_error.hpp"
#include "batch/quantities.hpp"
#include "batch/requests.hpp"
#include "fuzz_check.hpp"
#include "fuzz_cores.hpp"

namespace ketrovane::fuzz {

namespace {

using batch::InputError;
using batch::OptionTexts;
using batch::SweepAxis;

// A message is one line of printable text that starts with the option.
void check_message(const InputError& e) {
  const std::string_view m = e.what();
  KETROVANE_FUZZ_CHECK(m.starts_with("--"));
  for (const char c : m) {
    const auto u = static_cast<unsigned char>(c);
    KETROVANE_FUZZ_CHECK(u >= 0x20 && u < 0x7f);
  }
  KETROVANE_FUZZ_CHECK(m.size() < 600);
}

void check_axis(const SweepAxis& a) {
  KETROVANE_FUZZ_CHECK(a.rows >= 1 && a.rows <= batch::kMostRows);
  KETROVANE_FUZZ_CHECK(std::isfinite(a.value(0)) && std::isfinite(a.value(a.rows - 1)));
  if (!a.swept) KETROVANE_FUZZ_CHECK(a.rows == 1);
}

void check_cross_section(float b, float t, float er) {
  KETROVANE_FUZZ_CHECK(b > 0.0F && std::isfinite(b));
  KETROVANE_FUZZ_CHECK(t >= 0.0F && t <= 0.8F * b);
  KETROVANE_FUZZ_CHECK(er >= 1.0F && std::isfinite(er));
}

void read_command(batch::Command command, const OptionTexts& texts) {
  switch (command) {
    case batch::Command::field: {
      const batch::FieldRequest q = batch::read_field(texts);
      check_cross_section(q.b, q.t, q.er);
      check_axis(q.w);
      check_axis(q.s);
      KETROVANE_FUZZ_CHECK(q.tolerance >= 1e-10 && q.tolerance <= 0.01);
      return;
    }
    case batch::Command::analyse: {
      const batch::AnalyseRequest q = batch::read_analyse(texts);
      check_cross_section(q.b, q.t, q.er);
      check_axis(q.w);
      check_axis(q.s);
      KETROVANE_FUZZ_CHECK(q.w.rows * q.s.rows <= batch::kMostRows);
      KETROVANE_FUZZ_CHECK(q.f_mhz > 0.0F && q.materials.loss_tangent >= 0.0F);
      return;
    }
    case batch::Command::synthesise: {
      const batch::SynthesiseRequest q = batch::read_synthesise(texts);
      check_cross_section(q.b, q.t, q.er);
      check_axis(q.targets);
      if (q.by_coupling) {
        KETROVANE_FUZZ_CHECK(std::fabs(q.targets.value(0)) > 0.0F);
      } else {
        KETROVANE_FUZZ_CHECK(q.targets.value(0) > q.zo);
      }
      return;
    }
    case batch::Command::response: {
      const batch::ResponseRequest q = batch::read_response(texts);
      check_axis(q.f);
      KETROVANE_FUZZ_CHECK(q.f.value(0) > 0.0F);
      KETROVANE_FUZZ_CHECK(q.length_inch > 0.0F && q.rs > 0.0F && q.rl > 0.0F);
      if (q.dimensions) check_cross_section(q.dimensions->board.b, q.dimensions->board.t, q.er);
      if (!q.dimensions) KETROVANE_FUZZ_CHECK(q.coupling_db < 0.0F);
      return;
    }
    case batch::Command::sensitivity: {
      const batch::SensitivityRequest q = batch::read_sensitivity(texts);
      check_cross_section(q.b, q.t, q.er);
      check_axis(q.w);
      check_axis(q.s);
      return;
    }
  }
}

OptionTexts texts_of(std::string_view text) {
  OptionTexts texts;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      texts[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return texts;
}

// Every value also read alone as each kind of quantity.
void check_quantities(const OptionTexts& texts) {
  constexpr batch::Quantity kKinds[] = {
      {"length", batch::Dimension::length, 0.0, false, 1000.0},
      {"frequency", batch::Dimension::frequency, 0.0, false, 1.0e6},
      {"impedance", batch::Dimension::impedance, 0.0, false, 1.0e4},
      {"coupling", batch::Dimension::coupling, 0.0, false, 60.0, true},
      {"number", batch::Dimension::pure, 0.0, true, 1.0},
  };
  for (const auto& [name, value] : texts) {
    for (const batch::Quantity& q : kKinds) {
      try {
        const float v = batch::parse_quantity("--x", value, q);
        KETROVANE_FUZZ_CHECK(std::isfinite(v));
        KETROVANE_FUZZ_CHECK(std::fabs(static_cast<double>(v)) <= q.most);
      } catch (const InputError& e) {
        check_message(e);
      }
    }
  }
}

}  // namespace

int fuzz_calc_options(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto command = static_cast<batch::Command>(data[0] % 4U);
  const OptionTexts texts =
      texts_of(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  check_quantities(texts);
  try {
    read_command(command, texts);
  } catch (const InputError& e) {
    check_message(e);
  }
  return 0;
}

}  // namespace ketrovane::fuzz
