#include "group_reader.h"

#include <charconv>
#include <cstring>

namespace brevanto::cli::dxf {
namespace {

constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Group codes the file format defines; anything else is not a DXF group.
bool knownCode(int64_t code) {
  return code >= -5 && code <= 1071;
}

std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// How a binary file stores the value of a group code.
enum class Stored { Text, Double, Int16, Int32, Int64, Byte, Chunk };

Stored storedAs(int32_t code) {
  const auto in = [code](int32_t a, int32_t b) { return code >= a && code <= b; };
  if (in(10, 59) || in(110, 149) || in(210, 239) || in(460, 469) || in(1010, 1059)) {
    return Stored::Double;
  }
  if (in(60, 79) || in(170, 179) || in(270, 289) || in(370, 389) || in(400, 409) ||
      in(1060, 1070)) {
    return Stored::Int16;
  }
  if (in(90, 99) || in(420, 429) || in(440, 459) || code == 1071) return Stored::Int32;
  if (in(160, 169)) return Stored::Int64;
  if (in(290, 299)) return Stored::Byte;
  if (in(310, 319) || code == 1004) return Stored::Chunk;
  return Stored::Text;
}

template <class T>
T little(const char* p) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, p, sizeof(T));
  uint64_t v = 0;
  for (size_t i = sizeof(T); i-- > 0;) v = (v << 8) | b[i];
  T out;
  if constexpr (sizeof(T) == 8) {
    std::memcpy(&out, &v, 8);
  } else {
    using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint16_t>;
    const U narrow = static_cast<U>(v);
    std::memcpy(&out, &narrow, sizeof(T));
  }
  return out;
}

}  // namespace

bool looksLikeDxf(std::string_view bytes) {
  if (bytes.starts_with(kBinarySentinel)) return true;
  GroupReader reader(bytes);
  Group first;
  if (!reader.next(first)) return false;
  return first.code == 999 || (first.code == 0 && first.text == "SECTION");
}

bool parseNumber(std::string_view text, double& value) {
  text = trimmed(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Hexadecimal, "inf" and "nan" are no DXF numbers.
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  return text.find_first_of("xXnN") == std::string_view::npos;
}

GroupReader::GroupReader(std::string_view bytes) : bytes_(bytes) {
  if (bytes_.starts_with(kBinarySentinel)) {
    binary_ = true;
    pos_ = kBinarySentinel.size();
    // The first group is (0, "SECTION"): a zero byte then 'S' with one-byte
    // codes, two zero bytes with two-byte codes.
    wideCodes_ = pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\0';
  } else if (bytes_.starts_with("\xEF\xBB\xBF")) {
    pos_ = 3;  // a UTF-8 byte order mark
  }
}

bool GroupReader::fail(int64_t where, const std::string& why) {
  error_ = why;
  errorWhere_ = where;
  return false;
}

bool GroupReader::next(Group& group) {
  if (replay_) {
    replay_ = false;
    group = last_;
    return true;
  }
  if (!error_.empty()) return false;
  const bool ok = binary_ ? nextBinary(group) : nextText(group);
  if (ok) last_ = group;
  return ok;
}

bool GroupReader::nextText(Group& group) {
  const auto takeLine = [this](std::string_view& line) {
    if (pos_ >= bytes_.size()) return false;
    const size_t end = bytes_.find('\n', pos_);
    const size_t stop = end == std::string_view::npos ? bytes_.size() : end;
    line = bytes_.substr(pos_, stop - pos_);
    pos_ = end == std::string_view::npos ? bytes_.size() : end + 1;
    ++line_;
    return true;
  };
  std::string_view codeLine;
  // Blank lines after the last group (or a file that ends with EOF and
  // stray line ends) are no groups.
  do {
    if (!takeLine(codeLine)) return false;
  } while (trimmed(codeLine).empty() && pos_ >= bytes_.size());
  const std::string_view codeText = trimmed(codeLine);
  int64_t code = 0;
  const auto [end, ec] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
  if (codeText.empty() || ec != std::errc() || end != codeText.data() + codeText.size()) {
    return fail(line_, "expected a group code (a whole number), found \"" +
                           std::string(codeText.substr(0, 40)) + "\"");
  }
  if (!knownCode(code)) {
    return fail(line_, "group code " + std::to_string(code) + " is none that DXF defines");
  }
  group.code = static_cast<int32_t>(code);
  group.where = line_;
  std::string_view value;
  if (!takeLine(value)) {
    return fail(group.where,
                "the file ends after group code " + std::to_string(code) + ", before its value");
  }
  if (value.ends_with('\r')) value.remove_suffix(1);
  group.text = trimmed(value);
  return true;
}

bool GroupReader::nextBinary(Group& group) {
  const auto need = [this](size_t n) { return bytes_.size() - pos_ >= n; };
  if (pos_ >= bytes_.size()) return false;
  group.where = static_cast<int64_t>(pos_);
  int32_t code = 0;
  if (wideCodes_) {
    if (!need(2)) return fail(group.where, "the file ends inside a group code");
    code = little<int16_t>(bytes_.data() + pos_);
    pos_ += 2;
  } else {
    code = static_cast<unsigned char>(bytes_[pos_++]);
    if (code == 255) {  // an extended code follows in two bytes
      if (!need(2)) return fail(group.where, "the file ends inside a group code");
      code = little<int16_t>(bytes_.data() + pos_);
      pos_ += 2;
    }
  }
  if (!knownCode(code)) {
    return fail(group.where, "group code " + std::to_string(code) + " is none that DXF defines");
  }
  group.code = code;
  // R12 stored 16-bit integers where later versions store 32-bit ones.
  Stored stored = storedAs(code);
  if (!wideCodes_ && stored == Stored::Int32 && code < 420) stored = Stored::Int16;
  const auto number = [&](size_t size, auto read) {
    if (!need(size))
      return fail(group.where, "the file ends inside the value of group " + std::to_string(code));
    scratch_ = read(bytes_.data() + pos_);
    pos_ += size;
    group.text = scratch_;
    return true;
  };
  const auto shortest = [](auto v) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
  };
  switch (stored) {
    case Stored::Double:
      return number(8, [&](const char* p) { return shortest(little<double>(p)); });
    case Stored::Int16:
      return number(2, [&](const char* p) { return shortest(little<int16_t>(p)); });
    case Stored::Int32:
      return number(4, [&](const char* p) { return shortest(little<int32_t>(p)); });
    case Stored::Int64:
      return number(8, [&](const char* p) { return shortest(little<int64_t>(p)); });
    case Stored::Byte:
      return number(1, [&](const char* p) { return shortest(static_cast<unsigned char>(*p)); });
    case Stored::Chunk: {
      if (!need(1)) return fail(group.where, "the file ends inside a binary chunk");
      const size_t size = static_cast<unsigned char>(bytes_[pos_++]);
      if (!need(size)) return fail(group.where, "the file ends inside a binary chunk");
      group.text = bytes_.substr(pos_, size);
      pos_ += size;
      return true;
    }
    case Stored::Text: {
      const size_t end = bytes_.find('\0', pos_);
      if (end == std::string_view::npos) {
        return fail(group.where, "the file ends inside the text of group " + std::to_string(code));
      }
      group.text = trimmed(bytes_.substr(pos_, end - pos_));
      pos_ = end + 1;
      return true;
    }
  }
  return false;
}

}  // namespace brevanto::cli::dxf
