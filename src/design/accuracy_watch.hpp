// Where the closed-form model is least sure among the rows of a table, by
// the map of its error against the field solution.
#pragma once

#include "model/cross_section.hpp"

namespace ketrovane {

struct AccuracyWatch {
  bool seen = false;
  double worst_impedance = 0.0;  // relative; infinity outside the map
  CrossSection impedance_where{};
  double worst_loss = 0.0;  // relative, of the conductor loss
  CrossSection loss_where{};
  bool loss_seen = false;

  // A row of the model at x; with_loss when the row has a conductor loss.
  void note(const CrossSection& x, bool with_loss);
  // The rows of `later` follow those noted here: the first worst row stays.
  void merge(const AccuracyWatch& later);

  bool operator==(const AccuracyWatch&) const = default;
};

}  // namespace ketrovane
