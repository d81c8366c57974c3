// ketrovane-calc's bare numbers: --units reads them as the same numbers
// with their units written, the lengths are written out in the one unit
// they were given in, and bare lengths beside other units get a note.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

Args response(const Args& lengths) {
  Args args = {"response",         "--er",     "4.4", "--f0", "2.4GHz", "--f",
               "2GHz:3GHz:0.5GHz", "--format", "csv"};
  args.insert(args.end(), lengths.begin(), lengths.end());
  return args;
}

// Fault: --units or the outputs' unit not carried from the option values
// to the run, or the note not written.
TEST(BareNumbers, UnitsTheOutputsUnitAndTheNote) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome written = run_calc(
      tmp.path(), response({"--b", "1.6mm", "--t", "0.035mm", "--w", "0.5mm", "--s", "0.2mm"}));
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_NE(lines_of(written.out).at(0).find(",length_mm,status"), std::string::npos);
  const CalcOutcome bare = run_calc(tmp.path(), response({"--units", "mm", "--b", "1.6", "--t",
                                                          "0.035", "--w", "0.5", "--s", "0.2"}));
  EXPECT_EQ(bare.out, written.out);
  EXPECT_EQ(bare.err, written.err);

  const CalcOutcome mixed =
      run_calc(tmp.path(), response({"--b", "1.6mm", "--t", "0.035", "--w", "0.5mm", "--s", "0.2mm",
                                     "--length-unit", "mm"}));
  EXPECT_EQ(lines_of(mixed.err).at(0),
            "ketrovane-calc: note: bare lengths are read as inches (--t) beside lengths given in "
            "mm; --units sets the unit of bare numbers");
  EXPECT_NE(lines_of(mixed.out).at(0).find(",length_mm,status"), std::string::npos);
}

}  // namespace
}  // namespace ketrovane::calc_test
