// The rows of a scripting call: one row of a batch command per element of
// the call's broadcast arguments, each read through the batch readers (the
// same checks and messages as the command line) and computed by the batch
// rows, on as many threads as the machine has.  Nothing here knows Python:
// the module hands in plain buffers and gets plain buffers back.
#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/columns.hpp"
#include "batch/commands.hpp"
#include "batch/solver.hpp"

namespace ketrovane::python {

// One argument of a call, by its option name: a text, or numbers in the
// call's units, either one for every element or one per element.
struct Argument {
  std::string_view name;
  std::optional<std::string_view> text;
  const double* numbers = nullptr;
  bool per_element = false;
};

struct Call {
  std::vector<Argument> arguments;  // the options given, each once
  batch::LengthUnit length_unit;    // of the numbers of lengths and of the lengths written out
  std::string_view frequency_unit;  // of the numbers of frequencies
  batch::SolverChoice solver = batch::SolverChoice::model;
  std::int64_t elements = 0;
};

// A mistake in the values of one element, in the command line's words.
struct ElementError {
  std::int64_t index;
  std::string message;
};

// Thrown when `interrupted` said yes: the rows stopped part way.
struct Interrupted {};

// Where a table of rows goes: column c of element i at numbers[c * elements
// + i], in the call's length unit, NaN where the command line leaves a cell
// empty.  A text cell (the synthesis status, in text_column) leaves NaN
// there and puts the text's code in codes[i]; texts[code] is the text.
struct TableOutput {
  std::span<float> numbers;
  std::span<std::uint8_t> codes;
  std::vector<std::string_view> texts;
  int text_column = -1;  // none
};

// The rows of `command` for every element.  Returns the first element
// (in element order) whose values the command line would refuse, with its
// message; another exception is rethrown.  `interrupted` is asked on the
// calling thread between blocks of rows; when it says yes the rows stop and
// Interrupted is thrown.
std::optional<ElementError> table_rows(batch::Command command, const Call& call, TableOutput& out,
                                       const std::function<bool()>& interrupted);

// The scattering matrix of the response's section with every port
// referenced to the option ref: element i's S(row, column) at s[i * 16 +
// (row - 1) * 4 + column - 1], its frequency in MHz at f_mhz[i] and its
// reference resistance at ref_ohm[i].
struct ScatteringOutput {
  std::span<std::complex<float>> s;
  std::span<float> f_mhz;
  std::span<float> ref_ohm;
};
std::optional<ElementError> scattering_rows(const Call& call, const ScatteringOutput& out,
                                            const std::function<bool()>& interrupted);

}  // namespace ketrovane::python
