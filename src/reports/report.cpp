#include "reports/report.hpp"

#include "common/constants.hpp"

namespace ketrovane {

float millimetres(float b) {
  return (b * kCentimetresPerInch) * 10.0F;
}

CrossSection cross_section_of(const DesignRecord& r) {
  return {r.board, r.w, r.s};
}

Materials materials_of(const DesignRecord& r) {
  return {{r.resistivity_ohm_inch, r.roughness_inch}, r.loss_tangent};
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
