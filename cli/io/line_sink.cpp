#include "io/line_sink.h"

#include <cstring>

namespace brevanto::cli {

LineSink::LineSink(StagedFile& file, Line line)
    : file_(file), line_(std::move(line)), buffer_(size_t{1} << 16) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool LineSink::drain() {
  const std::string_view bytes(pbase(), static_cast<size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  if (!file_.write(bytes)) return false;
  if (!line_) return true;
  std::string_view rest = bytes;
  for (size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
    if (partial_.empty()) {
      line_(rest.substr(0, end));
    } else {
      partial_.append(rest.substr(0, end));
      line_(partial_);
      partial_.clear();
    }
    rest.remove_prefix(end + 1);
  }
  partial_.append(rest);
  return true;
}

LineSink::int_type LineSink::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int LineSink::sync() {
  return drain() ? 0 : -1;
}

bool LineSink::finish() {
  if (!drain()) return false;
  if (!partial_.empty() && line_) line_(partial_);
  partial_.clear();
  return true;
}

}  // namespace brevanto::cli
