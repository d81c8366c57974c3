// ketrovane-calc line end to end: a table checked by hand, the width for an
// impedance read back, and the refusals of its options.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

// Sheets (T = 0) in Er 2.2, lossless: the model's exact case.
const Args kSheets = {"line",  "--b",      "0.125",  "--t", "0",        "--er", "2.2",
                      "--rho", "lossless", "--tand", "0",   "--format", "csv"};

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Fault: a column out of place or named without its unit, the impedance off
// the exact sheet, the length per degree from the free-space wavelength.
// Checked by hand: Z = eta0/(4 sqrt(2.2)) K(k)/K(k'), k = sech(pi W/2B), by
// the AGM 67.7115 ohm at W/B = 0.5 and 44.0614 ohm at W/B = 1 (the model's
// float Hilberg form within 2e-7 of both); L/deg = 11802.8545 / (1000
// sqrt 2.2) / 360 = 0.0221041 in.
TEST(Line, WritesTheHandCheckedTable) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(tmp.path(), with(kSheets, {"--w", "0.0625:0.125:0.0625"}));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "w_in,w_over_b,zo_ohm,eeff,loss_conductor_db_per_in,loss_dielectric_db_per_in,"
            "loss_db_per_in,length_per_deg_in,status\n"
            "0.0625,0.5,67.71163,2.2,-0,-0,-0,0.022104118,ok\n"
            "0.125,1,44.061413,2.2,-0,-0,-0,0.022104118,ok\n");
}

// Fault: the width for an impedance not the line of that impedance, or the
// field's columns missing beside the model's.  The widths of the table
// above come back from their impedances, and the field agrees.
TEST(Line, TheWidthOfAnImpedanceComesBack) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o =
      run_calc(tmp.path(), with(kSheets, {"--zo", "44.0614:67.7115:23.6501", "--solver", "both"}));
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> lines = lines_of(o.out);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 38), "status,zo_field_ohm,zo_model_error_pct");
  const double widths[] = {0.125, 0.0625};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::vector<std::string> f = fields_of(lines[i + 1]);
    EXPECT_NEAR(std::stod(f[0]) / widths[i], 1.0, 1e-4) << lines[i + 1];
    EXPECT_EQ(f[8], "converged");
    EXPECT_NEAR(std::stod(f[10]), 0.0, 0.01);  // the model's error in per cent
  }
}

// Fault: an option of the line taken where it means nothing, or a refusal
// that does not name it.
TEST(Line, RefusesWhatItCannotDo) {
  const e2e::TemporaryDirectory tmp;
  const struct {
    Args args;
    std::string err;
  } cases[] = {
      {with(kSheets, {"--w", "0.1", "--zo", "50"}),
       "ketrovane-calc: --w or --zo: give only one of them\n"},
      {with(kSheets, {"--w", "0.1", "--h", "0.04"}),
       "ketrovane-calc: --h '0.04': the closed-form model covers a centred strip only; add "
       "--solver field\n"},
      {with(kSheets, {"--w", "0.1", "--h", "0.2", "--solver", "field"}),
       "ketrovane-calc: --h '0.2': expected the strip between the planes: above T/2 (0 in) and "
       "below B - T/2 (0.125 in)\n"},
  };
  for (const auto& c : cases) {
    const CalcOutcome o = run_calc(tmp.path(), c.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, c.err);
  }
  // No width gives 5000 ohm: the row says so and the run exits 1.
  const CalcOutcome none = run_calc(tmp.path(), with(kSheets, {"--zo", "5000"}));
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find(",not_representable"), std::string::npos) << none.out;
}

// Fault: a line wide enough to carry the strip's TE mode at --f analysed
// without a word, as analyse's strips are not.
TEST(Line, NotesTheHigherOrderModeOfItsWidestStrip) {
  const e2e::TemporaryDirectory tmp;
  const Args wide = {
      "line", "--b", "62mil", "--t", "1oz", "--er", "3.66", "--w", "100mil:300mil:100mil"};
  EXPECT_EQ(run_calc(tmp.path(), with(wide, {"--f", "8GHz"})).err, "");
  EXPECT_EQ(run_calc(tmp.path(), with(wide, {"--f", "30GHz"})).err,
            "ketrovane-calc: note: 30000 MHz is at or above the cut-off of the stripline's first "
            "higher-order mode, 8846 MHz (the strip's TE mode, for W 300 mil, B 62 mil, Er 3.66); "
            "the quasi-TEM analysis does not hold there\n");
}

}  // namespace
}  // namespace ketrovane::calc_test
