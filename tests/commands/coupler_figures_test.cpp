// The figures a coupler is specified by, each against a reference of its
// own: the band of the summary against the exact band of an ideal
// quarter-wave coupler and a scan of the rows, the cut-off of the first
// higher-order mode against its textbook value and the note at and below
// it, and the readings of thickness and frequency an engineer types.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <string>
#include <utility>

#include "commands/command_table.hpp"
#include "commands/input_error.hpp"
#include "commands/mode_note.hpp"
#include "commands/option_values.hpp"
#include "commands/requests.hpp"
#include "design/band_summary.hpp"
#include "design/higher_mode.hpp"

namespace ketrovane::commands {
namespace {

using Texts = std::initializer_list<std::pair<const char*, const char*>>;

void set(TextValues& v, Texts texts) {
  for (const auto& [name, text] : texts) v.set(option_named(name)->id, text);
}

ResponseRequest response(Texts texts) {
  TextValues v;
  set(v, texts);
  return read_response(v);
}

BandSummary summary_of(const ResponseRequest& q) {
  return band_summary(coupler_of(q), q.terminations, q.f, q.f0_mhz, q.flatness_db);
}

std::string message_of(Command c, Texts texts) {
  TextValues v;
  set(v, texts);
  try {
    command(c).read(v);
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

// An ideal quarter-wave section of voltage coupling k at f0: |S41|^2 =
// k^2 sin^2(theta) / (1 - k^2 cos^2(theta)), theta = (pi/2) f/f0, at most k
// at f0.  It falls to k^2 m (m = 10^(-F/10)) where sin^2(theta) =
// m (1 - k^2) / (1 - m k^2): the band edges are symmetric about f0.
double exact_low_edge_mhz(double coupling_db, double flatness_db, double f0) {
  const double k2 = std::pow(10.0, -coupling_db / 10.0);
  const double m = std::pow(10.0, -flatness_db / 10.0);
  const double sin_theta = std::sqrt(m * (1.0 - k2) / (1.0 - m * k2));
  return f0 * std::asin(sin_theta) / (std::numbers::pi / 2.0);
}

TEST(BandSummary, IdealCouplersBandIsTheExactOne) {
  for (const char* flatness : {"0.1", "0.5", "1"}) {
    SCOPED_TRACE(flatness);
    const ResponseRequest q = response({{"zo", "50"},
                                        {"coupling", "10"},
                                        {"er", "2.2"},
                                        {"f0", "2GHz"},
                                        {"f", "0.5GHz:3.5GHz:1MHz"},
                                        {"flatness", flatness}});
    const BandSummary s = summary_of(q);
    const double low = exact_low_edge_mhz(10.0, std::stod(flatness), 2000.0);
    ASSERT_TRUE(s.low && s.high);
    EXPECT_FALSE(s.low->beyond_sweep || s.high->beyond_sweep);
    // Interpolated between rows 1 MHz apart.
    EXPECT_NEAR(s.low->f_mhz, low, 0.05);
    EXPECT_NEAR(s.high->f_mhz, 4000.0 - low, 0.05);
    EXPECT_NEAR(s.coupling_at_f0_db, -10.0F, 1e-4);
    EXPECT_NEAR(s.worst_quadrature_error_deg, 0.0F, 1e-3);
  }
}

// The worst figures of the rows at f0 and strictly inside the band.
struct ScannedWorst {
  float directivity_db;
  float return_loss_db;
  float quadrature_error_deg;  // the largest magnitude, with its sign
  float least_balance_db;
  float greatest_balance_db;
};

void take(ScannedWorst& w, const FourPortResponse& r) {
  w.directivity_db = std::fmin(w.directivity_db, directivity_db(r));
  w.return_loss_db = std::fmin(w.return_loss_db, return_loss_db(r));
  if (std::fabs(r.quadrature_error_deg) > std::fabs(w.quadrature_error_deg)) {
    w.quadrature_error_deg = r.quadrature_error_deg;
  }
  const float balance = r.amplitude_db[Port::coupled] - r.amplitude_db[Port::through];
  w.least_balance_db = std::fmin(w.least_balance_db, balance);
  w.greatest_balance_db = std::fmax(w.greatest_balance_db, balance);
}

// Every row between the edges is within the flatness, the rows just
// outside are not, and the worst figures are those of the rows inside.  The
// lossy coupler's quadrature error runs from about -0.1 deg at the low edge
// through 0 to +0.13 deg at the high one: over the whole band its worst is
// positive, over a sweep that stops just above f0 it is negative, with
// smaller positive errors beside it (a worst taken without magnitudes reads
// +0.02 there).  The amplitude balance |S41| - |S21| spans the rows'.
TEST(BandSummary, AgreesWithAScanOfTheRows) {
  struct Case {
    const char* f;
    bool high_beyond_sweep;
    bool worst_quadrature_negative;
  };
  for (const Case& c :
       {Case{"100MHz:4GHz:7MHz", false, false}, Case{"100MHz:2.05GHz:7MHz", true, true}}) {
    SCOPED_TRACE(c.f);
    const ResponseRequest q = response({{"b", "62mil"},
                                        {"t", "1oz"},
                                        {"er", "3.66"},
                                        {"w", "24.8mil"},
                                        {"s", "6.4mil"},
                                        {"f0", "2GHz"},
                                        {"f", c.f},
                                        {"rs", "45"},
                                        {"flatness", "0.3"}});
    const BandSummary s = summary_of(q);
    ASSERT_TRUE(s.low && s.high);
    EXPECT_EQ(s.high->beyond_sweep, c.high_beyond_sweep);
    const ResponseCoupler coupler = coupler_of(q);
    const FourPortResponse centre = response_row(coupler, 2000.0F, q.terminations).response;
    const float c0 = centre.amplitude_db[Port::coupled];
    EXPECT_EQ(s.coupling_at_f0_db, c0);
    ScannedWorst worst{directivity_db(centre), return_loss_db(centre), centre.quadrature_error_deg,
                       0.0F, 0.0F};
    worst.least_balance_db = worst.greatest_balance_db = amplitude_balance_db(centre);
    int inside = 0;
    int positive_quadrature = 0;
    for (std::int64_t i = 0; i < q.f.rows; ++i) {
      const float f = q.f.value(i);
      const FourPortResponse r = response_row(coupler, f, q.terminations).response;
      const float deviation = std::fabs(r.amplitude_db[Port::coupled] - c0);
      if (f > s.low->f_mhz && (f < s.high->f_mhz || c.high_beyond_sweep)) {
        EXPECT_LE(deviation, 0.3F) << f;
        take(worst, r);
        if (r.quadrature_error_deg > 0.0F) ++positive_quadrature;
        ++inside;
      } else if (f > s.low->f_mhz - 7.0F && f < s.high->f_mhz + 7.0F) {
        EXPECT_GT(deviation, 0.3F) << f;  // the first row beyond each edge
      }
    }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(s.worst_directivity_db, worst.directivity_db);
    EXPECT_EQ(s.worst_return_loss_db, worst.return_loss_db);
    EXPECT_EQ(s.worst_quadrature_error_deg, worst.quadrature_error_deg);
    EXPECT_EQ(s.worst_quadrature_error_deg < 0.0F, c.worst_quadrature_negative);
    EXPECT_GT(positive_quadrature, 0);
    EXPECT_EQ(s.least_amplitude_balance_db, worst.least_balance_db);
    EXPECT_EQ(s.greatest_amplitude_balance_db, worst.greatest_balance_db);
    EXPECT_LT(s.least_amplitude_balance_db + 0.2F, s.greatest_amplitude_balance_db);
    // The mismatched source makes the figures finite and the band lopsided.
    EXPECT_LT(s.worst_return_loss_db, 40.0F);
  }
}

TEST(BandSummary, SaysWhereTheBandOutrunsTheSweepOrHasNoCentre) {
  const BandSummary narrow = summary_of(response({{"zo", "50"},
                                                  {"coupling", "10"},
                                                  {"er", "2.2"},
                                                  {"f0", "2GHz"},
                                                  {"f", "1.8GHz:2.3GHz:50MHz"}}));
  ASSERT_TRUE(narrow.low && narrow.high);
  EXPECT_TRUE(narrow.low->beyond_sweep);
  EXPECT_EQ(narrow.low->f_mhz, 1800.0F);
  EXPECT_TRUE(narrow.high->beyond_sweep);
  EXPECT_EQ(narrow.high->f_mhz, 2300.0F);

  const BandSummary off = summary_of(response(
      {{"zo", "50"}, {"coupling", "10"}, {"er", "2.2"}, {"f0", "2GHz"}, {"f", "3GHz:4GHz:50MHz"}}));
  EXPECT_FALSE(off.low || off.high);
  EXPECT_NEAR(off.coupling_at_f0_db, -10.0F, 1e-4);
}

// 299792458 m/s over the half wavelength, in the dielectric, in metres.
double half_wave_mhz(double metres, double er) {
  return 299792458.0 / (2.0 * metres * std::sqrt(er)) / 1e6;
}

TEST(HigherMode, CutOffsAreTheHalfWaveOfThePlatesAndOfTheStrip) {
  constexpr double kMetresPerInch = 0.0254;
  // B of 6.35 mm in air: 23.6057 GHz.
  EXPECT_NEAR(parallel_plate_cutoff_mhz(0.25, 1.0), 23605.7, 0.1);
  EXPECT_NEAR(parallel_plate_cutoff_mhz(0.062, 3.66), half_wave_mhz(0.062 * kMetresPerInch, 3.66),
              1e-6);
  const double half = (0.1 + std::numbers::pi * 0.25 / 4.0) * kMetresPerInch;
  EXPECT_NEAR(strip_te_cutoff_mhz(0.25, 0.1, 2.2), half_wave_mhz(half, 2.2), 1e-6);
  // The strip's mode is the lower once W passes B (1 - pi/4).
  EXPECT_EQ(first_higher_mode(0.25, 0.05, 2.2).mode, HigherMode::parallel_plate);
  EXPECT_EQ(first_higher_mode(0.25, 0.06, 2.2).mode, HigherMode::strip_te);
  EXPECT_EQ(first_higher_mode(0.25, 0.06, 2.2).f_mhz, strip_te_cutoff_mhz(0.25, 0.06, 2.2));
}

TEST(HigherMode, NoteComesWithTheFirstFrequencyAtTheCutOff) {
  // 24.8 mil strips on 62 mil of Er 3.66: the strip's mode at 41972.08 MHz.
  const double cutoff = strip_te_cutoff_mhz(0.062, 0.0248, 3.66);
  ASSERT_NEAR(cutoff, 41972.08, 0.01);
  const auto note_to = [](const char* f) {
    return higher_mode_note(response({{"b", "62mil"},
                                      {"t", "1oz"},
                                      {"er", "3.66"},
                                      {"w", "24.8mil"},
                                      {"s", "6.4mil"},
                                      {"f0", "2GHz"},
                                      {"f", f}}),
                            LengthUnit{"mm", 25.4});
  };
  EXPECT_EQ(note_to("1000:41972:1"), "");
  EXPECT_EQ(note_to("1000:41973:1"),
            "note: the frequencies from 41973 MHz are at or above the cut-off of the "
            "stripline's first higher-order mode, 41972 MHz (the strip's TE mode, for W "
            "0.62992 mm, B 1.5748 mm, Er 3.66); the quasi-TEM analysis does not hold there");
  // Found from the step: 41000 + 139 x 7.
  EXPECT_NE(note_to("41000:45000:7").find("from 41973 MHz"), std::string::npos);
  // A coupler given by Zo and coupling has no cross-section to judge.
  EXPECT_EQ(higher_mode_note(response({{"zo", "50"},
                                       {"coupling", "10"},
                                       {"er", "3.66"},
                                       {"f0", "2GHz"},
                                       {"f", "1GHz:100GHz:1GHz"}}),
                             kInches),
            "");
}

TEST(HigherMode, AnalyseIsJudgedAtItsWidestStrip) {
  const auto note_at = [](const char* w, const char* f) {
    TextValues v;
    set(v, {{"b", "0.25"}, {"t", "0"}, {"er", "2.2"}, {"w", w}, {"s", "0.01"}, {"f", f}});
    return higher_mode_note(command(Command::analyse).read(v), kInches);
  };
  const double widest = strip_te_cutoff_mhz(0.25, 0.2, 2.2);
  ASSERT_NEAR(widest, 10038.5, 0.1);
  EXPECT_EQ(note_at("0.1:0.2:0.05", "10038"), "");
  EXPECT_NE(note_at("0.1:0.2:0.05", "10039").find("10039 MHz is at or above"), std::string::npos);
  EXPECT_NE(note_at("0.1:0.2:0.05", "10039").find("for W 0.2 in"), std::string::npos);
  // Narrow strips: the parallel-plate mode, 15915 MHz.
  EXPECT_NE(note_at("0.01:0.03:0.01", "16GHz").find("the parallel-plate mode, for B 0.25 in"),
            std::string::npos);
  EXPECT_EQ(note_at("0.01:0.03:0.01", "15.9GHz"), "");
}

TEST(Readings, CopperWeightIsAThickness) {
  for (const auto& [text, inches] :
       {std::pair{"1oz", 0.00137F}, {"2OZ", 0.00274F}, {"0.5oz", 0.000685F}}) {
    TextValues v;
    set(v, {{"b", "62mil"}, {"t", text}, {"er", "3.66"}, {"w", "0.02"}, {"s", "0.005"}});
    EXPECT_FLOAT_EQ(read_analyse(v).grid.board.t, inches) << text;
  }
  // A weight is not a width.
  EXPECT_NE(message_of(Command::analyse,
                       {{"b", "62mil"}, {"t", "1oz"}, {"er", "3.66"}, {"w", "1oz"}, {"s", "0.005"}})
                .find("unknown length unit 'oz'"),
            std::string::npos);
}

TEST(Readings, ARangeWhereOneValueIsTakenSaysSo) {
  EXPECT_EQ(message_of(Command::analyse, {{"b", "0.25"},
                                          {"t", "0"},
                                          {"er", "2.2"},
                                          {"w", "0.1"},
                                          {"s", "0.01"},
                                          {"f", "1GHz:3GHz:0.5GHz"}}),
            "--f '1GHz:3GHz:0.5GHz': expected one frequency, not a range: this command takes a "
            "single value");
}

TEST(Readings, AmericanSpellingsNameTheSameCommands) {
  EXPECT_EQ(command_named("analyze"), &command(Command::analyse));
  EXPECT_EQ(command_named("synthesize"), &command(Command::synthesise));
  EXPECT_EQ(command_named("analyse"), &command(Command::analyse));
  EXPECT_EQ(command_named("analyzer"), nullptr);
}

}  // namespace
}  // namespace ketrovane::commands
