#pragma once

#include <cstdint>
#include <string>

namespace ect {

// The events a terminal can report in its synchronization state.
enum class ECTTerminalEvents : std::int32_t {
    TerminalIdle = 0,
    TerminalMaintenance = 1,
    TerminalOutOfOrder = 2,
    TerminalBusy = 3,
    CardReaderIdle = 4,
    CardReaderOutOfOrder = 5,
    PINEntry = 6,
    AdditionalDataEntry = 7,
    InsertCard = 8,
    SwipeCard = 9,
    RemoveCard = 10,
    AwaitingNextCard = 11,
    SlaveCard = 12,
    CardInserted = 13,
    CardRemoved = 14,
    BadReading = 15,
    AmountConfirmation = 16,
    ConfigurationChanged = 17,
    TransactionStarted = 18,
    CurrencySelection = 19,
};

// The event's bit position (1 = leftmost bit of the first digit); 0 for unknown values.
int eventValue(ECTTerminalEvents event);
// Four binary digits per upper-case hexadecimal digit; other characters are skipped.
std::string convertHexaToBinary(std::string const& hexa);
bool binaryStringBitSetAtPosition(std::string const& binary, int position);
bool endsWith(std::string const& text, std::string const& suffix);

// What a terminal reported in a synchronization advice.
class ECTTerminalEvent {
public:
    ECTTerminalEvent() = default;
    ECTTerminalEvent(std::string terminalIdentifier, std::string synchronizationState);

    std::string binaryString() const;
    bool isEvent(ECTTerminalEvents event) const;
    // Names of the set events, ", " between them.
    std::string eventsString() const;
    // "<state> - <binary>" and, when events are set, " [<events>]".
    std::string description() const;

    std::string terminalIdentifier;
    std::string synchronizationState; // hexadecimal bitmap
};

} // namespace ect
