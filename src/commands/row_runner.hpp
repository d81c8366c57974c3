// The one way rows are computed in parallel, for the command line and the
// Python package alike: blocks of rows on worker threads, handed to the
// calling thread in row order.  Memory stays a few blocks per thread
// whatever the length of the table, and what comes out does not depend on
// the number of threads or their timing.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <vector>

#include "commands/rows.hpp"

namespace ketrovane::commands {

struct RowBlock {
  std::int64_t first = 0;  // index of its first row
  std::int64_t count = 0;
  std::size_t width = 0;  // cells per row
  std::vector<Cell> cells;
  RowTally tally;

  [[nodiscard]] std::span<const Cell> row(std::int64_t i) const {
    return std::span<const Cell>(cells).subspan(static_cast<std::size_t>(i) * width, width);
  }
};

// A row that threw: its index and what it threw.  Every row before it was
// computed and handed over.
struct FailedRow {
  std::int64_t index;
  std::exception_ptr error;
};

// Thrown when the caller asked to stop.
struct RowsStopped {};

struct RunOptions {
  // Asked on the calling thread between blocks; yes stops the rows.
  std::function<bool()> should_stop;
  // Told on the calling thread, after each block is taken, how many rows
  // have been taken so far: the last time, every row.  An exception from it
  // stops the rows as one from `take` does.
  std::function<void(std::int64_t rows_taken)> progress;
  // Worker threads; 0 for one per hardware thread.  A table of one block
  // is computed on the calling thread alone.
  unsigned threads = 0;
};

// Computes every row of `source` and hands each block to `take` on the
// calling thread, in order; returns the tally of all the rows.  An exception
// from a row is thrown as FailedRow once the blocks before it were taken; an
// exception from `take` stops the workers and goes on to the caller.
RowTally run_rows(const RowSource& source, const std::function<void(const RowBlock&)>& take,
                  const RunOptions& options = {});

}  // namespace ketrovane::commands
