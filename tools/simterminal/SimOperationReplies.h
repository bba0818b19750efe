#pragma once

#include "SimTerminal.h"

#include <string>
#include <vector>

namespace testsupport {

// The simulated terminal's answers to the ticket ("Cw"), operation ("Co":
// retail cancellation, backup-mode change and status) and display ("Ck",
// "Cl", "Cm") requests.
class SimOperationReplies {
public:
    struct Ticket {
        std::string text;
        std::string language = "fr";
        std::string layoutHex = "0A1B";
        std::string discreteHex = "0102";
    };

    // "Rw" carrying the ticket inside BF8108.
    static Bytes ticketReplyTo(const SimMessage& request, const Ticket& ticket);
    // "Ro" whose BF8104 holds DF9460, itself holding DF9405 with the state text.
    static Bytes backupModeStatusReplyTo(const SimMessage& request, const std::string& stateText);
    // "Rm" with the key that ended the operation, DF9426 inside BF8109.
    static Bytes displayReplyTo(const SimMessage& request, const std::string& keyHex);

    // Answers display operations ("Cm"): each PIN entry (one carrying BF8107)
    // ends with the next of the endings, in turn, and once they are used up,
    // like every other operation, with the OK key. An ending is a key ("00"
    // OK, "01" stop, "FF" aborted), an incident code ("2630" wrong PIN, "1803"
    // PIN time-out) or empty (no answer at all).
    static SimTerminal::Responder pinEntries(std::vector<std::string> endings);

    // "Ck", "Cl", or "Cm" followed by its first text identifier ("Cm 26").
    static std::string describe(const SimMessage& request);

    // The operation code (DF9466) of an "Co" request, as 4 hexadecimal digits.
    static std::string operationCodeOf(const SimMessage& request);

    // Scripts a terminal that answers every one of these requests: a held
    // ticket is returned with the text "TICKET", backup mode is reported
    // on, display operations end with the OK key.
    static void answerAll(SimScript& terminal);
};

} // namespace testsupport
