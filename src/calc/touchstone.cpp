#include "calc/touchstone.hpp"

#include <array>
#include <cmath>

#include "commands/coupler_types.hpp"
#include "commands/input_error.hpp"
#include "commands/number_format.hpp"

namespace ketrovane::calc {

using commands::kNumberChars;
using commands::shortest;
using commands::write_shortest;

namespace {

// An exactly-zero wave in dB, as the four-port response floors it.
constexpr float kFloorMagnitude = 1.0E-10F;
constexpr std::size_t kPairsPerMatrix = 16;

std::string_view format_name(PairFormat f) {
  switch (f) {
    case PairFormat::db:
      return "DB";
    case PairFormat::ri:
      return "RI";
    case PairFormat::ma:
      break;
  }
  return "MA";
}

}  // namespace

// Our number of the file's port `port`.
int TouchstoneWriter::our_port(int port) const {
  constexpr std::array<int, kScatteringPorts> kCoupledThird = {1, 2, 4, 3};
  if (layout_.order == PortOrder::isolated_third) return port;
  return kCoupledThird.at(static_cast<std::size_t>(port - 1));
}

PairFormat pair_format_named(std::string_view name) {
  if (name == "db") return PairFormat::db;
  if (name == "ri") return PairFormat::ri;
  return PairFormat::ma;
}

PortOrder port_order_named(std::string_view name) {
  return name == "coupled-third" ? PortOrder::coupled_third : PortOrder::isolated_third;
}

TouchstoneWriter::TouchstoneWriter(Sink& sink, const std::vector<std::string>& comments,
                                   const TouchstoneLayout& layout)
    : sink_(sink), layout_(layout) {
  for (const std::string& line : comments) {
    sink_.write("! ");
    sink_.write(line);
    sink_.put('\n');
  }
  if (layout_.version_2) sink_.write("[Version] 2.0\n");
  sink_.write("# MHz S ");
  sink_.write(format_name(layout_.format));
  sink_.write(" R ");
  sink_.write(shortest(layout_.references[0]));
  sink_.put('\n');
  if (!layout_.version_2) return;
  sink_.write("[Number of Ports] 4\n[Number of Frequencies] ");
  sink_.write(std::to_string(layout_.frequencies));
  // The references on a line of their own, which every reader takes.
  sink_.write("\n[Reference]\n");
  for (int port = 1; port <= kScatteringPorts; ++port) {
    if (port > 1) sink_.put(' ');
    sink_.write(shortest(layout_.references.at(our_port(port) - 1)));
  }
  sink_.write("\n[Network Data]\n");
}

void TouchstoneWriter::finish() {
  if (layout_.version_2) sink_.write("[End]\n");
}

void TouchstoneWriter::frequency(float f_mhz, const ScatteringMatrix& m, std::string_view cause) {
  check_finite(f_mhz, m, cause);
  sink_.commit_reserved(write_shortest(sink_.reserve(kNumberChars), f_mhz));
  // The section's matrix holds four distinct values: each is formatted once.
  std::array<Complex, kPairsPerMatrix> seen{};
  std::array<std::string, kPairsPerMatrix> text;
  std::size_t distinct = 0;
  for (int row = 1; row <= kScatteringPorts; ++row) {
    if (row > 1) sink_.write("\n ");
    for (int column = 1; column <= kScatteringPorts; ++column) {
      const Complex value = m(our_port(row), our_port(column));
      std::size_t k = 0;
      while (k < distinct && !(seen.at(k) == value)) ++k;
      if (k == distinct) {
        seen.at(k) = value;
        text.at(k) = pair(value);
        ++distinct;
      }
      sink_.write(text.at(k));
    }
  }
  sink_.put('\n');
}

bool TouchstoneWriter::finite(const ScatteringMatrix& m) {
  for (int row = 1; row <= kScatteringPorts; ++row) {
    for (int column = 1; column <= kScatteringPorts; ++column) {
      const Complex s = m(row, column);
      if (!std::isfinite(s.real()) || !std::isfinite(s.imag())) return false;
    }
  }
  return true;
}

// A file of "nan" is no network: refused (the run fails and no file is
// written) at the first frequency whose matrix is not finite, with the
// cause where a failed row gives one, else the ports' references (a
// reference of no resistance makes such a matrix).
void TouchstoneWriter::check_finite(float f_mhz, const ScatteringMatrix& m,
                                    std::string_view cause) const {
  if (finite(m)) return;
  const std::string at = "the scattering matrix at " + shortest(f_mhz) + " MHz is not finite";
  if (!cause.empty()) {
    commands::refuse(commands::Opt::touchstone,
                     at + ": " + std::string(cause) + "; no file written");
  }
  const auto& r = layout_.references;
  const std::string references =
      layout_.version_2 ? "Rs = " + shortest(r[0]) + " ohm and Rl = " + shortest(r[1]) + " ohm"
                        : shortest(r[0]) + " ohm";
  commands::refuse(commands::Opt::touchstone,
                   at + " (ports referenced to " + references + "); no file written");
}

// Magnitude and angle as the response rows form them.
std::string TouchstoneWriter::pair(Complex s) const {
  float first = s.real();
  float second = s.imag();
  if (layout_.format != PairFormat::ri) {
    const float magnitude = std::sqrt(s.real() * s.real() + s.imag() * s.imag());
    first = layout_.format == PairFormat::ma
                ? magnitude
                : 20.0F * std::log10(magnitude == 0.0F ? kFloorMagnitude : magnitude);
    second = phase_angle(s.real(), s.imag()) * (180.0F / kPi);
  }
  std::array<char, 2 * kNumberChars + 2> buffer{};
  char* out = buffer.data();
  *out++ = ' ';
  out = write_shortest(out, first);
  *out++ = ' ';
  out = write_shortest(out, second);
  return {buffer.data(), out};
}

}  // namespace ketrovane::calc
