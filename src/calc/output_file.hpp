// Output files that are written whole or not at all.  A regular file (or a
// name not yet taken) is written to a temporary file in the same directory
// and renamed over the name on commit; until then an existing file is left
// as it was, and a failure removes the temporary file.  Anything that is not
// a regular file (standard output, /dev/stdout, a pipe, a terminal) is
// written directly and never replaced.  A symbolic link is written through
// to its file; a link to nothing is refused.  The temporary file's name is
// ".NAME." and six characters, NAME shortened where that would be too long
// a name.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "calc/signals.hpp"

namespace ketrovane::calc {

// A file that could not be opened, written or put in place; the message
// names the file and the reason.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Buffered writes to a descriptor.
class Sink {
 public:
  Sink(int fd, std::string name);
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  Sink(Sink&&) = delete;
  Sink& operator=(Sink&&) = delete;
  ~Sink() = default;

  void write(std::string_view text) {
    if (text.size() > buffer_.size() - used_) make_room(text.size());
    text.copy(buffer_.data() + used_, text.size());
    used_ += text.size();
  }
  void put(char c) {
    if (used_ == buffer_.size()) flush();
    buffer_[used_++] = c;
  }
  // Room for `n` more characters, written straight into the buffer.
  char* reserve(std::size_t n) {
    if (n > buffer_.size() - used_) make_room(n);
    return buffer_.data() + used_;
  }
  void commit_reserved(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
  void flush();

 private:
  void make_room(std::size_t n);

  int fd_;
  std::string name_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// Which file a name stands for: the device and inode of an existing file
// (or of standard output), else the directory's and the name's.
struct FileIdentity {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  std::string path;  // for a file not yet there: its directory's real path and its name

  bool operator==(const FileIdentity&) const = default;
};

class OutputFile {
 public:
  // Standard output for an empty path.  Throws OutputError when the file
  // cannot be created.
  explicit OutputFile(const std::string& path);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&&) = delete;
  OutputFile& operator=(OutputFile&&) = delete;
  ~OutputFile();  // without commit: the temporary file is removed

  Sink& sink() { return *sink_; }
  [[nodiscard]] const FileIdentity& identity() const { return identity_; }

  // Everything written reaches the file, which then takes the name.
  void commit() {
    finish();
    put_in_place();
  }
  // The two halves of commit, for a set of files put in place together:
  // everything written reaches the temporary file ...
  void finish();
  // ... which then takes the name (nothing to do for a file written
  // directly).  Until then the file of that name is as it was.
  void put_in_place();
  // The file of that name as it was before put_in_place, kept aside as a
  // link so that restore_previous can put it back (or remove the new file
  // where there was none); false when there was none to keep, an
  // OutputError when it cannot be kept.
  bool keep_previous();
  void restore_previous();
  void forget_previous();

 private:
  std::string path_;       // the name asked for
  std::string temporary_;  // empty when writing directly
  std::string previous_;   // the file that had the name, kept aside; empty for none
  bool placed_ = false;    // put in place by this run
  FileIdentity identity_;
  int fd_ = -1;
  bool owns_fd_ = false;
  unsigned mode_ = 0;                                 // permissions the file takes
  std::optional<RemovedOnSignal> removed_on_signal_;  // the temporary file
  std::unique_ptr<Sink> sink_;
};

// The outputs of one run: each written to its temporary file, then all
// put in place together once every one of them is complete, so that a run
// that fails leaves every file as it was.  Two outputs of the same file are
// refused.
class OutputSet {
 public:
  // `option` names the output in messages ("--output").
  OutputFile& open(std::string_view option, const std::string& path);
  // Puts every file in place; if one cannot be, the ones already put back.
  void commit();

 private:
  // The first `placed` outputs put back as they were.
  void restore(std::size_t placed);

  struct Named {
    std::string option;
    std::string path;
    std::unique_ptr<OutputFile> file;
  };
  std::vector<Named> outputs_;
};

// "cannot write 'name': reason"
std::string file_message(std::string_view verb, std::string_view path, int error_number);

}  // namespace ketrovane::calc
