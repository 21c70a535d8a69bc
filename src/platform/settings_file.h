#pragma once

#include <string>
#include <string_view>

#include "brevanto/host.h"

namespace brevanto {

// A settings file of `name=value` lines, the store of the machining settings
// where there is no registry:
//   - the value is the text after the first '=' up to the line end, with one
//     trailing CR removed and nothing else trimmed (so " 150" keeps its blank);
//     blanks and tabs around the name do not count;
//   - blank lines, lines starting with '#' or ';', section lines such as
//     "[CNC]" and lines without '=' are ignored;
//   - the last of repeated names wins;
//   - a UTF-8 byte-order mark at the start of the file is skipped;
//   - a missing file or name, or a value of 255 bytes or more (too long for
//     the registry's 255-byte buffer, NUL included), reads as "".
// readSettingsFileValue (declared in brevanto/host.h) reads the file anew on
// every call, as the registry key is opened anew for every value.
// defaultSettingsFilePath says where it is looked for: $BREVANTO_SETTINGS
// when set, else $XDG_CONFIG_HOME/brevanto/CNC.ini (an absolute
// XDG_CONFIG_HOME only), else ~/.config/brevanto/CNC.ini.

}  // namespace brevanto
