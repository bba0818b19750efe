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
        // Qt's own event dispatcher instead of GLib's, whose uninstrumented
        // wake-ups ThreadSanitizer reports as races.
        qputenv("QT_NO_GLIB", "1");
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

// Qt is not built with ThreadSanitizer: it hands its event dispatcher to other
// threads through atomics TSan cannot see, so posting an event looks like a
// race on the dispatcher's wake-up descriptor.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QEventDispatcherUNIX::wakeUp\n"
           "race:QEventDispatcherUNIXPrivate::QEventDispatcherUNIXPrivate\n";
}
