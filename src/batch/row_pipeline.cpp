#include "batch/row_pipeline.hpp"

namespace ketrovane::batch {

namespace {

constexpr std::size_t kBatchRows = 2048;
constexpr std::size_t kBatches = 3;

}  // namespace

RowPipeline::RowPipeline(RowSource& source) : source_(source), width_(source.columns().size()) {
  for (std::size_t i = 0; i < kBatches; ++i) {
    free_.push_back({std::vector<Cell>(kBatchRows * width_), 0});
  }
  producer_ = std::thread([this] { produce(); });
}

RowPipeline::~RowPipeline() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  producer_.join();
}

void RowPipeline::produce() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
      if (stopping_) return;
      batch = std::move(free_.back());
      free_.pop_back();
    }
    batch.rows = 0;
    while (batch.rows < kBatchRows &&
           source_.next(std::span(batch.cells).subspan(batch.rows * width_, width_))) {
      ++batch.rows;
    }
    const bool last = batch.rows < kBatchRows;
    {
      const std::lock_guard lock(mutex_);
      full_.push_back(std::move(batch));
      done_ = last;
    }
    changed_.notify_all();
    if (last) return;
  }
}

std::span<const Cell> RowPipeline::next() {
  if (row_in_current_ == current_.rows) {
    std::unique_lock lock(mutex_);
    if (!current_.cells.empty()) free_.push_back(std::move(current_));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !full_.empty() || done_; });
    if (full_.empty()) return {};
    current_ = std::move(full_.front());
    full_.pop_front();
    row_in_current_ = 0;
    if (current_.rows == 0) return {};
  }
  return std::span<const Cell>(current_.cells).subspan(row_in_current_++ * width_, width_);
}

}  // namespace ketrovane::batch
