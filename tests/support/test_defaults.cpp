// Every test starts from the same ground: the worked example's settings as
// the settings source and the program file in a private temporary folder, so
// that no test depends on the machine's own settings file or home folder, nor
// on what an earlier test installed.
#include <gtest/gtest.h>

#include "platform/output_location.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto::test {
namespace {

class TestDefaults : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& /*test*/) override {
    static const TempDir outputDir;
    setOutputPath(outputDir.file("Brevanto.tap"));
    installDefaultTestSettings();
  }
};

[[maybe_unused]] const bool installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TestDefaults);
  return true;
}();

}  // namespace
}  // namespace brevanto::test
