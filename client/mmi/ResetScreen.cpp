#include "client/mmi/ResetScreen.h"

#include "client/mmi/MMIRequests.h"

namespace ect {

ResetScreen::ResetScreen()
    : MMIRequestTransaction("MMIClose", MMIRequests::resetScreen(), Continuation())
{
}

std::unique_ptr<Transaction> ResetScreen::move()
{
    return std::unique_ptr<Transaction>(new ResetScreen(releaseState()));
}

} // namespace ect
