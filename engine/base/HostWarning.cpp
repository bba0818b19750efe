#include "engine/base/HostWarning.h"

#include "engine/base/ECTCertificationLogging.h"
#include "foundation/HeldLocks.h"

#include <QMessageLogContext>
#include <QString>

#include <atomic>

namespace oxa {

namespace {

std::atomic<QtMessageHandler> previousHandler{nullptr};

void give(std::string const& text)
{
    ECTCertificationLogging::sharedInstance().log(text);
    const QtMessageHandler previous = previousHandler;
    // Straight to the kept handler: the library's own would log it a second time.
    if (previous)
        previous(QtWarningMsg, QMessageLogContext(), QString::fromStdString(text));
    else
        qWarning("%s", text.c_str());
}

} // namespace

// The handler may call the library or block: never under a library lock.
void HostWarning::report(std::string const& text)
{
    vorsam::HeldLocks::outside([text] { give(text); });
}

void HostWarning::keepPreviousHandler(QtMessageHandler previous)
{
    previousHandler = previous;
}

} // namespace oxa
