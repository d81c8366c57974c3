#include "commands/row_runner.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace ketrovane::commands {

namespace {

// Blocks computed ahead of the one the caller takes next, per worker.
constexpr std::int64_t kBlocksAheadPerWorker = 2;

std::int64_t hardware_threads() {
  static const std::int64_t threads = std::max(std::thread::hardware_concurrency(), 1U);
  return threads;
}

// The rows of block k, computed into `block`; the failing row, if any.
std::optional<FailedRow> compute(const RowSource& source, std::int64_t k, std::int64_t per_block,
                                 RowBlock& block) {
  const std::size_t width = source.columns().size();
  block.first = k * per_block;
  block.count = std::min(per_block, source.rows() - block.first);
  block.width = width;
  block.cells.resize(static_cast<std::size_t>(block.count) * width);
  block.tally = {};
  for (std::int64_t i = 0; i < block.count; ++i) {
    try {
      source.fill(block.first + i,
                  std::span<Cell>(block.cells).subspan(static_cast<std::size_t>(i) * width, width),
                  block.tally);
    } catch (...) {
      return FailedRow{block.first + i, std::current_exception()};
    }
  }
  return std::nullopt;
}

// Blocks computed by the workers and waiting for the caller.
class Blocks {
 public:
  Blocks(const RowSource& source, std::int64_t per_block, std::int64_t count, std::int64_t ahead)
      : source_(source), per_block_(per_block), count_(count), ahead_(ahead) {}

  // A worker's loop: the next block not yet started, until none is left.
  void work() {
    RowBlock block;
    for (;;) {
      std::int64_t k = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || next_ >= end() || next_ < taken_ + ahead_; });
        if (stopping_ || next_ >= end()) return;
        k = next_++;
        if (!spare_.empty()) {
          block = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      std::optional<FailedRow> failure = compute(source_, k, per_block_, block);
      {
        const std::lock_guard lock(mutex_);
        if (!failure) {
          ready_.emplace(k, std::move(block));
        } else if (k < failed_block_) {
          failed_block_ = k;
          failure_ = std::move(failure);
        }
      }
      changed_.notify_all();
    }
  }

  // The caller's next block, in order; FailedRow when its block failed.
  RowBlock next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ready_.contains(taken_) || taken_ == failed_block_; });
    if (taken_ == failed_block_) throw FailedRow{failure_->index, failure_->error};
    RowBlock block = std::move(ready_.at(taken_));
    ready_.erase(taken_);
    ++taken_;
    changed_.notify_all();
    return block;
  }

  void give_back(RowBlock&& block) {
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(block));
  }

  void stop() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
  }

 private:
  // No block after a failed one is worth computing.
  [[nodiscard]] std::int64_t end() const { return std::min(count_, failed_block_); }

  const RowSource& source_;
  std::int64_t per_block_;
  std::int64_t count_;
  std::int64_t ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t next_ = 0;   // the next block a worker starts
  std::int64_t taken_ = 0;  // the next block the caller takes
  std::int64_t failed_block_ = INT64_MAX;
  std::optional<FailedRow> failure_;
  std::map<std::int64_t, RowBlock> ready_;
  std::vector<RowBlock> spare_;
  bool stopping_ = false;
};

// Starts the workers and stops and joins them however the caller leaves.
class Workers {
 public:
  Workers(Blocks& blocks, std::int64_t count) : blocks_(blocks) {
    try {
      for (std::int64_t i = 0; i < count; ++i) threads_.emplace_back([&b = blocks_] { b.work(); });
    } catch (const std::system_error&) {
      // No more threads to be had: the rows run on those there are.
    }
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  Workers(Workers&&) = delete;
  Workers& operator=(Workers&&) = delete;
  ~Workers() {
    blocks_.stop();
    for (std::thread& t : threads_) t.join();
  }
  [[nodiscard]] bool any() const { return !threads_.empty(); }

 private:
  Blocks& blocks_;
  std::vector<std::thread> threads_;
};

bool stop_asked(const RunOptions& options) {
  return options.should_stop && options.should_stop();
}

// The block was taken: the rows so far to whoever follows them.
void report_taken(const RunOptions& options, const RowBlock& block) {
  if (options.progress) options.progress(block.first + block.count);
}

RowTally run_here(const RowSource& source, std::int64_t per_block, std::int64_t count,
                  const std::function<void(const RowBlock&)>& take, const RunOptions& options) {
  RowTally total;
  RowBlock block;
  for (std::int64_t k = 0; k < count; ++k) {
    if (const std::optional<FailedRow> failure = compute(source, k, per_block, block)) {
      throw FailedRow{failure->index, failure->error};
    }
    take(block);
    total.merge(block.tally);
    report_taken(options, block);
    if (k + 1 < count && stop_asked(options)) throw RowsStopped{};
  }
  return total;
}

}  // namespace

RowTally run_rows(const RowSource& source, const std::function<void(const RowBlock&)>& take,
                  const RunOptions& options) {
  const std::int64_t per_block = std::max<std::int64_t>(source.rows_per_block(), 1);
  const std::int64_t count = (source.rows() + per_block - 1) / per_block;
  const std::int64_t threads =
      std::min<std::int64_t>(options.threads == 0 ? hardware_threads() : options.threads, count);
  if (count <= 1 || threads <= 1) return run_here(source, per_block, count, take, options);

  Blocks blocks(source, per_block, count, threads * kBlocksAheadPerWorker);
  const Workers workers(blocks, threads);
  if (!workers.any()) return run_here(source, per_block, count, take, options);
  RowTally total;
  for (std::int64_t k = 0; k < count; ++k) {
    RowBlock block = blocks.next();
    take(block);
    total.merge(block.tally);
    report_taken(options, block);
    blocks.give_back(std::move(block));
    if (k + 1 < count && stop_asked(options)) throw RowsStopped{};
  }
  return total;
}

}  // namespace ketrovane::commands
