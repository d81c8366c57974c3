// Reply reader, name reader and the line readers on arbitrary bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.hpp"
#include "fuzz_cores.hpp"
#include "text/reply_reader.hpp"

namespace ketrovane::fuzz {

namespace {

using text::FieldError;
using text::RealField;

bool same(const RealField& a, const RealField& b) {
  // Bitwise, so that 0 and -0 are told apart.
  return a.error == b.error && std::memcmp(&a.value, &b.value, sizeof a.value) == 0;
}

bool blank(char c) {
  return c == ' ' || c == '\t';
}

bool is_exponent_letter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

void check_real_field(std::string_view line) {
  const RealField f = text::read_real_field(line);

  // A number read without error is a finite single; a rejected one reads 0.
  if (f.error == FieldError::none) {
    KETROVANE_FUZZ_CHECK(std::isfinite(f.value));
  } else {
    KETROVANE_FUZZ_CHECK(f.value == 0.0F);
  }

  // Only the first 13 columns count: whatever follows a 13-column prefix
  // that does not end with a carriage return leaves the field as it is.
  if (line.size() > text::kReplyColumns) {
    const std::string_view prefix = line.substr(0, text::kReplyColumns);
    if (prefix.back() != '\r') KETROVANE_FUZZ_CHECK(same(f, text::read_real_field(prefix)));
  }

  // One trailing carriage return is dropped.
  if (line.empty() || line.back() != '\r') {
    KETROVANE_FUZZ_CHECK(same(f, text::read_real_field(std::string(line) + '\r')));
  }

  if (line.size() > text::kReplyColumns || (!line.empty() && line.back() == '\r')) return;
  // From here the whole line is the field.

  // Blanks and tabs are ignored; a field of nothing else reads as 0.
  std::string packed;
  for (const char c : line) {
    if (!blank(c)) packed += c;
  }
  // A carriage return brought to the end by the packing is still part of
  // the field, so it is kept there by one more that is dropped.
  const std::string repacked = !packed.empty() && packed.back() == '\r' ? packed + '\r' : packed;
  KETROVANE_FUZZ_CHECK(same(f, text::read_real_field(repacked)));
  if (packed.empty()) KETROVANE_FUZZ_CHECK(same(f, RealField{0.0F, FieldError::none}));

  // The four exponent letters are interchangeable.
  std::string upper(line);
  for (char& c : upper) {
    if (is_exponent_letter(c)) c = 'E';
  }
  KETROVANE_FUZZ_CHECK(same(f, text::read_real_field(upper)));

  // A sign in front of an unsigned number negates it or keeps it.
  if (f.error == FieldError::none && !packed.empty() && packed[0] != '+' && packed[0] != '-' &&
      line.size() < text::kReplyColumns) {
    const RealField minus = text::read_real_field("-" + std::string(line));
    const RealField plus = text::read_real_field("+" + std::string(line));
    KETROVANE_FUZZ_CHECK(minus.error == FieldError::none && minus.value == -f.value &&
                         std::signbit(minus.value) != std::signbit(f.value));
    KETROVANE_FUZZ_CHECK(same(plus, f));
  }
}

void check_name_field(std::string_view line) {
  const std::string name = text::read_name_field(line);
  KETROVANE_FUZZ_CHECK(name.size() == text::kNameColumns);

  // The first 20 characters of the line, less one trailing carriage return,
  // padded with blanks.
  std::string_view kept = line;
  if (!kept.empty() && kept.back() == '\r') kept.remove_suffix(1);
  kept = kept.substr(0, std::min(kept.size(), text::kNameColumns));
  KETROVANE_FUZZ_CHECK(std::string_view(name).substr(0, kept.size()) == kept);
  KETROVANE_FUZZ_CHECK(name.find_first_not_of(' ', kept.size()) == std::string::npos);

  const std::string_view trimmed = text::trim_trailing_blanks(name);
  KETROVANE_FUZZ_CHECK(std::string_view(name).substr(0, trimmed.size()) == trimmed);
  KETROVANE_FUZZ_CHECK(trimmed.empty() || trimmed.back() != ' ');
  KETROVANE_FUZZ_CHECK(name.find_first_not_of(' ', trimmed.size()) == std::string::npos);
}

void check_quotation(std::string_view line) {
  // Printable, bounded and quoted, whatever the line holds.
  const std::string q = text::quote_input(line);
  KETROVANE_FUZZ_CHECK(q.size() >= 2 && q.front() == '"' && q.back() == '"');
  KETROVANE_FUZZ_CHECK(q.size() <= 2 + 40 * 4 + 3);
  for (const char c : q) {
    const auto u = static_cast<unsigned char>(c);
    KETROVANE_FUZZ_CHECK(u >= 0x20 && u < 0x7f);
  }
}

void check_line(std::string_view line) {
  check_real_field(line);
  check_name_field(line);
  check_quotation(line);
}

// The lines of the text as the stream reader should give them: split at
// each line feed, the last one ended by the end of the text, each cut to
// its first kKeptColumns characters.
std::vector<std::string> expected_lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    lines.emplace_back(line.substr(0, std::min(line.size(), text::StreamLineReader::kKeptColumns)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Lines of the text through a reader, checked against the expected ones.
void check_reader(text::LineReader& reader, std::string_view text) {
  const std::vector<std::string> expected = expected_lines(text);
  std::size_t n = 0;
  while (const std::optional<std::string> line = reader.read_line()) {
    KETROVANE_FUZZ_CHECK(n < expected.size());
    KETROVANE_FUZZ_CHECK(*line == expected[n]);
    ++n;
  }
  KETROVANE_FUZZ_CHECK(n == expected.size());
  // The end of the input stays the end.
  KETROVANE_FUZZ_CHECK(!reader.read_line());
}

// The descriptor reader, as the program reads its standard input and the
// default-value file.  A filler line ahead of the bytes places them across
// the end of the reader's first 16 KiB block, at an offset taken from the
// first byte, so that lines are split between two reads.
void check_descriptor_reader(std::string_view bytes) {
  constexpr std::size_t kBlock = std::size_t{1} << 14U;
  const std::size_t ahead = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]);
  std::string text(kBlock - ahead - 1, 'x');
  text += '\n';
  text.append(bytes);

  const int fd = memfd_create("reply_reader_fuzz", 0);
  KETROVANE_FUZZ_CHECK(fd >= 0);
  KETROVANE_FUZZ_CHECK(write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
  KETROVANE_FUZZ_CHECK(lseek(fd, 0, SEEK_SET) == 0);
  {
    text::DescriptorLineReader reader(fd, "the fuzz input");
    check_reader(reader, text);
  }
  close(fd);
}

}  // namespace

int fuzz_reply_reader(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  check_line(bytes);

  std::istringstream in(bytes);
  text::StreamLineReader reader(in);
  check_reader(reader, bytes);
  for (const std::string& line : expected_lines(bytes)) check_line(line);

  check_descriptor_reader(bytes);
  return 0;
}

}  // namespace ketrovane::fuzz
