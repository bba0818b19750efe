#include "common/ECTTerminalEvent.h"

#include <array>
#include <utility>

namespace ect {

namespace {

constexpr int eventCount = 20;

// Bit positions, indexed by the event's value.
constexpr std::array<int, eventCount> bitPositions = {2, 3, 4, 13, 18, 19, 5, 6, 22, 24,
                                                      7, 25, 16, 9, 8, 14, 23, 10, 15, 27};

struct NamedEvent {
    ECTTerminalEvents event;
    char const* name;
};

// Shortest name first, equal lengths alphabetically.
constexpr std::array<NamedEvent, eventCount> listingOrder = {{
    {ECTTerminalEvents::PINEntry, "PINEntry"},
    {ECTTerminalEvents::SlaveCard, "SlaveCard"},
    {ECTTerminalEvents::SwipeCard, "SwipeCard"},
    {ECTTerminalEvents::BadReading, "BadReading"},
    {ECTTerminalEvents::InsertCard, "InsertCard"},
    {ECTTerminalEvents::RemoveCard, "RemoveCard"},
    {ECTTerminalEvents::CardRemoved, "CardRemoved"},
    {ECTTerminalEvents::CardInserted, "CardInserted"},
    {ECTTerminalEvents::TerminalBusy, "TerminalBusy"},
    {ECTTerminalEvents::TerminalIdle, "TerminalIdle"},
    {ECTTerminalEvents::CardReaderIdle, "CardReaderIdle"},
    {ECTTerminalEvents::AwaitingNextCard, "AwaitingNextCard"},
    {ECTTerminalEvents::CurrencySelection, "CurrencySelection"},
    {ECTTerminalEvents::AmountConfirmation, "AmountConfirmation"},
    {ECTTerminalEvents::TerminalOutOfOrder, "TerminalOutOfOrder"},
    {ECTTerminalEvents::TransactionStarted, "TransactionStarted"},
    {ECTTerminalEvents::AdditionalDataEntry, "AdditionalDataEntry"},
    {ECTTerminalEvents::TerminalMaintenance, "TerminalMaintenance"},
    {ECTTerminalEvents::CardReaderOutOfOrder, "CardReaderOutOfOrder"},
    {ECTTerminalEvents::ConfigurationChanged, "ConfigurationChanged"},
}};

// The four binary digits of an upper-case hexadecimal digit, or null.
char const* binaryGroup(unsigned char digit)
{
    static char const* const groups[16] = {"0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
                                           "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111"};
    if (digit >= '0' && digit <= '9')
        return groups[digit - '0'];
    if (digit >= 'A' && digit <= 'F')
        return groups[digit - 'A' + 10];
    return nullptr;
}

} // namespace

int eventValue(ECTTerminalEvents event)
{
    auto const index = static_cast<std::uint32_t>(event);
    return index < bitPositions.size() ? bitPositions[index] : 0;
}

std::string convertHexaToBinary(std::string const& hexa)
{
    std::string binary;
    binary.reserve(hexa.size() * 4);
    for (char character : hexa) {
        if (char const* group = binaryGroup(static_cast<unsigned char>(character)))
            binary += group;
    }
    return binary;
}

bool binaryStringBitSetAtPosition(std::string const& binary, int position)
{
    return position >= 0 && static_cast<std::size_t>(position) < binary.size() && binary[position] != '0';
}

bool endsWith(std::string const& text, std::string const& suffix)
{
    if (text.size() < suffix.size())
        return false;
    return text.rfind(suffix) == text.size() - suffix.size();
}

ECTTerminalEvent::ECTTerminalEvent(std::string terminalIdentifier, std::string synchronizationState)
    : terminalIdentifier(std::move(terminalIdentifier))
    , synchronizationState(std::move(synchronizationState))
{
}

std::string ECTTerminalEvent::binaryString() const
{
    return convertHexaToBinary(synchronizationState);
}

bool ECTTerminalEvent::isEvent(ECTTerminalEvents event) const
{
    return binaryStringBitSetAtPosition(binaryString(), eventValue(event) - 1);
}

std::string ECTTerminalEvent::eventsString() const
{
    std::string const binary = binaryString();
    std::string names;
    for (NamedEvent const& entry : listingOrder) {
        if (binaryStringBitSetAtPosition(binary, eventValue(entry.event) - 1))
            names += std::string(entry.name) + ", ";
    }
    if (endsWith(names, ", "))
        names.resize(names.size() - 2);
    return names;
}

std::string ECTTerminalEvent::description() const
{
    std::string text = synchronizationState + " - " + binaryString();
    std::string const events = eventsString();
    if (!events.empty())
        text += " [" + events + "]";
    return text;
}

} // namespace ect
