#include "reports/report.hpp"

namespace ketrovane {

ModeImpedances analyse_dimensions(DesignParameters& p) {
  const ModeImpedances modes = sl1imp(CrossSection{p.b, p.er, p.s, p.t, p.w});
  p.zoe = modes.zoe;
  p.zoo = modes.zoo;
  const CouplerFromModes coupler = sl1zo(ModePair{p.zoe, p.zoo});
  p.zo = coupler.zo;
  p.ko = coupler.ko;
  return modes;
}

const text::Layout& Report::closing_rule() {
  static const text::Layout kRule("(6X,72(1H-))");
  return kRule;
}

void Report::full_closing() {
  if (storage_ != nullptr) storage_->print(closing_rule());
  console_closing();
}

void Report::console_closing() {
  console_.print(closing_rule());
}

}  // namespace ketrovane
