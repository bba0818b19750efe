#pragma once

#include "client/ServiceInformationResult.h"
#include "client/TransactionHelpers.h"

namespace ect {

// Asks a terminal for its service information; ends on the first reply.
class ServiceInformationTransaction
    : public ServiceTransaction<ServiceInformationTransaction, ServiceInformationResult> {
public:
    explicit ServiceInformationTransaction(Callback callback);

private:
    friend ServiceTransaction;
    using ServiceTransaction::ServiceTransaction;
};

} // namespace ect
