#include "SimSaleReplies.h"

#include <memory>

namespace testsupport {

namespace {

const Bytes& ServiceData = *new Bytes(fromHex("BF8116"));
const Bytes& OptionalData = *new Bytes(fromHex("BF8101"));
const Bytes& CardData = *new Bytes(fromHex("BF8104"));

std::string hexOr(const SimMessage& request, const std::string& hexTag, const std::string& fallback)
{
    const SimTlv* found = request.find(hexTag);
    return found ? toHex(found->value) : fallback;
}

SimTlv cardDescription()
{
    return SimTlv::constructed(fromHex("EB"), {SimTlv::hex("DF9406", "40"), SimTlv::text("DF46", "4970XXXXXXXX1234")});
}

SimTlv cardData(const std::vector<SimTlv>& extra = {})
{
    std::vector<SimTlv> children{SimTlv::hex("DF5F", "1001"), SimTlv::text("DF7E", "CB")};
    children.insert(children.end(), extra.begin(), extra.end());
    return SimTlv::constructed(CardData, children);
}

// The recovery fields of a backup-mode sale.
SimTlv backupModeCardData()
{
    const Bytes privateData = SimTlv::hex("DF8205", "0001").encode() + SimTlv::hex("DF915B", "0102030405").encode();
    return cardData({SimTlv::hex("DF68", "12345678"), SimTlv::text("9F16", "MERCHANT1"),
                     SimTlv::primitive(fromHex("DF9460"), privateData)});
}

} // namespace

bool SimSaleReplies::isValidityCheck(const SimMessage& request)
{
    return hexOr(request, "DF21", "") == ValidityCheckService;
}

bool SimSaleReplies::asksDeliveryConfirmation(const SimMessage& request)
{
    return request.find("DF953F") != nullptr;
}

Bytes SimSaleReplies::message(const std::string& type, const SimMessage& request, const std::vector<SimTlv>& elements)
{
    return SimMessage::frame(SimMessage::buildBody(type, request.sequence, elements));
}

std::vector<SimTlv> SimSaleReplies::saleElements(const SimMessage& request, const std::string& terminalIdentifier,
                                                 bool backupMode)
{
    std::vector<SimTlv> service{SimTlv::text("9F1C", terminalIdentifier),
                                SimTlv::hex("9F34", backupMode ? "0080" : "4000"),
                                SimTlv::hex("C5", "000001"),
                                SimTlv::hex("DF26", hexOr(request, "DF50", "000000000000")),
                                SimTlv::hex("5F2A", hexOr(request, "5F2A", "0978")),
                                SimTlv::hex("DF27", Date)};
    std::vector<SimTlv> elements{SimTlv::constructed(OptionalData, {SimTlv::hex("DF940D", "0000")}),
                                 SimTlv::constructed(ServiceData, service), cardDescription(),
                                 backupMode ? backupModeCardData() : cardData()};
    if (const SimTlv* identifier = request.find("DF9464"))
        elements.push_back(*identifier);
    return elements;
}

Bytes SimSaleReplies::saleReplyTo(const SimMessage& request, const std::string& terminalIdentifier, bool backupMode)
{
    return message("Rd", request, saleElements(request, terminalIdentifier, backupMode));
}

Bytes SimSaleReplies::ticketedSaleReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                          const std::string& ticket)
{
    std::vector<SimTlv> elements = saleElements(request, terminalIdentifier, false);
    elements.push_back(SimTlv::constructed(fromHex("BF8108"), {SimTlv::text("DF9411", ticket)}));
    return message("Rd", request, elements);
}

Bytes SimSaleReplies::lastTransactionReplyTo(const SimMessage& request, const std::string& terminalIdentifier)
{
    return message("Re", request, saleElements(request, terminalIdentifier, false));
}

Bytes SimSaleReplies::deliveryQuestionTo(const SimMessage& request, const std::string& terminalIdentifier)
{
    return message("CR", request,
                   {cardData({SimTlv::text("9F1C", terminalIdentifier), SimTlv::hex("DF900F", "0035")}),
                    cardDescription(),
                    SimTlv::constructed(ServiceData, {SimTlv::hex("DF9540", "0030"),
                                                      SimTlv::hex("DF26", hexOr(request, "DF50", "000000000000")),
                                                      SimTlv::hex("5F2A", "0978"), SimTlv::hex("DF27", Date)}),
                    SimTlv::hex("DF9464", hexOr(request, "DF9464", "00000000"))});
}

Bytes SimSaleReplies::deliveryOutcomeOf(const SimMessage& answer, const SimMessage& sale,
                                        const std::string& terminalIdentifier)
{
    if (hexOr(answer, "DF940D", "") != "0000") {
        return message("Rd", answer,
                       {SimTlv::constructed(OptionalData, {SimTlv::hex("DF940D", "4400")}),
                        SimTlv::primitive(fromHex("DF9460"), SimTlv::text("DF13", "NOT DELIVERED").encode())});
    }
    return message("Rd", answer, saleElements(sale, terminalIdentifier, false));
}

Bytes SimSaleReplies::cardRecognitionReplyTo(const SimMessage& request)
{
    return message("Rh", request,
                   {SimTlv::constructed(fromHex("EB"), {SimTlv::hex("DF915C", "0A0B0C0D"), SimTlv::hex("DF9406", "20"),
                                                        SimTlv::hex("5A", "497000FFFFFF1234")}),
                    cardData()});
}

Bytes SimSaleReplies::cardValidityReplyTo(const SimMessage& request)
{
    return message("Rd", request,
                   {SimTlv::constructed(ServiceData, {SimTlv::hex("DF27", Date)}), cardDescription(), cardData()});
}

Bytes SimSaleReplies::balanceReplyTo(const SimMessage& request, const std::string& terminalIdentifier,
                                     const std::vector<SimTlv>& counters)
{
    const SimTlv acquirer = SimTlv::hex("DF68", hexOr(request, "DF68", ""));
    return message("Rb", request,
                   {SimTlv::constructed(fromHex("F8"), {SimTlv::text("9F1C", terminalIdentifier),
                                                        SimTlv::constructed(fromHex("FC"), counters)}),
                    SimTlv::constructed(fromHex("FA"), {acquirer, SimTlv::text("DF69", "ACQUIRER")})});
}

SimTlv SimSaleReplies::counter(const std::string& identifierHex, const std::string& label, int transactions,
                               const std::string& totalHex)
{
    const std::string count = std::to_string(10000 + transactions % 10000).substr(1);
    return SimTlv::constructed(fromHex("E1"), {SimTlv::hex("C0", identifierHex), SimTlv::hex("C1", "0978"),
                                               SimTlv::text("C2", label), SimTlv::hex("C3", count),
                                               SimTlv::hex("C4", totalHex), SimTlv::hex("C7", "01FF")});
}

void SimSaleReplies::script(SimScript& terminal, const std::string& terminalIdentifier)
{
    // The sale waiting for its delivery answer; responders run on one thread.
    const auto waitingSale = std::make_shared<SimMessage>();
    terminal.on("Cd", [terminalIdentifier, waitingSale](const SimMessage& request) {
        if (isValidityCheck(request))
            return SimTerminal::answer(cardValidityReplyTo(request));
        if (asksDeliveryConfirmation(request)) {
            *waitingSale = request;
            return SimTerminal::answer(deliveryQuestionTo(request, terminalIdentifier));
        }
        return SimTerminal::answer(saleReplyTo(request, terminalIdentifier));
    });
    terminal.on("RR", [terminalIdentifier, waitingSale](const SimMessage& answer) {
        return SimTerminal::answer(deliveryOutcomeOf(answer, *waitingSale, terminalIdentifier));
    });
    terminal.on("Ce", [terminalIdentifier](const SimMessage& request) {
        return SimTerminal::answer(lastTransactionReplyTo(request, terminalIdentifier));
    });
    terminal.on("Ch", [](const SimMessage& request) { return SimTerminal::answer(cardRecognitionReplyTo(request)); });
    terminal.on("Cb", [terminalIdentifier](const SimMessage& request) {
        return SimTerminal::answer(balanceReplyTo(request, terminalIdentifier,
                                                  {counter("01", "CB", 12, "0000000004D2"),
                                                   counter("02", "CRDA", 3, "000000000064")}));
    });
}

} // namespace testsupport
