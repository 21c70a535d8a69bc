#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brevanto/host.h"
#include "shape_tags.h"

namespace brevanto::cli {

// The values an [operation NAME] section may hold, in the order
// --show-settings writes them.
// After the operation's own keys come settings of the table that an
// operation may carry as they are (holding tabs, ramp entry, leads; a
// laser's power, passes and fill).
inline constexpr std::string_view kOperationKeys[] = {
    "Select", "Kind", "Side", "Depth", "StepDown", "Feed", "PlungeFeed", "Spindle", "Coolant",
    "Tool", "ToolDiameter", "Direction", "Order", "Tabs", "TabSpacing", "TabWidth", "TabHeight",
    "TabsOnHoles", "TabShape", "TabAngle", "RampAngle", "LeadIn", "Power", "Passes", "LineInterval",
    "FillAngle", "Bidirectional", "Overscan", "AirAssist",
    // Pockets.
    "PocketStrategy", "StepOver", "FinishAllowance"};

// One value of an operation and where it was given ("FILE:LINE", or
// "--operation").
struct OperationValue {
  std::string text;
  std::string origin;
};

// An [operation NAME] section of the settings file, with the --operation
// values laid over it.
struct OperationSection {
  std::string name;
  std::string origin;  // where the section starts
  std::map<std::string, OperationValue, std::less<>> values;
};

// Whether `key` is one of kOperationKeys.
bool isOperationKey(std::string_view key);

// One operation as the job cuts it: the base settings with its own values
// over them, the shapes it selected (by key), and what the summary says.
struct ChosenOperation {
  std::string name;
  std::string select;  // as given
  std::string kind;    // profile, engrave, pocket, laser-cut or laser-fill
  JobSettings settings;
  double order = 0.0;
  std::vector<int32_t> shapeKeys;
};

// Every operation checked and typed, in cutting order (Order, then the
// order of the sections); nullopt with `error` naming the operation, the
// value, where it was given and the fix. `baseText` gives the base
// settings' texts by name.
std::optional<std::vector<ChosenOperation>> chooseOperations(
    const std::vector<OperationSection>& sections,
    const std::function<std::string(std::string_view)>& baseText, std::string& error);

// Gives each shape (by key; tags[key - 1] its tags) to the first section
// (in file order) whose Select matches, then puts the operations in cutting
// order; returns the keys no operation selected. Shapes without tags (a
// .seg file) are selected by `all` only.
std::vector<int32_t> selectShapes(std::vector<ChosenOperation>& operations,
                                  const std::vector<OperationSection>& sections,
                                  const std::vector<ShapeTags>& tags,
                                  const std::vector<int32_t>& keys);

// The operations as a settings file's sections, each with the shapes it
// selected in a comment (when `selected`).
std::string operationsText(const std::vector<OperationSection>& sections,
                           const std::vector<ChosenOperation>* chosen);

}  // namespace brevanto::cli
