#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brevanto::cli {

// Reads a whole regular file of at most `limit` bytes. Anything else (a
// folder, a FIFO, a device, a socket, a larger file) is refused with a reason
// before a byte is read, so a hostile path can neither hang the command nor
// make it read without end. False with the reason in `error` ("it is a
// folder, not a file", "No such file or directory", ...).
bool readRegularFile(const std::string& path, size_t limit, std::string& bytes, std::string& error);

// What a file is, by its first bytes, when it is certainly no SVG drawing:
// "a PNG image", "a DXF drawing", ...; "" when it may be one.
std::string_view foreignFileKind(std::string_view bytes);

// "256 MiB", "1 MiB", "512 bytes": a limit as --help and the messages say it.
std::string describeSize(size_t bytes);

}  // namespace brevanto::cli
