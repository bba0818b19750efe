#include "client/ServiceInformationTransaction.h"

namespace ect {

ServiceInformationTransaction::ServiceInformationTransaction(Callback callback)
    : ServiceTransaction(makeRequest("InformationService", "InformationService"), std::move(callback))
{
}

} // namespace ect
