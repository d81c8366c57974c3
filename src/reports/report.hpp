// What a run writes its report through: the console, the storage file when
// the design is stored, and the storage channel for diagnostic output.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "front/design_parameters.hpp"
#include "model/stripline_model.hpp"
#include "text/channel.hpp"
#include "text/layout.hpp"

namespace ketrovane {

class Report {
 public:
  Report(DesignParameters& p, text::Channel& console, text::Channel* storage,
         std::function<text::Channel&()> diagnostic)
      : p_(p), console_(console), storage_(storage), diagnostic_(std::move(diagnostic)) {}

  DesignParameters& parameters() { return p_; }
  text::Channel& console() { return console_; }
  [[nodiscard]] bool diagnostic_mode() const { return p_.istore == kDiagnosticMode; }

  // Writes a layout to the console and, when storing, to the storage file.
  void both(const text::Layout& layout, std::initializer_list<text::Value> values = {}) {
    scratch_.clear();
    layout.render(scratch_, values);
    console_.put(scratch_);
    if (storage_ != nullptr) storage_->put(scratch_);
  }

  // The storage channel of diagnostic mode.
  text::Channel& diagnostic() { return diagnostic_(); }

  // The closing rule to the storage file (when storing) and the console.
  void full_closing();
  // The closing rule to the console only.
  void console_closing();

  static const text::Layout& closing_rule();

 private:
  DesignParameters& p_;
  text::Channel& console_;
  text::Channel* storage_;
  std::function<text::Channel&()> diagnostic_;
  std::string scratch_;
};

// Zoe and Zoo of the parameter set's dimensions, then Zo and Co from them,
// all written into the parameter set; the capacitances come back with the
// impedances.
ModeImpedances analyse_dimensions(DesignParameters& p);

void impedance_run(Report& report);
void synthesis_run(Report& report);
void frequency_run(Report& report);
void sensitivity_run(Report& report);

}  // namespace ketrovane
