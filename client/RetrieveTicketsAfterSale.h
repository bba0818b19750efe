#pragma once

#include "client/TerminalContext.h"
#include "client/ZUVATransactionContext.h"
#include "client/transactions/GetTicketTransaction.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace ect {

namespace detail {

// Hands a sale result to the host exactly once: with the fetched ticket when
// the ticket request ends, or with an empty client ticket when the request
// is dropped without ever ending (its terminal object is gone, say).
template <class R>
class TicketDelivery {
public:
    TicketDelivery(R const& result, std::function<void(R const&)> callback)
        : result_(result)
        , callback_(std::move(callback))
    {
    }

    ~TicketDelivery()
    {
        try {
            deliver(std::string());
        } catch (...) {
            // A host callback that throws must not end the process here.
        }
    }

    TicketDelivery(TicketDelivery const&) = delete;
    TicketDelivery& operator=(TicketDelivery const&) = delete;

    void deliver(const std::string& ticket)
    {
        if (delivered_.exchange(true))
            return;
        result_.updateClientTicket(ticket);
        callback_(result_);
    }

private:
    R result_;
    std::function<void(R const&)> callback_;
    std::atomic<bool> delivered_{false};
};

// The callback of a result class, never deduced from the argument: the
// result decides the class, and a lambda converts as it would for one
// function per result class.
template <class R>
struct ResultCallback {
    using type = std::function<void(const R&)>;
};

} // namespace detail

// Hands a failed sale to the callback at once. A successful one first gets
// its client ticket from a "TicketGet" on the same terminal; whatever becomes
// of that request, the sale reaches the callback once, still successful.
template <class R>
void retrieveTickets(R const& result, typename detail::ResultCallback<R>::type callback,
                     std::shared_ptr<TerminalContext> terminalContext)
{
    if (result.error()) {
        TransactionContext::endHandledStep();
        callback(result);
        return;
    }
    const auto delivery = std::make_shared<detail::TicketDelivery<R>>(result, std::move(callback));
    GetTicketTransaction ticketRequest(
        [delivery](GetTicketResult const& ticket) { delivery->deliver(ticket.ticket()); });
    ticketRequest.addDiscreteElements(result.ticketDiscreteElements())
        .addLanguage(result.language())
        .addLayoutIdentifier(result.ticketLayoutIdentifier());
    terminalContext->makeTransaction(std::move(ticketRequest));
}

// For SaleResult, SaleWithCashbackResult, AuthorizedSaleResult and
// LastTransactionResult.
template <class R>
void retrieveTicketsAfterSale(R const& result, typename detail::ResultCallback<R>::type callback,
                              std::shared_ptr<TerminalContext> terminalContext)
{
    retrieveTickets<R>(result, std::move(callback), std::move(terminalContext));
}

} // namespace ect
