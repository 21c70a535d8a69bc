#pragma once

// The fonts installed on the machine: fontconfig chooses one for a text's
// family, weight and style (falling back as it decides), HarfBuzz shapes its
// characters and FreeType gives its glyphs' outlines, unhinted, in the
// font's own units.
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "text_face.h"
#include "text_style.h"

namespace brevanto::cli {

class OutlineFonts {
 public:
  OutlineFonts();
  ~OutlineFonts();
  OutlineFonts(const OutlineFonts&) = delete;
  OutlineFonts& operator=(const OutlineFonts&) = delete;

  // The face for the style; nullptr (with `error` set) when fontconfig has
  // no font at all or the chosen one cannot be read.
  const TextFace* face(const TextStyle& style, std::string& error);

 private:
  struct Library;
  std::unique_ptr<Library> library_;  // made when the first text asks for a font
  // By request (family, weight, italic), and by the file chosen for it.
  std::map<std::tuple<std::string, int, bool>, const TextFace*> chosen_;
  std::map<std::pair<std::string, int>, std::unique_ptr<TextFace>> loaded_;
};

}  // namespace brevanto::cli
