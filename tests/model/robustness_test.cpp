// Every routine of the model accepts any float: outside the preconditions the
// results may be NaN or infinite, but nothing traps or misbehaves.  Run under
// the sanitizers this checks for undefined behaviour.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "model/stripline_model.hpp"

namespace ketrovane {
namespace {

const std::vector<float>& awkwardValues() {
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
  const auto& v = awkwardValues();
  float sink = 0.0F;
  for (const float b : {0.25F, 0.0F, -1.0F, std::numeric_limits<float>::quiet_NaN()}) {
    for (const float s : v) {
      for (const float t : v) {
        for (const float w : v) {
          const CrossSection x{b, 2.2F, s, t, w};
          sink += sl1imp(x).zoe;
          sink += sl1sen(x).even.szoeb;
          sink += sl1los(x, 1000.0F, 6.7e-7F, 5e-6F, 0.001F).ato;
        }
      }
    }
  }
  for (const float a : v) {
    for (const float c : v) {
      sink += sl1imp({0.25F, a, 0.04F, 0.01F, 0.2F}).zoo;
      sink += sl1los({0.25F, a, 0.04F, 0.01F, 0.2F}, c, c, a, c).ate;
      sink += sl1los({0.25F, 2.2F, 0.04F, 0.0F, 0.2F}, a, c, c, a).ate;
      sink += sl1zo(ModePair{a, c}).ko;
      const ModesFromCoupler m = sl1zo(CouplerSpec{a, c});
      sink += m.zoe + m.zoo;
    }
  }
  static_cast<void>(sink);
  SUCCEED();
}

}  // namespace
}  // namespace ketrovane
