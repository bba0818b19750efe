#include "foundation/SharedQtLibrary.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

// The library's threads need a Qt application; a host without Qt gets the
// one the holder makes, as these tests do. A locale other than plain "C" in
// the environment shows whether the holder restores numeric formatting.
// Calendar times are Central European, with its DST rules.
class FoundationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("LC_ALL", "C.UTF-8", 1);
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        holder_ = std::make_unique<vorsam::SharedQtLibrary>();
    }
    void TearDown() override { holder_.reset(); }

private:
    std::unique_ptr<vorsam::SharedQtLibrary> holder_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new FoundationEnvironment);

} // namespace

// Qt is not built with ThreadSanitizer; the tests run with its accesses ignored.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}

// The environment's holder made the application; a second holder leaves it alone.
TEST(SharedQtLibrary, MakesOneApplicationAndKeepsNumbersInTheCLocale)
{
    QCoreApplication* const application = QCoreApplication::instance();
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(QCoreApplication::arguments(), QStringList{"SharedLibrary"});
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), "C");
    {
        vorsam::SharedQtLibrary second;
    }
    EXPECT_EQ(QCoreApplication::instance(), application);
}
