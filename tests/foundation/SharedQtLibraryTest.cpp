#include "foundation/SharedQtLibrary.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <clocale>
#include <string>

// The test environment's holder made the application of this process.
TEST(SharedQtLibrary, MadeTheApplicationAndKeptNumbersInTheCLocale)
{
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(QCoreApplication::arguments(), QStringList{"SharedLibrary"});
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), "C");
}

TEST(SharedQtLibrary, SecondHolderLeavesTheApplicationAlone)
{
    QCoreApplication* const application = QCoreApplication::instance();
    {
        vorsam::SharedQtLibrary second;
    }
    EXPECT_EQ(QCoreApplication::instance(), application);
}
