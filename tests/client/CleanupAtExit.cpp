#include "client/ZUVAService.h"

#include <gtest/gtest.h>

namespace {

// A host ends with ect::cleanup; so do these tests, so that the library's
// threads end while the Qt application still exists.
class CleanupAtExit : public ::testing::Environment {
public:
    void TearDown() override { ect::cleanup(); }
};

::testing::Environment* const cleanupAtExit = ::testing::AddGlobalTestEnvironment(new CleanupAtExit);

} // namespace
