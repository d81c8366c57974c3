// Rows computed on a second thread while the first writes them: the model
// and the number formatting each take about half of a long table's time.
// Rows pass in batches through a bounded queue, in order, so memory stays
// a few batches whatever the length of the table.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "batch/rows.hpp"

namespace ketrovane::batch {

class RowPipeline {
 public:
  explicit RowPipeline(RowSource& source);
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;
  RowPipeline(RowPipeline&&) = delete;
  RowPipeline& operator=(RowPipeline&&) = delete;
  // Stops the computing thread (the writer may have failed) and waits for it.
  ~RowPipeline();

  // The cells of the next row; empty after the last row.
  std::span<const Cell> next();

 private:
  struct Batch {
    std::vector<Cell> cells;
    std::size_t rows = 0;
  };

  void produce();

  RowSource& source_;
  std::size_t width_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> full_;
  std::vector<Batch> free_;
  bool done_ = false;
  bool stopping_ = false;
  Batch current_;
  std::size_t row_in_current_ = 0;
  std::thread producer_;
};

}  // namespace ketrovane::batch
