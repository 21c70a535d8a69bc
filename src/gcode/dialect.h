#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brevanto {

// The form in which a program is written for a family of controllers. Every
// dialect cuts the same path: the same moves, depths, feeds, passes and
// order; only the words differ.
//   classic   numbered blocks, G50 and G64 in the header, T..M6, arcs with an
//             R word (a negative R for the long way round);
//   linuxcnc  what LinuxCNC reads as written: no G50, G64 with a blending
//             tolerance, centre-format arcs (I J, incremental: G91.1);
//   grbl      what grbl 1.1 accepts line by line: no G50, G64 or M6 (the
//             tool as a comment), no block numbers (grbl stops at N10000000),
//             centre-format arcs, and no number with more digits than grbl
//             reads (8).
enum class Dialect { Classic, LinuxCnc, Grbl };

// The value of the "Dialect" setting: "" (missing or empty) is classic.
std::optional<Dialect> parseDialect(std::string_view text);

// "classic", "linuxcnc" or "grbl".
std::string_view dialectName(Dialect dialect);

// "classic, linuxcnc, grbl": for messages.
std::string knownDialects();

// The largest tolerance by which LinuxCNC may round a corner while blending
// moves (G64 P), in mm: well below what joining and arc fitting stray.
inline constexpr double kLinuxCncBlendTolerance = 0.01;

// grbl reads at most this many digits of a number and silently drops the
// rest.
inline constexpr int kGrblDigits = 8;

}  // namespace brevanto
