#include "calc/output_file.hpp"
#include "calc/signals.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace ketrovane::calc {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ketrovane-output-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  [[nodiscard]] std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name) << text;
  }
  [[nodiscard]] std::size_t entries() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  fs::path dir_;
};

TEST_F(OutputFileTest, UntilCommittedTheOldFileStaysAndNothingIsLeftBehind) {
  write("out.csv", "old\n");
  {
    OutputFile f((dir_ / "out.csv").string());
    f.sink().write("new\n");
    f.sink().flush();
    EXPECT_EQ(read("out.csv"), "old\n");
    EXPECT_EQ(entries(), 2U);  // the temporary file beside it
  }
  EXPECT_EQ(read("out.csv"), "old\n");
  EXPECT_EQ(entries(), 1U);
}

TEST_F(OutputFileTest, CommitPutsTheWholeFileInPlace) {
  {
    OutputFile f((dir_ / "new.csv").string());
    for (int i = 0; i < 100000; ++i) f.sink().write("0123456789\n");
    f.commit();
  }
  EXPECT_EQ(read("new.csv").size(), 1100000U);
  EXPECT_EQ(entries(), 1U);
  // A new file gets the permissions the umask allows.
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(static_cast<unsigned>(fs::status(dir_ / "new.csv").permissions()),
            0666U & ~static_cast<unsigned>(mask));
}

TEST_F(OutputFileTest, ADirectoryIsRefused) {
  fs::create_directory(dir_ / "sub");
  EXPECT_THROW(OutputFile((dir_ / "sub").string()), OutputError);
  EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
}

TEST_F(OutputFileTest, AFifoIsWrittenDirectly) {
  const fs::path fifo = dir_ / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] {
    std::ifstream in(fifo);
    got.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  });
  {
    OutputFile f(fifo.string());
    f.sink().write("through the pipe\n");
    f.commit();
  }
  reader.join();
  EXPECT_EQ(got, "through the pipe\n");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A set's second file cannot take its name (it has become a directory since
// it was opened): the first, already in place, is put back as it was, and
// nothing of the run is left beside them.
TEST_F(OutputFileTest, ALaterFileThatCannotBePutInPlaceRestoresTheEarlierOnes) {
  for (const bool first_existed : {true, false}) {
    fs::remove_all(dir_);
    fs::create_directory(dir_);
    if (first_existed) write("first.csv", "old\n");
    {
      OutputSet set;
      set.open("--output", (dir_ / "first.csv").string()).sink().write("new\n");
      set.open("--touchstone", (dir_ / "second.s4p").string()).sink().write("new\n");
      fs::create_directory(dir_ / "second.s4p");
      EXPECT_THROW(set.commit(), OutputError);
    }
    EXPECT_EQ(fs::exists(dir_ / "first.csv"), first_existed);
    EXPECT_EQ(read("first.csv"), first_existed ? "old\n" : "");
    EXPECT_EQ(entries(), first_existed ? 2U : 1U);  // and the directory
  }
}

// A signal that arrives while a set is put in place is acted on once every
// file is back as it was: the run then ends of it, having replaced nothing
// and left nothing.  (In a child process, which the signal ends.)
TEST_F(OutputFileTest, ASignalWhilePuttingInPlaceEndsTheRunWithEveryFileAsItWas) {
  write("first.csv", "old\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    clean_up_on_signals();
    {
      OutputSet set;
      set.open("--output", (dir_ / "first.csv").string()).sink().write("new\n");
      set.open("--touchstone", (dir_ / "second.s4p").string()).sink().write("new\n");
      const HeldSignals held;  // as if it came during the renames
      raise(SIGTERM);
      set.commit();
    }
    _exit(0);  // not reached: the signal ends the child as `held` goes
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(read("first.csv"), "old\n");
  EXPECT_EQ(entries(), 1U);
}

}  // namespace
}  // namespace ketrovane::calc
