#pragma once

#include <cstddef>
#include <string>

namespace brevanto::cli {

// The part of --help after the options, in paragraphs: the settings from the
// library's table (name, built-in value, meaning, unit, range or choices),
// where they are read from, what is read of a drawing (at most
// `largestDrawing` bytes), how outputs are written, and the exit statuses.
std::string helpFooter(size_t largestDrawing);

// One line per setting for the README's settings table, in Markdown:
// | name | type | unit | built in | range or choices | meaning |
std::string settingsTableMarkdown();

}  // namespace brevanto::cli
