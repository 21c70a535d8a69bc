// libFuzzer target for the job sp() runs: the input bytes are the caller's
// Segment array (any bit patterns), its count and the eight settings texts.
// Every sanitizer report, and every result sp() may not give, is a crash. The
// program goes to memory, so every run writes one at no disk cost. Each
// settings text is also read by the library's number reading and by glibc's
// strtod, which must agree.
//
// Input layout:
//   byte 0      flags: bit 0 settings texts follow (else a sane set is used),
//               bit 1 pass a null segment pointer, bit 2 a null count pointer,
//               bit 3 CutOrder inside-first, bits 4-5 ToolOffset (1 outside,
//               2 inside, else none), bits 6-7 Dialect (1 linuxcnc,
//               2 grbl, else classic)
//   bytes 1-4   the count: negative values are passed as they are, others
//               are capped at the last record the input holds
//   [bit 0]     eight settings texts, each one length byte and that many bytes
//   the rest    Segment records of 80 bytes; a partial record is ignored

#include <locale.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <string_view>

#include "brevanto/host.h"
#include "settings/setting_number.h"

namespace {

constexpr std::array<const char*, 8> kSettingNames = {"txtFeedZ", "txtMaxZ",    "txtDepth",
                                                      "txtSaveZ", "txtFeedCut", "txtWZNummer",
                                                      "txtWZDia", "Prezision"};
// The choices come from flag bits 3 to 7, so that inputs also run the
// nesting, the tool offset, the cut order and every dialect.
constexpr std::array<const char*, 2> kCutOrders = {"drawing", "inside-first"};
constexpr std::array<const char*, 4> kToolOffsets = {"none", "outside", "inside", "none"};
constexpr std::array<const char*, 4> kDialects = {"classic", "linuxcnc", "grbl", "classic"};
uint8_t choiceFlags = 0;
constexpr std::array<const char*, 8> kSaneSettings = {"100", "1.5", "2", "5",
                                                      "800", "1",   "3", "0.1"};

std::array<std::string, 8> settings;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t left() const { return size_ - pos_; }
  uint8_t byte() { return left() > 0 ? data_[pos_++] : 0; }
  int32_t int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    int32_t s;
    std::memcpy(&s, &v, sizeof s);
    return s;
  }
  std::string text(size_t n) {
    n = n < left() ? n : left();
    std::string t(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return t;
  }
  const uint8_t* rest() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The pass count is total depth / pass depth, allowed up to 100000 per shape;
// legitimate, but a program of millions of lines per input would slow the
// search to a crawl. Such inputs fall back to one pass.
void limitPassCount() {
  const double pass = std::fabs(std::strtod(settings[1].c_str(), nullptr));
  const double depth = std::fabs(std::strtod(settings[2].c_str(), nullptr));
  if (!(depth <= pass * 8.0)) {
    settings[1] = "1";
    settings[2] = "1";
  }
}

// The reading the library gives every platform is glibc's: characters read,
// value bit for bit (a NaN by its sign) and range error.
void checkNumberReading(std::string text) {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  text.resize(std::strlen(text.c_str()));  // a C string, as the store gives it
  char* end = nullptr;
  errno = 0;
  const double expected = strtod_l(text.c_str(), &end, classic);
  const bool range = errno == ERANGE;
  const brevanto::SettingNumber got = brevanto::readSettingNumber(text);
  const bool sameValue = std::isnan(expected) ? std::isnan(got.value) && std::signbit(got.value) ==
                                                                             std::signbit(expected)
                                              : std::memcmp(&expected, &got.value, 8) == 0;
  if (!sameValue || got.length != static_cast<size_t>(end - text.c_str()) ||
      got.outOfRange != range) {
    std::fprintf(stderr, "number reading differs from strtod on [%s]: %a / %a\n", text.c_str(),
                 expected, got.value);
    std::abort();
  }
}

bool isWholeProgram(const std::string& program) {
  static const std::string head = "(Created with Brevanto)\r\n";
  static const std::string tail = "\r\nM30\r\n";
  return program.starts_with(head) && program.ends_with(tail);
}

std::string settingFor(std::string_view name) {
  if (name == "Dialect") return kDialects[(choiceFlags >> 6) & 3];
  if (name == "CutOrder") return kCutOrders[(choiceFlags >> 3) & 1];
  if (name == "ToolOffset") return kToolOffsets[(choiceFlags >> 4) & 3];
  for (size_t i = 0; i < kSettingNames.size(); ++i) {
    if (name == kSettingNames[i]) return settings[i];
  }
  // A setting the macro's dialog has never stored: the store has no text for
  // it, so the job takes its built-in value, as with an older registry.
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.byte();
  choiceFlags = flags;
  const int32_t rawCount = in.int32();
  for (size_t i = 0; i < settings.size(); ++i) {
    settings[i] = (flags & 1) != 0 ? in.text(in.byte()) : kSaneSettings[i];
  }
  for (const std::string& text : settings) checkNumberReading(text);
  limitPassCount();

  // Exactly as many records as the input holds, on the heap, so that reading
  // one record too many is an overflow the sanitizer sees.
  const size_t n = in.left() / sizeof(Segment);
  std::unique_ptr<Segment[]> segments(new Segment[n]);
  if (n > 0) std::memcpy(segments.get(), in.rest(), n * sizeof(Segment));
  const int32_t lastIndex =
      rawCount < 0 ? rawCount
                   : (static_cast<size_t>(rawCount) < n ? rawCount : static_cast<int32_t>(n) - 1);
  // A missing array or count, or a negative count, reads no record.
  const bool none = (flags & 6) != 0 || lastIndex < 0;
  const std::span<const Segment> records(segments.get(),
                                         none ? 0 : static_cast<size_t>(lastIndex) + 1);

  std::ostringstream program;
  brevanto::JobOptions options;
  options.settings = settingFor;
  options.program = &program;
  const brevanto::JobReport report = brevanto::runJob(records, options);

  // Results below -1 are the documented failure codes, each with a message;
  // a success leaves no message.
  const int32_t result = report.result;
  if (result < BREVANTO_DIALECT_REFUSED) std::abort();
  if (result < -1 && report.error.empty()) std::abort();
  if (result >= -1 && !report.error.empty()) std::abort();
  // A success leaves a whole program: header first, end of program last.
  if (result >= -1 && !isWholeProgram(program.str())) std::abort();
  return 0;
}
