#include "operations.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace brevanto::cli {
namespace {

// The operation values that are base settings under another name.
struct BaseName {
  std::string_view key;
  std::string_view setting;
};
constexpr BaseName kBaseNames[] = {{"Depth", "txtDepth"},   {"StepDown", "txtMaxZ"},
                                   {"Feed", "txtFeedCut"},  {"PlungeFeed", "txtFeedZ"},
                                   {"Tool", "txtWZNummer"}, {"ToolDiameter", "txtWZDia"},
                                   {"Spindle", "Spindle"},  {"Coolant", "Coolant"}};

std::string lowered(std::string_view text) {
  std::string out;
  for (char c : text) out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

struct Selector {
  enum class By { All, Stroke, Fill, Layer, Class, Id } by = By::All;
  int32_t colour = -1;  // red + 256*green + 65536*blue
  std::string name;
};

// "#rrggbb" as red + 256*green + 65536*blue; -1 when it is not one.
int32_t hexColour(std::string_view text) {
  if (text.size() != 7 || text[0] != '#') return -1;
  uint32_t packed = 0;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, packed, 16);
  if (error != std::errc() || end != text.data() + 7) return -1;
  return static_cast<int32_t>(((packed >> 16) & 0xFF) + 256 * ((packed >> 8) & 0xFF) +
                              65536 * (packed & 0xFF));
}

std::optional<Selector> parseSelector(std::string_view text) {
  text = trimBlanks(text);
  if (lowered(text) == "all") return Selector{};
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string by = lowered(trimBlanks(text.substr(0, colon)));
  const std::string_view what = trimBlanks(text.substr(colon + 1));
  if (what.empty()) return std::nullopt;
  if (by == "stroke" || by == "fill") {
    const int32_t colour = hexColour(what);
    if (colour < 0) return std::nullopt;
    return Selector{by == "stroke" ? Selector::By::Stroke : Selector::By::Fill, colour, {}};
  }
  const struct {
    const char* word;
    Selector::By by;
  } named[] = {
      {"layer", Selector::By::Layer}, {"class", Selector::By::Class}, {"id", Selector::By::Id}};
  for (const auto& n : named) {
    if (by == n.word) return Selector{n.by, -1, std::string(what)};
  }
  return std::nullopt;
}

bool matches(const Selector& s, const ShapeTags* tags) {
  if (s.by == Selector::By::All) return true;
  if (tags == nullptr) return false;
  switch (s.by) {
    case Selector::By::Stroke:
      return tags->stroke == s.colour;
    case Selector::By::Fill:
      return tags->fill == s.colour;
    case Selector::By::Layer:
      return tags->layer == s.name;
    case Selector::By::Class:
      return std::find(tags->classes.begin(), tags->classes.end(), s.name) != tags->classes.end();
    case Selector::By::Id:
      return tags->id == s.name;
    case Selector::By::All:
      break;
  }
  return true;
}

// The value of `key`, or `fallback` when the section does not give it.
std::string valueOr(const OperationSection& section, std::string_view key, std::string fallback) {
  const auto found = section.values.find(key);
  return found != section.values.end() ? std::string(trimBlanks(found->second.text)) : fallback;
}

// "FILE:LINE: operation NAME: KEY=TEXT: " for a refusal of one value.
std::string where(const OperationSection& section, std::string_view key) {
  const auto found = section.values.find(key);
  const std::string origin = found != section.values.end() ? found->second.origin : section.origin;
  const std::string text = found != section.values.end() ? found->second.text : "";
  return origin + ": operation " + section.name + ": " + std::string(key) + "=" + text + ": ";
}

// A key of kOperationKeys after Order: a setting of the table the operation
// carries as it is.
bool carriedAsIs(std::string_view key) {
  const auto* order = std::find(std::begin(kOperationKeys), std::end(kOperationKeys), "Order");
  return std::find(order + 1, std::end(kOperationKeys), key) != std::end(kOperationKeys);
}

bool oneOf(const std::string& text, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(), [&](const char* w) { return text == w; });
}

bool laserKind(const std::string& kind) {
  return kind.starts_with("laser-");
}

// The kind of an operation that names none: the base Kind, else the
// machine's own (a laser's is laser-cut).
std::string defaultKind(const std::function<std::string(std::string_view)>& baseText) {
  const std::string kind = lowered(trimBlanks(baseText("Kind")));
  if (!kind.empty()) return kind;
  return lowered(trimBlanks(baseText("Machine"))) == "laser" ? "laser-cut" : "profile";
}

// The keys that mean something for only some kinds: a router's depth, tool,
// side and entries mean nothing to a beam, its power and passes nothing to
// a router, the fill's lines nothing to a cut. Given where they mean
// nothing, they are refused rather than passed over.
struct KeyKinds {
  std::string_view key;
  bool router, laserCut, laserFill;
};
constexpr KeyKinds kKeyKinds[] = {
    {"Side", true, false, false},          {"Depth", true, false, false},
    {"StepDown", true, false, false},      {"PlungeFeed", true, false, false},
    {"Spindle", true, false, false},       {"Coolant", true, false, false},
    {"Tool", true, false, false},          {"ToolDiameter", true, false, false},
    {"Direction", true, false, false},     {"Tabs", true, false, false},
    {"TabSpacing", true, false, false},    {"TabWidth", true, false, false},
    {"TabHeight", true, false, false},     {"TabsOnHoles", true, false, false},
    {"TabShape", true, false, false},      {"TabAngle", true, false, false},
    {"RampAngle", true, false, false},     {"LeadIn", true, false, false},
    {"Power", false, true, true},          {"Passes", false, true, true},
    {"LineInterval", false, false, true},  {"FillAngle", false, false, true},
    {"Bidirectional", false, false, true}, {"Overscan", false, false, true},
    {"AirAssist", false, true, true}};

// The first value of `section` its kind has no use for, or "".
std::string_view uselessKey(const OperationSection& section, const std::string& kind) {
  for (const KeyKinds& k : kKeyKinds) {
    const bool used = kind == "laser-cut"    ? k.laserCut
                      : kind == "laser-fill" ? k.laserFill
                                             : k.router;
    if (!used && section.values.contains(k.key)) return k.key;
  }
  return {};
}

std::optional<ChosenOperation> chooseOne(
    const OperationSection& section, const std::function<std::string(std::string_view)>& baseText,
    double position, std::string& error) {
  ChosenOperation op;
  op.name = section.name;
  op.select = valueOr(section, "Select", "");
  if (op.select.empty() || !parseSelector(op.select)) {
    error = where(section, "Select") +
            "give which shapes: stroke:#rrggbb, fill:#rrggbb, layer:NAME, class:NAME, id:NAME "
            "or all";
    return std::nullopt;
  }
  op.kind = lowered(valueOr(section, "Kind", defaultKind(baseText)));
  const std::string side = lowered(valueOr(section, "Side", "on"));
  const std::string direction = lowered(valueOr(section, "Direction", "drawing"));
  if (!oneOf(op.kind, {"profile", "engrave", "pocket", "laser-cut", "laser-fill"})) {
    error = where(section, "Kind") +
            "not one of its values (profile, engrave, pocket, laser-cut, laser-fill)";
    return std::nullopt;
  }
  if (const std::string_view key = uselessKey(section, op.kind); !key.empty()) {
    error = where(section, key) + "means nothing to Kind=" + op.kind + " (" +
            (laserKind(op.kind) ? "a laser burns with Power, Passes and Feed"
                                : "a router cuts with Depth, Tool and Feed") +
            "); leave it out";
    return std::nullopt;
  }
  if (!oneOf(side, {"on", "outside", "inside"}) || (op.kind != "profile" && side != "on")) {
    error = where(section, "Side") +
            (op.kind == "engrave" ? "an engraving follows the line: leave Side out, or use "
                                    "Kind=profile"
             : op.kind == "pocket"
                 ? "a pocket clears the area inside the line: leave Side out, or use Kind=profile"
                 : "not one of its values (on, outside, inside)");
    return std::nullopt;
  }
  if (!oneOf(direction, {"drawing", "climb", "conventional"})) {
    error = where(section, "Direction") + "not one of its values (climb, conventional, drawing)";
    return std::nullopt;
  }
  op.order = position;
  if (section.values.contains("Order")) {
    const std::string text = valueOr(section, "Order", "");
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), op.order);
    if (failed != std::errc() || end != text.data() + text.size() || !(op.order >= 0.0) ||
        op.order > 1e6) {
      error = where(section, "Order") + "give a number from 0 to 1000000 (lower is cut first)";
      return std::nullopt;
    }
  }
  // The base settings with the operation's values over them, each checked
  // as the base setting is.
  for (const BaseName& b : kBaseNames) {
    const auto found = section.values.find(b.key);
    if (found == section.values.end()) continue;
    const std::string fault = strictSettingFault(*findSetting(b.setting), found->second.text);
    if (!fault.empty()) {
      error = where(section, b.key) + fault + " (as " + std::string(b.setting) + ")";
      return std::nullopt;
    }
  }
  // The table's own settings an operation carries as they are.
  for (const auto& [key, value] : section.values) {
    const SettingInfo* row = findSetting(key);
    if (row == nullptr || !carriedAsIs(key)) continue;
    if (const std::string fault = strictSettingFault(*row, value.text); !fault.empty()) {
      error = where(section, key) + fault;
      return std::nullopt;
    }
  }
  const SettingsSource source = [&section, &baseText, side, &op](std::string_view name) {
    if (name == "ToolOffset") {
      return std::string(side == "on" ? "none" : side);
    }
    if (name == "Kind") {
      return laserKind(op.kind) || op.kind == "pocket" ? op.kind : std::string("profile");
    }
    if (const auto own = section.values.find(name);
        own != section.values.end() && carriedAsIs(name)) {
      return own->second.text;
    }
    for (const BaseName& b : kBaseNames) {
      if (b.setting != name) continue;
      const auto found = section.values.find(b.key);
      if (found != section.values.end()) return found->second.text;
    }
    return baseText(name);
  };
  const SettingsRead read = readSettings(source, SettingsReading::Strict);
  if (!read.ok()) {
    error = section.origin + ": operation " + section.name + ": " + read.error;
    return std::nullopt;
  }
  op.settings = read.settings;
  op.settings.direction = direction == "climb"          ? CutDirection::Climb
                          : direction == "conventional" ? CutDirection::Conventional
                                                        : CutDirection::Drawing;
  return op;
}

}  // namespace

bool isOperationKey(std::string_view key) {
  return std::find(std::begin(kOperationKeys), std::end(kOperationKeys), key) !=
         std::end(kOperationKeys);
}

std::optional<std::vector<ChosenOperation>> chooseOperations(
    const std::vector<OperationSection>& sections,
    const std::function<std::string(std::string_view)>& baseText, std::string& error) {
  std::vector<ChosenOperation> chosen;
  for (size_t i = 0; i < sections.size(); ++i) {
    auto op = chooseOne(sections[i], baseText, static_cast<double>(i), error);
    if (!op) return std::nullopt;
    chosen.push_back(std::move(*op));
  }
  // One program drives one machine.
  for (const ChosenOperation& op : chosen) {
    if (op.settings.laser() == chosen.front().settings.laser()) continue;
    const ChosenOperation& laser = op.settings.laser() ? op : chosen.front();
    const ChosenOperation& router = op.settings.laser() ? chosen.front() : op;
    error = "operation " + laser.name + " burns (Kind=" + laser.kind + ") and operation " +
            router.name + " cuts in depth (Kind=" + router.kind +
            "): one program drives one machine; give every operation a laser kind, or write "
            "the router's and the laser's operations as two programs";
    return std::nullopt;
  }
  return chosen;
}

std::vector<int32_t> selectShapes(std::vector<ChosenOperation>& operations,
                                  const std::vector<OperationSection>& sections,
                                  const std::vector<ShapeTags>& tags,
                                  const std::vector<int32_t>& keys) {
  std::vector<Selector> selectors;
  for (const OperationSection& s : sections) {
    selectors.push_back(parseSelector(valueOr(s, "Select", "")).value_or(Selector{}));
  }
  std::vector<int32_t> unselected;
  for (const int32_t key : keys) {
    const auto index = static_cast<size_t>(key) - 1;
    const ShapeTags* shapeTags = key >= 1 && index < tags.size() ? &tags[index] : nullptr;
    bool taken = false;
    for (size_t i = 0; i < selectors.size() && !taken; ++i) {
      if (matches(selectors[i], shapeTags)) {
        operations[i].shapeKeys.push_back(key);
        taken = true;
      }
    }
    if (!taken) unselected.push_back(key);
  }
  // Cut in Order, sections of equal Order in the order of the file.
  std::stable_sort(
      operations.begin(), operations.end(),
      [](const ChosenOperation& a, const ChosenOperation& b) { return a.order < b.order; });
  return unselected;
}

std::string operationsText(const std::vector<OperationSection>& sections,
                           const std::vector<ChosenOperation>* chosen) {
  std::string text;
  for (const OperationSection& s : sections) {
    text += "\n[operation " + s.name + "]\n";
    if (chosen != nullptr) {
      for (const ChosenOperation& c : *chosen) {
        if (c.name != s.name) continue;
        std::string keys;
        for (const int32_t k : c.shapeKeys) keys += (keys.empty() ? "" : ", ") + std::to_string(k);
        text += "# selected " + std::to_string(c.shapeKeys.size()) + " shape(s)" +
                (keys.empty() ? "" : ": " + keys) + "\n";
      }
    }
    for (const std::string_view key : kOperationKeys) {
      const auto found = s.values.find(key);
      if (found == s.values.end()) continue;
      text += "# (from " + found->second.origin + ")\n" + std::string(key) + "=" +
              found->second.text + "\n";
    }
  }
  return text;
}

}  // namespace brevanto::cli
