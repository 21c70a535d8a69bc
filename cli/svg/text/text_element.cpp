// A <text> element's glyphs as the element's path: drawn, clipped and cut
// as any path is, in the colour of its stroke or fill.
#include <algorithm>

#include "../element_context.h"
#include "text_layout.h"

namespace brevanto::cli {

void ElementContext::layOutText() {
  if (state_.textFonts == nullptr) return;
  // Each command makes at most one segment: the drawing's budget bounds them.
  const auto budget = static_cast<size_t>(
      std::max<int64_t>(ImportState::kMaxSegments - state_.segmentsMade, 0) + 1);
  LaidOutText text = cli::layOutText(node_, textStyle_, *state_.textFonts, budget);
  if (!text.error.empty()) state_.fail(text.error, node_);
  if (!text.leftOut.empty()) {
    state_.warn(text.leftOut + " left out: it is not set here", node_);
    state_.leaveOut(LeftOutKind::Text, node_);
    return;
  }
  if (text.path.empty()) return;
  textStrokes_ = text.strokes;
  // Counted where the text is drawn, not where it serves as a clip path.
  if (collector_ == nullptr) {
    ImportResult& result = state_.result;
    ++result.texts;
    for (std::string& font : text.fonts) {
      if (std::find(result.fonts.begin(), result.fonts.end(), font) == result.fonts.end())
        result.fonts.push_back(std::move(font));
    }
  }
  path_.insert(path_.end(), text.path.begin(), text.path.end());
}

}  // namespace brevanto::cli
