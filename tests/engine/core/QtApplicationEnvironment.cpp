#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

namespace {

// The engine logs every dropped message; keep test output readable unless asked.
void quietMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (std::getenv("ZUVA_TEST_VERBOSE") || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, text)));
}

// Worker threads with event loops need an application object in the process.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qInstallMessageHandler(quietMessageHandler);
        if (!QCoreApplication::instance())
            m_application.reset(new QCoreApplication(m_argc, m_argv));
    }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[32] = "test_engine_core";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_application;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace

// Qt is not built with ThreadSanitizer: what it does inside (posting events,
// waking event loops) synchronises through means TSan cannot see, so its own
// accesses are left out; the engine's are all still checked.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
