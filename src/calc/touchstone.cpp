#include "calc/touchstone.hpp"

#include <array>
#include <cmath>

#include "batch/input_error.hpp"
#include "batch/number_format.hpp"
#include "common/constants.hpp"

namespace ketrovane::calc {

using batch::kNumberChars;
using batch::shortest;
using batch::write_shortest;

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

PairFormat pair_format_named(std::string_view name) {
  if (name == "db") return PairFormat::db;
  if (name == "ri") return PairFormat::ri;
  return PairFormat::ma;
}

TouchstoneWriter::TouchstoneWriter(Sink& sink, const std::vector<std::string>& comments,
                                   PairFormat format, float reference_ohm)
    : sink_(sink), format_(format) {
  for (const std::string& line : comments) {
    sink_.write("! ");
    sink_.write(line);
    sink_.put('\n');
  }
  sink_.write("# MHz S ");
  sink_.write(format_name(format));
  sink_.write(" R ");
  sink_.write(shortest(reference_ohm));
  sink_.put('\n');
}

void TouchstoneWriter::frequency(float f_mhz, const ScatteringMatrix& m) {
  sink_.commit_reserved(write_shortest(sink_.reserve(kNumberChars), f_mhz));
  // The section's matrix holds four distinct values: each is formatted once.
  std::array<Complex, kPairsPerMatrix> seen{};
  std::array<std::string, kPairsPerMatrix> text;
  std::size_t distinct = 0;
  for (int row = 1; row <= kScatteringPorts; ++row) {
    if (row > 1) sink_.write("\n ");
    for (int column = 1; column <= kScatteringPorts; ++column) {
      const Complex value = m(row, column);
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

// Magnitude and angle as the response rows form them.
std::string TouchstoneWriter::pair(Complex s) const {
  float first = s.real();
  float second = s.imag();
  if (format_ != PairFormat::ri) {
    const float magnitude = std::sqrt(s.real() * s.real() + s.imag() * s.imag());
    first = format_ == PairFormat::ma
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
