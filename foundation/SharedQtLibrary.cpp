#include "foundation/SharedQtLibrary.h"

#include <QThread>

#include <clocale>

namespace vorsam {

namespace {

// Qt keeps references to argc and argv for the application's whole life.
int& applicationArgc()
{
    static int argc = 1;
    return argc;
}

char** applicationArgv()
{
    static char name[] = "SharedLibrary";
    static char* argv[] = {name, nullptr};
    return argv;
}

// Application flags of the Qt version the library was first built against.
const int ApplicationFlags = 0x050602;

} // namespace

SharedQtLibrary::SharedQtLibrary()
    : QObject(nullptr)
{
    if (QCoreApplication::instance())
        return;
    application_ = std::make_unique<QCoreApplication>(applicationArgc(), applicationArgv(), ApplicationFlags);
    // QCoreApplication adopts the environment's locale; a host without Qt
    // expects the C library to keep formatting and parsing numbers with '.'.
    std::setlocale(LC_NUMERIC, "C");
}

bool SharedQtLibrary::onItsOwnThread() const
{
    return !application_ || application_->thread() == QThread::currentThread();
}

SharedQtLibrary::~SharedQtLibrary()
{
    if (!application_)
        return;
    QCoreApplication::quit();
    cleanupQtApp(application_);
    application_.reset();
}

} // namespace vorsam
