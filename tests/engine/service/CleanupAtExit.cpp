#include "engine/service/oxazuva.h"

#include <gtest/gtest.h>

namespace {

// A host ends with zuva_cleanup, which stops every service and ends the Qt
// application holder; so does this executable, once every test has run.
class CleanupAtExit : public ::testing::Environment {
public:
    void TearDown() override { zuva_cleanup(); }
};

::testing::Environment* const cleanupAtExit = ::testing::AddGlobalTestEnvironment(new CleanupAtExit);

} // namespace
