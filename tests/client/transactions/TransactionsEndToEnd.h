#pragma once

#include "client/ClientEndToEnd.h"
#include "client/transactions/SaleResult.h"
#include "client/transactions/SaleTransaction.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"

#include <cstdio>
#include <string>
#include <vector>

namespace clienttest {

using testsupport::SimMessage;
using testsupport::SimOperationReplies;
using testsupport::SimSaleReplies;
using testsupport::SimTerminal;
using testsupport::SimTlv;

// The client host with one simulated terminal that approves every retail
// and card service and returns the ticket "TICKET\f" for every ticket request.
class TransactionsEndToEnd : public ClientEndToEnd {
protected:
    void SetUp() override
    {
        SimSaleReplies::script(sim, TerminalId);
        SimOperationReplies::answerAll(sim);
        ClientEndToEnd::SetUp();
    }

    std::vector<SimMessage> requestsOfType(const std::string& type) const
    {
        std::vector<SimMessage> found;
        for (const SimMessage& request : sim.requests())
            if (request.type == type)
                found.push_back(request);
        return found;
    }

    static std::string valueOf(const SimMessage& message, const std::string& hexTag)
    {
        const SimTlv* found = message.find(hexTag);
        return found ? testsupport::toHex(found->value) : std::string("absent");
    }

    // The body of the ticket request that follows a sale without ticket data.
    static std::string emptyTicketRequest(const SimMessage& request)
    {
        char sequence[3];
        std::snprintf(sequence, sizeof sequence, "%02d", request.sequence);
        return std::string("F025E107D0024377D101") + sequence
               + "BF810818DF94690400000002DF94280111DF1A00DF940F00DF941100";
    }

    // The last request of that type; an empty message when there is none.
    SimMessage lastOfType(const std::string& type) const
    {
        const std::vector<SimMessage> found = requestsOfType(type);
        return found.empty() ? SimMessage() : found.back();
    }

    // The sale was approved, fetched its ticket and went to the terminal as that service.
    template <typename Result>
    void expectApprovedWithTicket(const Result& result, const char* serviceIdentifier)
    {
        SCOPED_TRACE(serviceIdentifier);
        EXPECT_EQ(errorText(result.error()) + " " + result.clientTicket(), "ok TICKET\f");
        EXPECT_EQ(valueOf(lastOfType("Cd"), "DF21"), serviceIdentifier);
    }

    static ect::Amount amount() { return ect::Amount("12.50"); }
};

} // namespace clienttest
