// The storage channel: the file that receives copies of the reports.  It
// stays connected across passes and is closed when the program ends.
#pragma once

#include <memory>
#include <string_view>

#include "front/environment.hpp"

namespace ketrovane {

class StorageChannel {
 public:
  explicit StorageChannel(FileSystem& files) : files_(files) {}

  // The channel on the named file: kept when it is already connected to that
  // file, else the current file is closed and the named one started afresh.
  // Trailing blanks are not part of the name.
  text::Channel& open(std::string_view name);

  // The connected file, or a newly started one of the given name when none
  // is connected (diagnostic output).
  text::Channel& current_or(std::string_view name);

  void flush();
  void close();

 private:
  FileSystem& files_;
  std::unique_ptr<OutputFile> file_;
};

}  // namespace ketrovane
