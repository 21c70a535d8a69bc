#include "platform/output_location.h"

#include <utility>

namespace brevanto {
namespace {
std::string& hostOutputPath() {
  static std::string path;
  return path;
}
}  // namespace

void setOutputPath(std::string path) {
  hostOutputPath() = std::move(path);
}

std::string outputPath() {
  const std::string& host = hostOutputPath();
  return host.empty() ? defaultOutputPath() : host;
}

}  // namespace brevanto
