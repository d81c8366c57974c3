// Output channels: the console and the storage file.  A channel buffers what
// is written to it and hands it on to its sink when asked to flush, or when
// the buffer is full.
#pragma once

#include <string>
#include <string_view>

#include "text/layout.hpp"

namespace ketrovane::text {

class Channel {
 public:
  Channel() = default;
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  virtual ~Channel() = default;

  // Renders a layout onto the channel.
  void print(const Layout& layout, std::initializer_list<Value> values = {}) {
    layout.render(buffer_, values);
    written();
  }
  void put(std::string_view text) {
    buffer_.append(text);
    written();
  }

  // Hands everything written so far to the sink; a failure throws FatalError.
  void flush();

  // True when the last character written ended a line (or nothing was written).
  [[nodiscard]] bool at_line_start() const { return at_line_start_; }
  // Counts the channel as at the start of a line, as a terminal is once the
  // user's Enter has ended the line of a question.
  void mark_line_start() { at_line_start_ = true; }

 protected:
  virtual void sink(std::string_view text) = 0;

 private:
  static constexpr std::size_t kFlushSize = 1U << 16U;
  void written();

  std::string buffer_;
  bool at_line_start_ = true;
};

// A channel on an open file descriptor, not owned.
class DescriptorChannel : public Channel {
 public:
  DescriptorChannel(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  ~DescriptorChannel() override;

 protected:
  void sink(std::string_view text) override;
  [[nodiscard]] int fd() const { return fd_; }
  [[nodiscard]] const std::string& name() const { return name_; }

 private:
  int fd_;
  std::string name_;
};

// A channel that keeps everything in memory.
class StringChannel final : public Channel {
 public:
  ~StringChannel() override = default;
  [[nodiscard]] const std::string& text() {
    flush();
    return text_;
  }

 protected:
  void sink(std::string_view text) override { text_.append(text); }

 private:
  std::string text_;
};

}  // namespace ketrovane::text
