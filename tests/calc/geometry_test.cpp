// ketrovane-calc on strips off the centre plane and one above the other:
// what each geometry is refused with, and the fab's limits on a synthesis.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calc_runner.hpp"
#include "e2e/program_runner.hpp"

namespace ketrovane::calc_test {
namespace {

using Args = std::vector<std::string>;

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// A stackup of two 7 mil prepregs about a 5 mil core.
const Args kStackup = {"--b", "19mil", "--t", "0.7mil", "--er", "3.66"};

Args analysis(const Args& more) {
  return with(with({"analyse"}, kStackup), with({"--w", "8mil"}, more));
}

struct Refusal {
  const char* name;
  Args args;
  const char* message;  // the whole line after the program's name
};

class GeometryRefused : public testing::TestWithParam<Refusal> {};

TEST_P(GeometryRefused, WithOneLineAndStatusTwo) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o = run_calc(tmp.path(), GetParam().args);
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "ketrovane-calc: " + std::string(GetParam().message) + "\n");
}

const Refusal kRefusals[] = {
    {"ModelOneAboveTheOther", analysis({"--geometry", "broadside", "--sv", "5mil"}),
     "--geometry 'broadside': the closed-form model covers --geometry edge only; add --solver "
     "field"},
    {"ModelOffTheCentre", analysis({"--geometry", "edge-offset", "--s", "5mil", "--h", "6mil"}),
     "--geometry 'edge-offset': the closed-form model covers --geometry edge only; add --solver "
     "field"},
    {"BothOffTheCentre",
     analysis({"--geometry", "edge-offset", "--s", "5mil", "--h", "6mil", "--solver", "both"}),
     "--solver 'both': the model is compared with the field for --geometry edge only; use "
     "--solver field for edge-offset"},
    {"GapOfStripsOneAboveTheOther",
     analysis({"--geometry", "broadside", "--sv", "5mil", "--s", "5mil", "--solver", "field"}),
     "--s '5mil': only for --geometry edge and edge-offset (the geometry is broadside)"},
    {"VerticalGapSideBySide", analysis({"--s", "5mil", "--sv", "5mil"}),
     "--sv '5mil': only for --geometry broadside (the geometry is edge)"},
    {"OffsetSideBySide",
     analysis({"--geometry", "edge-offset", "--s", "5mil", "--h", "6mil", "--wo", "1mil",
               "--solver", "field"}),
     "--wo '1mil': only for --geometry broadside (the geometry is edge-offset)"},
    {"HeightCentred", analysis({"--s", "5mil", "--h", "6mil"}),
     "--h '6mil': only for --geometry edge-offset (the geometry is edge)"},
    {"HeightMissing", analysis({"--geometry", "edge-offset", "--s", "5mil", "--solver", "field"}),
     "--h: missing; expected a height H of the strips' mid-plane above the lower plane"},
    {"VerticalGapMissing", analysis({"--geometry", "broadside", "--solver", "field"}),
     "--sv: missing; expected a vertical gap SV between the strips"},
    {"UnknownGeometry", analysis({"--s", "5mil", "--geometry", "stacked"}),
     "--geometry 'stacked': expected edge, edge-offset or broadside"},
    {"SolvedGapGiven",
     with(with({"synthesise"}, kStackup),
          {"--zo", "50", "--coupling", "3", "--geometry", "broadside", "--solve", "w,sv", "--sv",
           "5mil", "--solver", "field"}),
     "--sv '5mil': solved for with --solve w,sv; give only --wo"},
    {"SolvedOffsetGiven",
     with(with({"synthesise"}, kStackup),
          {"--zo", "50", "--coupling", "3", "--geometry", "broadside", "--sv", "5mil", "--wo",
           "1mil", "--solver", "field"}),
     "--wo '1mil': solved for with --solve w,wo; give only --sv"},
    {"SolveSideBySide",
     with(with({"synthesise"}, kStackup), {"--zo", "50", "--coupling", "3", "--solve", "w,sv"}),
     "--solve 'w,sv': only for --geometry broadside (the geometry is edge)"},
    {"NegativeLimit",
     with(with({"synthesise"}, kStackup), {"--zo", "50", "--coupling", "3", "--min-gap", "-1mil"}),
     "--min-gap '-1mil': expected a least gap the fab makes of at least 0 in and at most 1000 in"},
    {"CouplerWithoutCrossSection",
     {"response", "--zo", "50", "--coupling", "3", "--er", "3.66", "--f0", "1000", "--f", "1000",
      "--geometry", "broadside"},
     "--geometry 'broadside': a coupler given by --zo and --coupling has no dimensions or "
     "losses"},
};

INSTANTIATE_TEST_SUITE_P(Geometry, GeometryRefused, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// A CSV row with its last field, the status, replaced.
std::string replaced_status(const std::string& row, const std::string& status) {
  return row.substr(0, row.rfind(',') + 1) + status;
}

// Side by side and centred, the fab's least gap keeps the tight designs
// from being built: each row keeps the dimensions it needs, the status says
// why, the run exits 1 and the note points to strips one above the other.

TEST(FabLimits, KeepDesignsTheFabCannotMakeUnbuilt) {
  const e2e::TemporaryDirectory tmp;
  const Args synthesis = {
      "synthesise", "--b",    "62mil",    "--t", "0.7mil",        "--er", "3.66",     "--zo", "50",
      "--coupling", "3:10:7", "--format", "csv", "--length-unit", "mil",  "--solver", "field"};
  const CalcOutcome free = run_calc(tmp.path(), synthesis);
  ASSERT_EQ(free.status, 0) << free.err;
  const std::vector<std::string> built = lines_of(free.out);
  ASSERT_EQ(built.size(), 3U);
  const std::string tight_gap = fields_of(built[1])[1];
  const std::string loose_width = fields_of(built[2])[0];

  const CalcOutcome limited = run_calc(tmp.path(), with(synthesis, {"--min-gap", "4mil"}));
  EXPECT_EQ(limited.status, 1);
  const std::vector<std::string> rows = lines_of(limited.out);
  ASSERT_EQ(rows.size(), 3U);
  EXPECT_EQ(rows[0], built[0]);
  // The refused row keeps the design it found: the gap it needs.
  EXPECT_EQ(rows[1], replaced_status(built[1], "gap_below_limit")) << "gap was " << tight_gap;
  EXPECT_EQ(rows[2], built[2]);
  EXPECT_EQ(limited.err,
            "ketrovane-calc: note: 1 of the designs need a gap S below --min-gap; strips one "
            "above the other across a thin core couple that tightly with no narrow gap: try "
            "--geometry broadside --sv L --solver field\n"
            "ketrovane-calc: 1 of the rows could not be built (see their status)\n");

  // A least width above the loose design's: that row is refused instead,
  // and the note on the gap is not given.
  const CalcOutcome narrow = run_calc(
      tmp.path(),
      with(synthesis, {"--min-width", std::to_string(std::stod(loose_width) + 1) + "mil"}));
  EXPECT_EQ(narrow.status, 1);
  const std::vector<std::string> narrow_rows = lines_of(narrow.out);
  ASSERT_EQ(narrow_rows.size(), 3U);
  EXPECT_EQ(narrow_rows[1], replaced_status(built[1], "width_below_limit"));
  EXPECT_EQ(narrow_rows[2], replaced_status(built[2], "width_below_limit"));
  EXPECT_EQ(narrow.err.find("note:"), std::string::npos) << narrow.err;
}

// The note offers strips one above the other only where this board has
// such a design within the limits: on 62 mil a 3 dB pair directly above
// each other needs a core of about 4 mil, which a least gap of 20 mil
// forbids as well.
TEST(FabLimits, BroadsideIsSuggestedOnlyWhereTheBoardAdmitsIt) {
  const e2e::TemporaryDirectory tmp;
  const Args tight = {"synthesise", "--b",      "62mil", "--t",       "0.7mil",
                      "--er",       "3.66",     "--zo",  "50",        "--coupling",
                      "3",          "--format", "csv",   "--min-gap", "20mil"};
  const CalcOutcome refused = run_calc(tmp.path(), tight);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "ketrovane-calc: note: 1 of the designs need a gap S below --min-gap (each row gives "
            "the gap it needs); strips one above the other on this board meet none of them within "
            "--min-gap and --min-width either\n"
            "ketrovane-calc: 1 of the rows could not be built (see their status)\n");
  const CalcOutcome broadside = run_calc(
      tmp.path(), with(tight, {"--geometry", "broadside", "--solve", "w,sv", "--solver", "field"}));
  EXPECT_EQ(fields_of(lines_of(broadside.out).at(1)).back(), "gap_below_limit");
}

// With --solve w,sv the least gap holds the solved core SV, not S (which
// strips one above the other do not have): SV about 4.3 mil passes 4 mil
// and is refused at 20 mil, keeping the SV it needs.
TEST(FabLimits, TheLeastGapOfABroadsideSynthesisHoldsTheSolvedCore) {
  const e2e::TemporaryDirectory tmp;
  const Args synthesis = {
      "synthesise", "--b",      "62mil", "--t",           "1.4mil", "--er",
      "3.66",       "--zo",     "50",    "--coupling",    "3",      "--geometry",
      "broadside",  "--solve",  "w,sv",  "--wo",          "0",      "--solver",
      "field",      "--format", "csv",   "--length-unit", "mil"};
  const struct {
    const char* min_gap;
    const char* status;
  } cases[] = {{"4mil", "converged"}, {"20mil", "gap_below_limit"}};
  const CalcOutcome free = run_calc(tmp.path(), synthesis);
  ASSERT_EQ(free.status, 0) << free.err;
  const std::string design = lines_of(free.out).at(1);
  const double sv = std::stod(fields_of(design).at(1));
  EXPECT_GT(sv, 4.0);
  EXPECT_LT(sv, 20.0);
  for (const auto& c : cases) {
    const CalcOutcome limited = run_calc(tmp.path(), with(synthesis, {"--min-gap", c.min_gap}));
    EXPECT_EQ(lines_of(limited.out).at(1), replaced_status(design, c.status)) << c.min_gap;
  }
}

// The CSV column named `name` of each row.
std::vector<std::string> column(const std::string& csv, const std::string& name) {
  const std::vector<std::string> lines = lines_of(csv);
  const std::vector<std::string> names = fields_of(lines.at(0));
  std::size_t at = 0;
  while (at < names.size() && names[at] != name) ++at;
  std::vector<std::string> values;
  for (std::size_t i = 1; i < lines.size(); ++i) values.push_back(fields_of(lines[i]).at(at));
  return values;
}

double relative(const std::string& value, double target) {
  return std::abs(std::stod(value) / target - 1.0);
}

// Strips at mid-height are the centred pair: the same impedances, the
// height in its own columns, a row per width and spacing.
TEST(Geometries, OffTheCentrePlaneAtMidHeightIsTheCentredPair) {
  const e2e::TemporaryDirectory tmp;
  const Args centred = {"field",
                        "--b",
                        "62mil",
                        "--t",
                        "1.4mil",
                        "--er",
                        "3.66",
                        "--w",
                        "10mil:30mil:10mil",
                        "--s",
                        "5mil:10mil:5mil",
                        "--format",
                        "csv"};
  const CalcOutcome edge = run_calc(tmp.path(), centred);
  const CalcOutcome offset =
      run_calc(tmp.path(), with(centred, {"--geometry", "edge-offset", "--h", "31mil"}));
  ASSERT_EQ(offset.status, 0) << offset.err;
  EXPECT_EQ(
      lines_of(offset.out).at(0),
      "w_mil,s_mil,h_mil,w_over_b,s_over_b,h_over_b,zo_ohm,zoe_ohm,zoo_ohm,coupling_db,eeff_even,"
      "eeff_odd,c_even,c_odd,error_estimate,panels,status");
  EXPECT_EQ(lines_of(offset.out).size(), 7U);
  for (const char* name : {"w_mil", "s_mil", "zoe_ohm", "zoo_ohm", "coupling_db"}) {
    EXPECT_EQ(column(offset.out, name), column(edge.out, name)) << name;
  }
  EXPECT_EQ(column(offset.out, "h_over_b"), std::vector<std::string>(6, "0.5"));
}

// A 3 dB coupler one above the other across a 4 mil core between 30 mil
// laminates: the synthesis meets both targets on the field, its dimensions
// analysed again give them back, and a thicker core is named as the reason
// when the strips cannot couple that tightly.
TEST(Geometries, OneAboveTheOtherSynthesisedAndAnalysedAgain) {
  const e2e::TemporaryDirectory tmp;
  const Args board = {"--b",      "65.4mil",  "--t",           "0.7mil",     "--er",
                      "3.66",     "--solver", "field",         "--geometry", "broadside",
                      "--format", "csv",      "--length-unit", "mil"};
  const CalcOutcome design = run_calc(
      tmp.path(),
      with(with({"synthesise"}, board), {"--zo", "50", "--coupling", "3", "--sv", "4mil"}));
  ASSERT_EQ(design.status, 0) << design.err;
  EXPECT_EQ(lines_of(design.out).at(0),
            "w_mil,sv_mil,wo_mil,w_over_b,sv_over_b,wo_over_b,zo_ohm,zoe_ohm,zoo_ohm,coupling_db,"
            "eeff_even,eeff_odd,status");
  const std::string w = column(design.out, "w_mil").at(0);
  const std::string wo = column(design.out, "wo_mil").at(0);
  EXPECT_EQ(column(design.out, "sv_mil").at(0), "4");
  EXPECT_GT(std::stod(wo), 0.0);
  EXPECT_EQ(column(design.out, "status").at(0), "converged");

  const CalcOutcome again =
      run_calc(tmp.path(), with(with({"analyse"}, board), {"--w", w + "mil", "--sv", "4mil", "--wo",
                                                           wo + "mil", "--rho", "lossless"}));
  ASSERT_EQ(again.status, 0) << again.err;
  // Zoe 120.914 and Zoo 20.676 ohm make 3 dB at 50 ohm; the dimensions are
  // rounded to single precision on the way.
  EXPECT_LT(relative(column(again.out, "zoe_ohm").at(0), 120.913635), 3e-4);
  EXPECT_LT(relative(column(again.out, "zoo_ohm").at(0), 20.675915), 3e-4);

  const CalcOutcome thick = run_calc(
      tmp.path(),
      with(with({"synthesise"}, board), {"--zo", "50", "--coupling", "3", "--sv", "8mil"}));
  EXPECT_EQ(thick.status, 1);
  EXPECT_EQ(lines_of(thick.out).at(1),
            ",8,,,0.12232417,,50,120.913635,20.675915,-3,3.66,3.66,needs_thinner_core");
  EXPECT_EQ(thick.err,
            "ketrovane-calc: note: 1 of the designs need a thinner core: even directly above each "
            "other (WO = 0) the strips couple less than asked across this --sv; give a smaller "
            "--sv, or --solve w,sv to find the gap that couples as asked\n"
            "ketrovane-calc: 1 of the rows could not be built (see their status)\n");

  // On a stack SV is the core layer's thickness: the note asks for a
  // thinner layer, not for the --sv and --solve w,sv a stack refuses.
  const CalcOutcome stacked =
      run_calc(tmp.path(), {"synthesise", "--layers", "30mil:3.66,20mil:3.0,30mil:3.66", "--core",
                            "2", "--geometry", "broadside", "--t", "0.7mil", "--zo", "50",
                            "--coupling", "3", "--solver", "field"});
  EXPECT_EQ(stacked.status, 1);
  EXPECT_EQ(lines_of(stacked.err).at(0),
            "ketrovane-calc: note: 1 of the designs need a thinner core: even directly above each "
            "other (WO = 0) the strips couple less than asked across the core layer of --layers; "
            "give a thinner core layer");
}

// Sensitivities one above the other: to SV and WO instead of S, and the
// impedances depend on the lengths' ratios only, so the five length
// sensitivities of each mode sum to zero.
TEST(Geometries, SensitivitiesOneAboveTheOtherSumToZero) {
  const e2e::TemporaryDirectory tmp;
  const CalcOutcome o =
      run_calc(tmp.path(), {"sensitivity", "--b", "65.4mil", "--t", "0.7mil", "--er", "3.66", "--w",
                            "16mil:18mil:2mil", "--geometry", "broadside", "--sv", "4mil", "--wo",
                            "3mil", "--solver", "field", "--format", "csv"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(lines_of(o.out).at(0),
            "w_mil,sv_mil,wo_mil,zoe_ohm,zoo_ohm,eeff_even,eeff_odd,szoe_er,szoe_b,szoe_t,szoe_w,"
            "szoe_sv,szoe_wo,szoo_er,szoo_b,szoo_t,szoo_w,szoo_sv,szoo_wo,status");
  ASSERT_EQ(lines_of(o.out).size(), 3U);
  for (const char* mode : {"szoe_", "szoo_"}) {
    const std::string m(mode);
    for (std::size_t row = 0; row < 2; ++row) {
      double sum = 0.0;
      for (const char* x : {"b", "t", "w", "sv", "wo"})
        sum += std::stod(column(o.out, m + x).at(row));
      EXPECT_NEAR(sum, 0.0, 1e-5) << mode;
    }
    // A wider gap loosens the coupling: Zoo rises, Zoe falls.
    const double to_gap = std::stod(column(o.out, m + "sv").at(0));
    EXPECT_TRUE(m == "szoo_" ? to_gap > 0.0 : to_gap < 0.0) << mode << to_gap;
  }
}

}  // namespace
}  // namespace ketrovane::calc_test
