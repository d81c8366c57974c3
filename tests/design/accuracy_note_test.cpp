// The one note on the closed-form model's accuracy, under a plain wording:
// which sentence each state of the watch gives, with which row and bound,
// and that the threshold and the extent it names are the map's own.
#include "design/accuracy_note.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "field/accuracy_map.hpp"

namespace ketrovane {
namespace {

constexpr double kOutside = std::numeric_limits<double>::infinity();

CrossSection row(float w) {
  return {{1.0F, 0.01F, 2.2F}, w, 0.1F};
}

// Rows named by their whole W, bounds printed in thousandths.
AccuracyNoteWording plain_wording() {
  return {
      .name_row = [](std::string& text,
                     const CrossSection& x) { text += "W " + std::to_string(std::lround(x.w)); },
      .percent = [](double fraction) { return std::to_string(std::lround(fraction * 1000.0)); },
      .outside_map = " outside ({map})",
      .loss_at_same_row = " and loss {percent}",
      .loss_at_other_row = ", loss {percent} at {row}",
      .advice = "."};
}

AccuracyWatch watch(double impedance, float impedance_w, double loss, float loss_w) {
  AccuracyWatch a;
  a.seen = true;
  a.worst_impedance = impedance;
  a.impedance_where = row(impedance_w);
  a.loss_seen = loss >= 0.0;
  a.worst_loss = loss;
  a.loss_where = row(loss_w);
  return a;
}

// A loss bound of -1: no row with a loss.
struct Case {
  const char* fault;
  AccuracyWatch watch;
  std::string note;
};

TEST(AccuracyNote, EachStateOfTheWatchGivesItsSentence) {
  const double at_threshold = field::kNegligibleModelError;
  const double above = std::nextafter(at_threshold, 1.0);
  const AccuracyNoteWording wording = plain_wording();
  const Case cases[] = {
      {"noted at the threshold itself", watch(at_threshold, 1, at_threshold, 2), ""},
      {"the loss not noted alone", watch(at_threshold, 1, 0.05, 2),
       "note: at W 2 the closed-form model's conductor loss may be off by up to 50."},
      {"a loss row without a loss taken for one", watch(above, 1, -1.0, 1),
       "note: at W 1 the closed-form model may be off by up to 10."},
      {"the same row named twice", watch(0.02, 3, 0.04, 3),
       "note: at W 3 the closed-form model may be off by up to 20 and loss 40."},
      {"the loss's row or bound swapped with the impedances'", watch(0.02, 3, 0.04, 5),
       "note: at W 3 the closed-form model may be off by up to 20, loss 40 at W 5."},
      {"bounds off the map printed as per cents", watch(kOutside, 4, kOutside, 4),
       "note: at W 4 outside (W/B 0.1 to 3, S/B 0.01 to 2, T/B 0 to 0.2)."},
  };
  for (const Case& c : cases) EXPECT_EQ(accuracy_note(c.watch, wording), c.note) << c.fault;
}

// The extent the note names is where the map stops vouching: at each end of
// each axis the bounds are finite, just beyond it they are not.
TEST(AccuracyNote, TheExtentNamedIsTheMaps) {
  const field::MapExtent e = field::map_extent();
  const std::array<field::AxisRange, 3> axes{e.w_over_b, e.s_over_b, e.t_over_b};
  std::array<double, 3> middle{};
  for (std::size_t i = 0; i < axes.size(); ++i) middle[i] = (axes[i].low + axes[i].high) / 2;
  for (std::size_t i = 0; i < axes.size(); ++i) {
    const auto vouched_at = [&](double x) {
      std::array<double, 3> p = middle;
      p[i] = x;
      return std::isfinite(field::model_error_bounds(p[0], p[1], p[2]).impedance);
    };
    EXPECT_TRUE(vouched_at(axes[i].low) && vouched_at(axes[i].high)) << "axis " << i;
    EXPECT_FALSE(vouched_at(std::nextafter(axes[i].low, -1.0))) << "axis " << i;
    EXPECT_FALSE(vouched_at(std::nextafter(axes[i].high, 10.0))) << "axis " << i;
  }
}

}  // namespace
}  // namespace ketrovane
