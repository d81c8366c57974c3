#include "python/element_rows.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "batch/input_error.hpp"
#include "batch/requests.hpp"
#include "batch/rows.hpp"
#include "frequency/scattering_matrix.hpp"

namespace ketrovane::python {

namespace {

// Rows handed to a thread at a time; between two blocks the calling thread
// asks whether to stop.  A block of analysis rows takes about half a
// millisecond.
constexpr std::int64_t kBlockRows = 1024;

// The option values of one element, refilled for each element.
class ElementValues {
 public:
  explicit ElementValues(const Call& call) : call_(call) {
    values_.reserve(call.arguments.size());
    for (const Argument& a : call.arguments) values_.push_back({a.name, 0.0, a.text});
  }

  batch::OptionValues at(std::int64_t i) {
    for (std::size_t k = 0; k < values_.size(); ++k) {
      const Argument& a = call_.arguments[k];
      if (a.numbers == nullptr) continue;
      // NOLINTNEXTLINE(cppcoreguidelines-pro-bounds-pointer-arithmetic)
      values_[k].number = a.numbers[a.per_element ? i : 0];
    }
    return {values_, call_.length_unit.name, call_.frequency_unit};
  }

 private:
  const Call& call_;
  std::vector<batch::OptionValue> values_;
};

// The codes of the text cells, shared by the threads.
class TextCodes {
 public:
  explicit TextCodes(TableOutput& out) : out_(out) {}

  std::uint8_t code(std::size_t column, std::string_view text) {
    const std::lock_guard lock(mutex_);
    out_.text_column = static_cast<int>(column);
    std::vector<std::string_view>& texts = out_.texts;
    auto it = std::find(texts.begin(), texts.end(), text);
    if (it == texts.end()) {
      if (texts.size() > std::numeric_limits<std::uint8_t>::max()) {
        throw std::length_error("more distinct texts in a column than codes");
      }
      it = texts.insert(texts.end(), text);
    }
    return static_cast<std::uint8_t>(it - texts.begin());
  }

 private:
  TableOutput& out_;
  std::mutex mutex_;
};

// Blocks of elements handed out in order to the threads, and the earliest
// failure among the elements done.  Every block that starts before the
// earliest failure is done, so the failure kept is the first in element
// order whatever the threads' timing.
class Blocks {
 public:
  Blocks(std::int64_t elements, const std::function<bool()>& interrupted)
      : elements_(elements), first_failure_(elements), interrupted_(interrupted) {}

  // Does blocks until none is left, a failure comes before them or a stop.
  template <typename Element>
  void work(Element& element, bool calling_thread) {
    while (!stop_.load()) {
      const std::int64_t begin = next_.fetch_add(kBlockRows);
      if (begin >= elements_ || begin >= first_failure_.load()) return;
      const std::int64_t end = std::min(begin + kBlockRows, elements_);
      for (std::int64_t i = begin; i < end; ++i) {
        try {
          element(i);
        } catch (const batch::InputError& e) {
          fail(i, e.what(), nullptr);
          break;
        } catch (...) {
          fail(i, "", std::current_exception());
          break;
        }
      }
      if (calling_thread && interrupted_()) {
        stop_.store(true);
        interrupted_said_yes_ = true;
      }
    }
  }

  // A thread that could not work (no memory for its worker) stops them all.
  void abandon(const std::exception_ptr& exception) {
    const std::lock_guard lock(mutex_);
    stop_.store(true);
    if (!abandoned_) abandoned_ = exception;
  }

  // After every thread has returned.
  std::optional<ElementError> outcome() {
    if (abandoned_) std::rethrow_exception(abandoned_);
    if (interrupted_said_yes_) throw Interrupted{};
    if (exception_) std::rethrow_exception(exception_);
    return error_;
  }

 private:
  void fail(std::int64_t index, const char* message, const std::exception_ptr& exception) {
    const std::lock_guard lock(mutex_);
    if (index >= first_failure_.load()) return;
    first_failure_.store(index);
    error_ = ElementError{index, message};
    exception_ = exception;
  }

  std::int64_t elements_;
  std::atomic<std::int64_t> next_{0};
  std::atomic<std::int64_t> first_failure_;
  std::atomic<bool> stop_{false};
  const std::function<bool()>& interrupted_;
  bool interrupted_said_yes_ = false;  // calling thread only
  std::mutex mutex_;
  std::optional<ElementError> error_;
  std::exception_ptr exception_;
  std::exception_ptr abandoned_;
};

// The machine's hardware threads, asked once: the question reads a file.
std::int64_t machine_threads() {
  static const std::int64_t threads = std::max(std::thread::hardware_concurrency(), 1U);
  return threads;
}

// Each thread has its own worker (its own values and cells), made by
// make_worker().
template <typename MakeWorker>
std::optional<ElementError> run_elements(std::int64_t elements, const MakeWorker& make_worker,
                                         const std::function<bool()>& interrupted) {
  Blocks blocks(elements, interrupted);
  const std::int64_t block_count = (elements + kBlockRows - 1) / kBlockRows;
  const std::int64_t threads = block_count > 1 ? std::min(machine_threads(), block_count) : 1;
  const auto work = [&blocks, &make_worker](bool calling_thread) {
    try {
      auto worker = make_worker();
      blocks.work(worker, calling_thread);
    } catch (...) {
      blocks.abandon(std::current_exception());
    }
  };
  {
    std::vector<std::jthread> helpers;
    try {
      for (std::int64_t k = 1; k < threads; ++k) helpers.emplace_back(work, false);
    } catch (const std::system_error&) {
      // No more threads to be had: the rows run on those there are.
    }
    work(true);
  }  // the helpers are joined here
  return blocks.outcome();
}

class TableWorker {
 public:
  TableWorker(batch::Command command, const Call& call, TableOutput& out, TextCodes& codes)
      : command_(command),
        call_(call),
        out_(out),
        codes_(codes),
        columns_(batch::command_columns(command, call.solver)),
        values_(call),
        cells_(columns_.size()) {}

  void operator()(std::int64_t i) {
    source(values_.at(i))->next(cells_);
    const auto index = static_cast<std::size_t>(i);
    const auto elements = static_cast<std::size_t>(call_.elements);
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      const batch::Cell& cell = cells_[c];
      float value = std::numeric_limits<float>::quiet_NaN();
      if (cell.kind == batch::CellKind::number) {
        value = batch::in_output_unit(columns_[c], call_.length_unit, cell.number);
      }
      if (cell.kind == batch::CellKind::text) out_.codes[index] = codes_.code(c, cell.text);
      out_.numbers[c * elements + index] = value;
    }
  }

 private:
  [[nodiscard]] std::unique_ptr<batch::RowSource> source(const batch::OptionValues& v) const {
    switch (command_) {
      case batch::Command::analyse:
        return batch::analyse_rows(batch::read_analyse(v), call_.solver);
      case batch::Command::synthesise:
        return batch::synthesise_rows(batch::read_synthesise(v), call_.solver);
      case batch::Command::response:
        return std::make_unique<batch::ResponseRows>(batch::read_response(v), call_.solver);
      case batch::Command::field:
        return batch::field_rows(batch::read_field(v));
      case batch::Command::sensitivity:
        break;
    }
    return batch::sensitivity_rows(batch::read_sensitivity(v), call_.solver);
  }

  batch::Command command_;
  const Call& call_;
  TableOutput& out_;
  TextCodes& codes_;
  std::span<const batch::Column> columns_;
  ElementValues values_;
  std::vector<batch::Cell> cells_;
};

class ScatteringWorker {
 public:
  ScatteringWorker(const Call& call, const ScatteringOutput& out)
      : call_(call), out_(out), values_(call) {}

  // As the response command forms the matrix of each frequency for its
  // Touchstone file: the request first, then the reference.
  void operator()(std::int64_t i) {
    const batch::OptionValues v = values_.at(i);
    batch::ResponseRows rows(batch::read_response(v), call_.solver);
    const float reference = batch::read_reference(v);
    rows.advance();
    const ScatteringMatrix m = scattering_matrix(rows.section(), rows.last_frequency(), reference);
    const auto index = static_cast<std::size_t>(i);
    const std::span<std::complex<float>> s = out_.s.subspan(index * kMatrixValues, kMatrixValues);
    for (int row = 1; row <= kScatteringPorts; ++row) {
      for (int column = 1; column <= kScatteringPorts; ++column) {
        s[static_cast<std::size_t>((row - 1) * kScatteringPorts + column - 1)] = m(row, column);
      }
    }
    out_.f_mhz[index] = rows.last_frequency();
    out_.ref_ohm[index] = reference;
  }

 private:
  static constexpr std::size_t kMatrixValues = std::size_t{kScatteringPorts} * kScatteringPorts;

  const Call& call_;
  ScatteringOutput out_;
  ElementValues values_;
};

}  // namespace

std::optional<ElementError> table_rows(batch::Command command, const Call& call, TableOutput& out,
                                       const std::function<bool()>& interrupted) {
  TextCodes codes(out);
  return run_elements(
      call.elements, [&] { return TableWorker(command, call, out, codes); }, interrupted);
}

std::optional<ElementError> scattering_rows(const Call& call, const ScatteringOutput& out,
                                            const std::function<bool()>& interrupted) {
  return run_elements(
      call.elements, [&] { return ScatteringWorker(call, out); }, interrupted);
}

}  // namespace ketrovane::python
