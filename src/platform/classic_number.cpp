#include "platform/classic_number.h"

#include <clocale>
#include <cstdlib>
#if !defined(_WIN32)
#include <locale.h>
#endif

namespace brevanto {

// A "C" locale object made once and kept for the life of the process; the
// *_l variants read numbers through it instead of the global locale.
#if defined(_WIN32)
double strtodClassic(const char* text, char** end) {
  static const _locale_t classic = _create_locale(LC_ALL, "C");
  return _strtod_l(text, end, classic);
}
#else
double strtodClassic(const char* text, char** end) {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, end, classic);
}
#endif

}  // namespace brevanto
