// Every routine of the model accepts any float: outside the preconditions the
// results may be NaN or infinite, but nothing traps or misbehaves.  Run under
// the sanitizers this checks for undefined behaviour.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

const std::vector<float>& awkward_values() {
  static const std::vector<float> values = {
      0.0F,
      -0.0F,
      -1.0F,
      1e-30F,
      std::numeric_limits<float>::denorm_min(),
      0.25F,
      1.0F,
      1e30F,
      std::numeric_limits<float>::max(),
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::quiet_NaN(),
  };
  return values;
}

TEST(Robustness, AnyInputIsSafe) {
  const auto& v = awkward_values();
  float sink = 0.0F;
  for (const float b : {0.25F, 0.0F, -1.0F, std::numeric_limits<float>::quiet_NaN()}) {
    for (const float s : v) {
      for (const float t : v) {
        for (const float w : v) {
          const CrossSection x{.board = {.b = b, .t = t, .er = 2.2F}, .w = w, .s = s};
          sink += mode_impedances(x).zoe;
          sink += impedance_sensitivities(x).even.b;
          sink += mode_attenuation(x, {6.7e-7F, 5e-6F}, 0.001F, 1000.0F).odd_db_per_inch;
        }
      }
    }
  }
  for (const float a : v) {
    for (const float c : v) {
      sink +=
          mode_impedances({.board = {.b = 0.25F, .t = 0.01F, .er = a}, .w = 0.2F, .s = 0.04F}).zoo;
      sink += mode_attenuation({.board = {.b = 0.25F, .t = 0.01F, .er = a}, .w = 0.2F, .s = 0.04F},
                               {c, a}, c, c)
                  .even_db_per_inch;
      sink +=
          mode_attenuation({.board = {.b = 0.25F, .t = 0.0F, .er = 2.2F}, .w = 0.2F, .s = 0.04F},
                           {c, c}, a, a)
              .even_db_per_inch;
      sink += coupler_from_modes(ModePair{a, c}).coupling_db;
      const ModesOfCoupler m = modes_from_coupler(CouplerTarget{a, c});
      sink += m.zoe + m.zoo;
    }
  }
  static_cast<void>(sink);
  SUCCEED();
}

}  // namespace
}  // namespace ketrovane
