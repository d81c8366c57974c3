// What the program needs from its surroundings: the console, the error
// stream, the files of the working directory and the clock.  The program
// itself uses the real ones; tests and fuzz targets substitute their own.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "front/console.hpp"
#include "reports/design_record.hpp"
#include "text/channel.hpp"
#include "text/reply_reader.hpp"

namespace ketrovane {

// Identity of a file, so that two spellings of one name are one file.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  auto operator<=>(const FileId&) const = default;
};

// A file open for writing from its beginning.
class OutputFile : public text::Channel {
 public:
  [[nodiscard]] virtual FileId id() const = 0;
  // Flushes and closes; a failure throws text::FatalError.
  virtual void close() = 0;
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Opens a file for reading; failure throws text::FatalError.
  virtual std::unique_ptr<text::LineReader> open_input(const std::string& name) = 0;
  // Creates or truncates a file for writing; failure throws text::FatalError.
  virtual std::unique_ptr<OutputFile> open_output(const std::string& name) = 0;
  // The identity of an existing file, or nullopt.
  virtual std::optional<FileId> identify(const std::string& name) = 0;
};

struct Environment {
  text::LineReader& console_in;
  text::Channel& console_out;
  std::ostream& errors;
  FileSystem& files;
  std::function<DateTime()> clock;
  Mistakes mistakes = Mistakes::end_the_program;
  // Where the installation keeps a sample default-value file.
  std::string sample_defaults;
};

// Whether standard input is a terminal, as the program decided at start-up:
// a person there is asked again after a mistake and told where the
// closed-form model is far from the field; a script is neither.
inline bool at_a_terminal(const Environment& env) {
  return env.mistakes == Mistakes::ask_again;
}

// The working directory's files, through POSIX calls.
class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<text::LineReader> open_input(const std::string& name) override;
  std::unique_ptr<OutputFile> open_output(const std::string& name) override;
  std::optional<FileId> identify(const std::string& name) override;
};

// The local date and time now.
DateTime local_date_time();

}  // namespace ketrovane
