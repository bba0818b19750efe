#include "engine/base/HostWarning.h"

#include "support/QtWarnings.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace oxa;

namespace {

std::atomic<int> libraryHandlerCalls{0};

void libraryHandler(QtMsgType, QMessageLogContext const&, QString const&)
{
    ++libraryHandlerCalls;
}

} // namespace

// Lost data reaches the host without certification mode: through the handler
// in place before the library's own, and not once more through the library's.
TEST(HostWarning, GoesToTheHandlerInPlaceBeforeTheLibrarysOwn)
{
    testsupport::QtWarnings host;
    HostWarning::report("lost before");
    const QtMessageHandler hostHandler = qInstallMessageHandler(libraryHandler);
    HostWarning::keepPreviousHandler(hostHandler);
    HostWarning::report("lost after");
    HostWarning::keepPreviousHandler(nullptr);
    qInstallMessageHandler(hostHandler);
    EXPECT_EQ(host.text(), "lost before\nlost after");
    EXPECT_EQ(libraryHandlerCalls, 0);
}
