#include "outline_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb.h>

#include <vector>

namespace brevanto::cli {
namespace {

// One font file's face: HarfBuzz shapes with it, FreeType draws its glyphs.
class OutlineFace final : public TextFace {
 public:
  OutlineFace(FT_Face face, hb_font_t* font, std::string name)
      : face_(face), font_(font), name_(std::move(name)), em_(face->units_per_EM) {}
  ~OutlineFace() override {
    hb_font_destroy(font_);
    FT_Done_Face(face_);
  }

  [[nodiscard]] std::vector<ShapedGlyph> shape(std::u32string_view text) const override {
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()),
                        static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);  // right-to-left text is not set here
    // Letters stay letters: "fi" is an f and an i, as a renderer sets text
    // (each letter is placed on its own once letter spacing applies).
    static const hb_feature_t kNoLigatures[] = {{HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0U},
                                                {HB_TAG('c', 'l', 'i', 'g'), 0, 0, ~0U}};
    hb_shape(font_, buffer, kNoLigatures, 2);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer, &count);
    std::vector<ShapedGlyph> glyphs(count);
    for (unsigned i = 0; i < count; ++i) {
      glyphs[i] = {info[i].codepoint, info[i].cluster, position[i].x_advance / em_,
                   position[i].x_offset / em_, position[i].y_offset / em_};
    }
    hb_buffer_destroy(buffer);
    return glyphs;
  }

  void draw(uint32_t glyph, double x, double y, double size,
            std::vector<PathCommand>& out) const override {
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) !=
            0 ||
        face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      return;
    }
    Pen pen{x, y, size / em_, &out, false, 0.0, 0.0};
    static const FT_Outline_Funcs kFuncs = {&Pen::move, &Pen::line, &Pen::conic, &Pen::cubic, 0, 0};
    FT_Outline_Decompose(&face_->glyph->outline, &kFuncs, &pen);
    if (pen.open) out.push_back({PathCommand::Close, {}});
  }

  [[nodiscard]] bool strokes() const override { return false; }
  [[nodiscard]] const std::string& name() const override { return name_; }

 private:
  // Font units (y up) to user units (y down); quadratic pieces raised to
  // cubics, each contour closed.
  struct Pen {
    double x, y, scale;
    std::vector<PathCommand>* out;
    bool open;
    double lastX, lastY;  // font units

    [[nodiscard]] double ux(double fx) const { return x + fx * scale; }
    [[nodiscard]] double uy(double fy) const { return y - fy * scale; }
    static Pen& of(void* user) { return *static_cast<Pen*>(user); }
    static int move(const FT_Vector* to, void* user) {
      Pen& p = of(user);
      if (p.open) p.out->push_back({PathCommand::Close, {}});
      p.out->push_back({PathCommand::Move, {p.ux(to->x), p.uy(to->y)}});
      p.open = true;
      p.lastX = to->x, p.lastY = to->y;
      return 0;
    }
    static int line(const FT_Vector* to, void* user) {
      Pen& p = of(user);
      p.out->push_back({PathCommand::Line, {p.ux(to->x), p.uy(to->y)}});
      p.lastX = to->x, p.lastY = to->y;
      return 0;
    }
    static int conic(const FT_Vector* control, const FT_Vector* to, void* user) {
      Pen& p = of(user);
      const double c1x = p.lastX + 2.0 / 3.0 * (control->x - p.lastX);
      const double c1y = p.lastY + 2.0 / 3.0 * (control->y - p.lastY);
      const double c2x = to->x + 2.0 / 3.0 * (control->x - to->x);
      const double c2y = to->y + 2.0 / 3.0 * (control->y - to->y);
      p.out->push_back({PathCommand::Cubic,
                        {p.ux(c1x), p.uy(c1y), p.ux(c2x), p.uy(c2y), p.ux(to->x), p.uy(to->y)}});
      p.lastX = to->x, p.lastY = to->y;
      return 0;
    }
    static int cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
      Pen& p = of(user);
      p.out->push_back(
          {PathCommand::Cubic,
           {p.ux(c1->x), p.uy(c1->y), p.ux(c2->x), p.uy(c2->y), p.ux(to->x), p.uy(to->y)}});
      p.lastX = to->x, p.lastY = to->y;
      return 0;
    }
  };

  FT_Face face_;
  hb_font_t* font_;
  std::string name_;
  double em_;
};

// "DejaVu Sans, 'Liberation Serif', serif" to its names, in order.
std::vector<std::string> familyNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string name = list.substr(start, end - start);
    const auto first = name.find_first_not_of(" \t\r\n\"'");
    const auto last = name.find_last_not_of(" \t\r\n\"'");
    if (first != std::string::npos) names.push_back(name.substr(first, last - first + 1));
    start = end + 1;
  }
  return names;
}

}  // namespace

struct OutlineFonts::Library {
  FcConfig* config = nullptr;
  FT_Library freetype = nullptr;
  ~Library() {
    if (freetype != nullptr) FT_Done_FreeType(freetype);
    if (config != nullptr) FcConfigDestroy(config);
  }
};

OutlineFonts::OutlineFonts() = default;
OutlineFonts::~OutlineFonts() {
  loaded_.clear();  // the faces before the library they came from
}

const TextFace* OutlineFonts::face(const TextStyle& style, std::string& error) {
  const auto key = std::make_tuple(style.family, style.weight, style.italic);
  if (const auto found = chosen_.find(key); found != chosen_.end()) return found->second;
  if (!library_) {
    library_ = std::make_unique<Library>();
    library_->config = FcInitLoadConfigAndFonts();
    if (library_->config == nullptr || FT_Init_FreeType(&library_->freetype) != 0) {
      error = "the font libraries could not be started";
      return nullptr;
    }
  }
  FcPattern* pattern = FcPatternCreate();
  for (const std::string& name : familyNames(style.family)) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(style.weight));
  FcPatternAddInteger(pattern, FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(library_->config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(library_->config, pattern, &result);
  FcPatternDestroy(pattern);
  FcChar8* file = nullptr;
  int index = 0;
  if (match == nullptr || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) {
    if (match != nullptr) FcPatternDestroy(match);
    error = "no font is installed for \"" + style.family + "\"";
    return nullptr;
  }
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  const std::string path = reinterpret_cast<const char*>(file);
  FcChar8* fullName = nullptr;
  std::string name = path;
  if (FcPatternGetString(match, FC_FULLNAME, 0, &fullName) == FcResultMatch) {
    name = reinterpret_cast<const char*>(fullName);
  }
  FcPatternDestroy(match);

  auto& slot = loaded_[{path, index}];
  if (!slot) {
    FT_Face face = nullptr;
    if (FT_New_Face(library_->freetype, path.c_str(), index, &face) != 0 || !FT_IS_SCALABLE(face) ||
        face->units_per_EM == 0) {
      if (face != nullptr) FT_Done_Face(face);
      loaded_.erase({path, index});
      error = "the font " + path + " chosen for \"" + style.family + "\" has no outlines to read";
      return nullptr;
    }
    hb_blob_t* blob = hb_blob_create_from_file(path.c_str());
    hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index));
    hb_font_t* font = hb_font_create(hbFace);
    hb_font_set_scale(font, face->units_per_EM, face->units_per_EM);
    hb_face_destroy(hbFace);
    hb_blob_destroy(blob);
    slot = std::make_unique<OutlineFace>(face, font, name);
  }
  chosen_[key] = slot.get();
  return slot.get();
}

}  // namespace brevanto::cli
