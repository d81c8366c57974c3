// What the row runner tells its caller of the rows taken: after every block,
// on the calling thread, the rows taken so far, ending with all of them,
// with one thread or several.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include "commands/row_runner.hpp"

namespace ketrovane::commands {
namespace {

constexpr std::array<Column, 1> kIndexColumn{Column{"index", Scale::none, "Index", "", 0}};

// Rows that hold their own index, `per_block` to a block.
class IndexRows final : public RowSource {
 public:
  IndexRows(std::int64_t rows, std::int64_t per_block) : rows_(rows), per_block_(per_block) {}

  [[nodiscard]] std::span<const Column> columns() const override { return kIndexColumn; }
  [[nodiscard]] std::int64_t rows() const override { return rows_; }
  [[nodiscard]] std::int64_t rows_per_block() const override { return per_block_; }
  void fill(std::int64_t index, std::span<Cell> cells, RowTally& /*tally*/) const override {
    cells[0] = number_cell(static_cast<float>(index));
  }

 private:
  std::int64_t rows_;
  std::int64_t per_block_;
};

struct Reports {
  std::vector<std::int64_t> taken;    // rows taken when each report came
  std::vector<std::int64_t> reports;  // what each report said
  bool elsewhere = false;             // a report came on another thread
};

Reports reports_of(const RowSource& rows, unsigned threads) {
  Reports r;
  std::int64_t taken = 0;
  const std::thread::id caller = std::this_thread::get_id();
  RunOptions options;
  options.threads = threads;
  options.progress = [&](std::int64_t rows_taken) {
    r.taken.push_back(taken);
    r.reports.push_back(rows_taken);
    r.elsewhere = r.elsewhere || std::this_thread::get_id() != caller;
  };
  const auto count = [&taken](const RowBlock& block) { taken += block.count; };
  run_rows(rows, count, options);
  return r;
}

TEST(RowRunnerProgress, EveryBlockReportsTheRowsTakenSoFar) {
  for (const unsigned threads : {1U, 2U, 4U}) {
    const Reports r = reports_of(IndexRows(5000, 2048), threads);
    EXPECT_EQ(r.reports, (std::vector<std::int64_t>{2048, 4096, 5000})) << threads;
    EXPECT_EQ(r.taken, r.reports) << threads;  // each after its block was taken
    EXPECT_FALSE(r.elsewhere) << threads;
  }
}

TEST(RowRunnerProgress, RowsOfTheirOwnBlockReportOneByOne) {
  const Reports r = reports_of(IndexRows(7, 1), 2);
  EXPECT_EQ(r.reports, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(r.elsewhere);
}

TEST(RowRunnerProgress, OneBlockReportsItsRowsOnce) {
  EXPECT_EQ(reports_of(IndexRows(1, 2048), 0).reports, (std::vector<std::int64_t>{1}));
}

TEST(RowRunnerProgress, AFailingReportStopsTheRows) {
  for (const unsigned threads : {1U, 2U}) {
    std::int64_t taken = 0;
    RunOptions options;
    options.threads = threads;
    options.progress = [](std::int64_t rows_taken) {
      if (rows_taken >= 3) throw std::runtime_error("enough");
    };
    const auto count = [&taken](const RowBlock& block) { taken += block.count; };
    EXPECT_THROW(run_rows(IndexRows(100, 1), count, options), std::runtime_error);
    EXPECT_EQ(taken, 3) << threads;
  }
}

}  // namespace
}  // namespace ketrovane::commands
