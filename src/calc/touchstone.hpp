// The scattering matrix of the coupler section over frequency as a
// four-port Touchstone file (.s4p), version 1.1 or 2.0: comment lines naming
// the program, its inputs and the port numbering, the option line (and for
// 2.0 the keywords, among them the reference of each port), and for each
// frequency the four matrix rows on four lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calc/output_file.hpp"
#include "commands/coupler_types.hpp"

namespace ketrovane::calc {

enum class PairFormat : std::uint8_t { ma, db, ri };

// The pair format --touchstone-format names (a choice already checked).
PairFormat pair_format_named(std::string_view name);

// How the file numbers the ports: ours (1 input, 2 thru, 3 isolated, 4
// coupled), or the other common one (1 input, 2 thru, 3 coupled, 4
// isolated).
enum class PortOrder : std::uint8_t { isolated_third, coupled_third };
PortOrder port_order_named(std::string_view name);

struct TouchstoneLayout {
  PairFormat format = PairFormat::ma;
  bool version_2 = false;
  PortOrder order = PortOrder::isolated_third;
  // The reference of each port in our numbering; all equal for 1.1.
  std::array<float, kScatteringPorts> references{};
  std::int64_t frequencies = 0;  // for 2.0's [Number of Frequencies]
};

class TouchstoneWriter {
 public:
  // `comments` are written one per line after "! ".
  TouchstoneWriter(Sink& sink, const std::vector<std::string>& comments,
                   const TouchstoneLayout& layout);
  TouchstoneWriter(const TouchstoneWriter&) = delete;
  TouchstoneWriter& operator=(const TouchstoneWriter&) = delete;
  TouchstoneWriter(TouchstoneWriter&&) = delete;
  TouchstoneWriter& operator=(TouchstoneWriter&&) = delete;
  ~TouchstoneWriter() = default;

  // The matrix in our numbering; an InputError when it is not finite,
  // naming `cause` when one is given.
  void frequency(float f_mhz, const ScatteringMatrix& m, std::string_view cause = {});
  // Every element of the matrix is finite.
  static bool finite(const ScatteringMatrix& m);
  // 2.0's [End].
  void finish();

 private:
  void check_finite(float f_mhz, const ScatteringMatrix& m, std::string_view cause) const;
  [[nodiscard]] std::string pair(Complex s) const;
  [[nodiscard]] int our_port(int port) const;

  Sink& sink_;
  TouchstoneLayout layout_;
};

}  // namespace ketrovane::calc
