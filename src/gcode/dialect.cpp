#include "gcode/dialect.h"

namespace brevanto {
namespace {

constexpr Dialect kDialects[] = {Dialect::Classic, Dialect::LinuxCnc, Dialect::Grbl};

}  // namespace

std::string_view dialectName(Dialect dialect) {
  switch (dialect) {
    case Dialect::LinuxCnc:
      return "linuxcnc";
    case Dialect::Grbl:
      return "grbl";
    case Dialect::Classic:
      break;
  }
  return "classic";
}

std::optional<Dialect> parseDialect(std::string_view text) {
  if (text.empty()) return Dialect::Classic;
  for (const Dialect d : kDialects) {
    if (text == dialectName(d)) return d;
  }
  return std::nullopt;
}

std::string knownDialects() {
  std::string names;
  for (const Dialect d : kDialects) {
    if (!names.empty()) names += ", ";
    names += dialectName(d);
  }
  return names;
}

}  // namespace brevanto
