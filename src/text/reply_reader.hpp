// Reply reader and name reader: one line of input read as a number in the
// first 13 columns, or as a name of 20 characters.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ketrovane::text {

// A failure of input or output that ends the program (exit status 2).
class FatalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A source of input lines.
class LineReader {
 public:
  LineReader() = default;
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  virtual ~LineReader() = default;

  // The next line without its line end; nullopt at the end of the input.
  virtual std::optional<std::string> read_line() = 0;
};

// Lines of a stream.  Only the first kKeptColumns characters of a line are
// kept (no reader looks further), so a line of any length costs no memory.
class StreamLineReader final : public LineReader {
 public:
  static constexpr std::size_t kKeptColumns = 256;
  explicit StreamLineReader(std::istream& in) : in_(in) {}
  std::optional<std::string> read_line() override;

 private:
  std::istream& in_;
};

inline constexpr std::size_t kReplyColumns = 13;  // (F13.0)
inline constexpr std::size_t kNameColumns = 20;   // (A20)

enum class FieldError : std::uint8_t { none, not_a_number, out_of_range };

struct RealField {
  float value;
  FieldError error;
};

// Reads a line with the layout (F13.0): one trailing carriage return is
// dropped, the first 13 columns are taken, tabs and blanks are ignored and a
// blank field reads as 0.  The field must otherwise be a plain decimal
// number with an optional exponent (E, e, D or d) within single precision.
RealField read_real_field(std::string_view line);

// Reads a line with the layout (A20): one trailing carriage return is
// dropped and the first 20 characters are taken, padded with blanks.
std::string read_name_field(std::string_view line);

// The name without its trailing blanks.
std::string_view trim_trailing_blanks(std::string_view name);

// A short, printable quotation of an input line for error messages.
std::string quote_input(std::string_view line);

}  // namespace ketrovane::text

namespace ketrovane::text {

// Lines read from a file descriptor, not owned.  A read error throws
// FatalError naming the source.
class DescriptorLineReader : public LineReader {
 public:
  DescriptorLineReader(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  std::optional<std::string> read_line() override;

 private:
  bool refill();

  int fd_;
  std::string name_;
  std::string buffer_ = std::string(1U << 14U, '\0');
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
};

}  // namespace ketrovane::text
