// Replays every kept fuzz input through its fuzz core: the minimised inputs
// of fuzz/regressions/<target>/ and the seeds of fuzz/corpus/<target>/.  A
// broken invariant aborts, so each input is its own test and the failing one
// is named by the test runner.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz_cores.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path kFuzzDir = KETROVANE_FUZZ_DIR;

using Core = int (*)(const std::uint8_t*, std::size_t);

struct Target {
  const char* name;
  Core core;
};

constexpr Target kTargets[] = {
    {"reply_reader", ketrovane::fuzz::fuzz_reply_reader},
    {"default_file", ketrovane::fuzz::fuzz_default_file},
    {"dialogue", ketrovane::fuzz::fuzz_dialogue},
    {"calc_options", ketrovane::fuzz::fuzz_calc_options},
};

struct Input {
  Target target;
  fs::path path;
  std::string test_name;
};

// Shown by the test runner in place of the bytes of the record.
void PrintTo(const Input& input, std::ostream* os) {
  *os << input.path.string();
}

std::string identifier(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    out += alnum ? c : '_';
  }
  return out;
}

std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    if (e.is_regular_file()) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<Input> inputs_of(const Target& target) {
  std::vector<Input> inputs;
  for (const char* kind : {"regressions", "corpus"}) {
    for (const fs::path& file : files_in(kFuzzDir / kind / target.name)) {
      const std::string name = std::string(target.name) + "_" + kind + "_" +
                               identifier(file.filename().string()) + "_" +
                               std::to_string(inputs.size());
      inputs.push_back({target, file, name});
    }
  }
  return inputs;
}

std::vector<Input> all_inputs() {
  std::vector<Input> all;
  for (const Target& t : kTargets) {
    std::vector<Input> inputs = inputs_of(t);
    all.insert(all.end(), inputs.begin(), inputs.end());
  }
  return all;
}

class FuzzReplay : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzReplay, KeepsItsInvariants) {
  const Input& input = GetParam();
  std::ifstream in(input.path, std::ios::binary);
  ASSERT_TRUE(in) << input.path;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(input.target.core(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
            0);
}

INSTANTIATE_TEST_SUITE_P(Kept, FuzzReplay, ::testing::ValuesIn(all_inputs()),
                         [](const ::testing::TestParamInfo<Input>& info) {
                           return info.param.test_name;
                         });

// Each target keeps inputs, so that a wrong path cannot pass as an empty replay.
TEST(FuzzReplayInputs, EveryTargetHasInputs) {
  for (const Target& t : kTargets) {
    EXPECT_FALSE(inputs_of(t).empty()) << t.name;
    EXPECT_FALSE(files_in(kFuzzDir / "regressions" / t.name).empty()) << t.name;
  }
}

}  // namespace
