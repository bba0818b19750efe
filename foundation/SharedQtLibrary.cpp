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

// An application the holder leaves in place: still reachable, never destroyed.
QCoreApplication* leftInPlace = nullptr;

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
    // A host that made an application of its own since runs on that one now:
    // quitting or deleting this one would end the host's. It stays, never
    // destroyed.
    if (QCoreApplication::instance() != application_.get()) {
        leftInPlace = application_.release();
        return;
    }
    QCoreApplication::quit();
    cleanupQtApp(application_);
    application_.reset();
}

} // namespace vorsam
