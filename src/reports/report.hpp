// What a run writes its report through, and the four runs of the
// interactive program.  A run reads the design record, takes its rows from
// the design layer and formats them; the layouts are the program's own and
// each stands once, beside the code that writes it.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "design/accuracy_watch.hpp"
#include "design/row_kernel.hpp"
#include "reports/design_record.hpp"
#include "reports/model_note.hpp"
#include "text/channel.hpp"
#include "text/layout.hpp"

namespace ketrovane {

class Report {
 public:
  // storage is null when the design is not stored; diagnostic gives the
  // storage channel of diagnostic mode, opened on first use.
  Report(text::Channel& console, text::Channel* storage, bool diagnostic_mode,
         std::function<text::Channel&()> diagnostic)
      : console_(console),
        storage_(storage),
        diagnostic_mode_(diagnostic_mode),
        diagnostic_(std::move(diagnostic)) {}

  text::Channel& console() { return console_; }
  [[nodiscard]] bool diagnostic_mode() const { return diagnostic_mode_; }

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

  // A row of the closed-form model, for the note on its accuracy;
  // with_loss when the row has a conductor loss.
  void note_row(const CrossSection& x, bool with_loss) { accuracy_.note(x, with_loss); }
  // The ketrovane-calc command that compares the report's rows with the
  // field solution.
  void compare_with(CalcCommand command) { comparison_ = std::move(command); }
  // The note on the model's accuracy, or empty.
  [[nodiscard]] std::string model_note() const {
    return comparison_ ? ketrovane::model_note(accuracy_, *comparison_) : std::string();
  }

 private:
  text::Channel& console_;
  text::Channel* storage_;
  bool diagnostic_mode_;
  std::function<text::Channel&()> diagnostic_;
  std::string scratch_;
  AccuracyWatch accuracy_;
  std::optional<CalcCommand> comparison_;
};

// B in millimetres as the run headers print it (T/B: ratio_to_b).
float millimetres(float b);

// The record's cross-section and materials as the analyses take them.
CrossSection cross_section_of(const DesignRecord& r);
Materials materials_of(const DesignRecord& r);

void impedance_run(const DesignRecord& record, Report& report);
void synthesis_run(const DesignRecord& record, Report& report);
// A coupler given by its impedances is lossless, and its report shows zeros
// for the dimensions and materials: they are set to 0 in the record.
void frequency_run(DesignRecord& record, Report& report);
void sensitivity_run(const DesignRecord& record, Report& report);

}  // namespace ketrovane
