#include "design/accuracy_watch.hpp"

#include "field/accuracy_map.hpp"

namespace ketrovane {

namespace {

// The worst of a bound and the row it was seen at, the first of equals kept.
void keep_worst(bool seen, double& worst, CrossSection& where, double bound,
                const CrossSection& x) {
  if (!seen || bound > worst) {
    worst = bound;
    where = x;
  }
}

}  // namespace

void AccuracyWatch::note(const CrossSection& x, bool with_loss) {
  const double b = x.board.b;
  const field::ModelErrorBounds bounds =
      field::model_error_bounds(x.w / b, x.s / b, static_cast<double>(x.board.t) / b);
  keep_worst(seen, worst_impedance, impedance_where, bounds.impedance, x);
  seen = true;
  if (!with_loss) return;
  keep_worst(loss_seen, worst_loss, loss_where, bounds.conductor_loss, x);
  loss_seen = true;
}

void AccuracyWatch::merge(const AccuracyWatch& later) {
  if (later.seen) {
    keep_worst(seen, worst_impedance, impedance_where, later.worst_impedance,
               later.impedance_where);
    seen = true;
  }
  if (later.loss_seen) {
    keep_worst(loss_seen, worst_loss, loss_where, later.worst_loss, later.loss_where);
    loss_seen = true;
  }
}

}  // namespace ketrovane
