// Every gl_tests process runs its cases against its own Xvfb server.
#include <gtest/gtest.h>

#include "frontends/gl/gl_window.h"
#include "tests/gl/test_display.h"

namespace {

class VirtualDisplayEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string error = StartVirtualDisplay();
    ASSERT_TRUE(error.empty()) << "no virtual display: " << error;
  }
  void TearDown() override {
    // SDL stays up: shutting its video down would unload the GL driver,
    // whose own allocations would then look leaked. The connection simply
    // ends with the server.
    CloseWindow();
    StopVirtualDisplay();
  }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new VirtualDisplayEnvironment);

}  // namespace
