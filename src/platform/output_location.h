#pragma once

#include <string>

namespace brevanto {

// Where the program file goes: the path a host set with setOutputPath, else
// the platform's fixed place (C:\Brevanto\Brevanto.tap on Windows;
// $BREVANTO_OUTPUT_DIR/Brevanto.tap, else ~/Brevanto/Brevanto.tap, elsewhere).
// The folder is never created.
std::string outputPath();

// Lets a host (the command-line tool, the tests) choose the program file. An
// empty path restores the platform's place.
void setOutputPath(std::string path);

// The platform's fixed place; one definition per platform.
std::string defaultOutputPath();

}  // namespace brevanto
