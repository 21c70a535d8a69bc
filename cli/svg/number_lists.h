#pragma once

#include <string>
#include <string_view>

namespace brevanto::cli {

// SVG's number grammar lets one number follow another without a separator
// when the second starts with a sign or a second decimal point:
// "translate(-384.57-515.8)", "scale(1-1)", "matrix(.96593.25882 ...)".
// Returns the text with a space between every two such numbers, which the
// stricter list readers (transform, points, viewBox) then accept; anything
// else is kept as written.
std::string separateNumbers(std::string_view text);

}  // namespace brevanto::cli
