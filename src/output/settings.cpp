#include "output/settings.h"

#include <cstdlib>
#include <string>

#include "platform/settings_store.h"

namespace brevanto {

double readPrecision() {
  const std::string text = readSettingText("Prezision");
  return std::atof(text.c_str());
}

}  // namespace brevanto
