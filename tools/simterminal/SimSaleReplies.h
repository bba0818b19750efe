#pragma once

#include "SimTerminal.h"

#include <string>
#include <vector>

namespace testsupport {

// How the simulated terminal answers the retail and card services: message
// builders for each reply, and a script that answers every such request the
// way an approving terminal would.
class SimSaleReplies {
public:
    static constexpr const char* Date = "20240309090507";
    static constexpr const char* ValidityCheckService = "8850";

    // Approves the sale: its amount and currency back, a fixed date, card
    // data; backupMode sets the backup-mode bit and the recovery fields.
    static Bytes saleReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                             bool backupMode = false);
    // The same with a ticket: the ticket data's discrete elements hold its text.
    static Bytes ticketedSaleReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                     const std::string& ticket);
    // The same content as the last transaction's status ("Re").
    static Bytes lastTransactionReplyTo(const SimMessage& request, const std::string& terminalIdentifier);
    // The delivery question ("CR") to a sale with delivery confirmation.
    static Bytes deliveryQuestionTo(const SimMessage& request, const std::string& terminalIdentifier);
    // The sale's end after the delivery answer: the sale approved when the
    // answer accepts the delivery, else the incident 4400 of the refusal.
    static Bytes deliveryOutcomeOf(const SimMessage& answer, const SimMessage& sale,
                                   const std::string& terminalIdentifier);
    static Bytes cardRecognitionReplyTo(const SimMessage& request);
    static Bytes cardValidityReplyTo(const SimMessage& request);
    // A balance reply with the counters (see counter()).
    static Bytes balanceReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                const std::vector<SimTlv>& counters);
    static SimTlv counter(const std::string& identifierHex, const std::string& label, int transactions,
                          const std::string& totalHex);

    // Answers "Cd" (sale, validity check and delivery question), "RR", "Ce",
    // "Ch" and "Cb" on the terminal.
    static void script(SimScript& terminal, const std::string& terminalIdentifier);

    static bool isValidityCheck(const SimMessage& request);
    static bool asksDeliveryConfirmation(const SimMessage& request);

private:
    static std::vector<SimTlv> saleElements(const SimMessage& request, const std::string& terminalIdentifier,
                                            bool backupMode);
    static Bytes message(const std::string& type, const SimMessage& request, const std::vector<SimTlv>& elements);
};

} // namespace testsupport
