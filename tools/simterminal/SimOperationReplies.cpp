#include "SimOperationReplies.h"

namespace testsupport {

Bytes SimOperationReplies::ticketReplyTo(const SimMessage& request, const Ticket& ticket)
{
    return SimTerminal::replyTo(
        request, {SimTlv::constructed(fromHex("BF8108"),
                                      {SimTlv::text("DF1A", ticket.language), SimTlv::hex("DF940F", ticket.layoutHex),
                                       SimTlv::hex("DF9411", ticket.discreteHex), SimTlv::text("DF17", ticket.text)})});
}

Bytes SimOperationReplies::backupModeStatusReplyTo(const SimMessage& request, const std::string& stateText)
{
    const SimTlv state = SimTlv::text("DF9405", stateText);
    return SimTerminal::replyTo(
        request, {SimTlv::constructed(fromHex("BF8104"), {SimTlv::primitive(fromHex("DF9460"), state.encode())})});
}

Bytes SimOperationReplies::displayReplyTo(const SimMessage& request, const std::string& keyHex)
{
    return SimTerminal::replyTo(request,
                                {SimTlv::constructed(fromHex("BF8109"), {SimTlv::hex("DF9426", keyHex)})});
}

std::string SimOperationReplies::operationCodeOf(const SimMessage& request)
{
    const SimTlv* code = request.find("DF9466");
    return code ? toHex(code->value) : std::string();
}

void SimOperationReplies::answerAll(SimTerminal& terminal)
{
    terminal.on("Cw", [](const SimMessage& request) {
        const bool printsText = request.find("DF17") != nullptr;
        return SimTerminal::answer(printsText ? SimTerminal::replyTo(request)
                                              : ticketReplyTo(request, Ticket{"TICKET\x0C"}));
    });
    terminal.on("Co", [](const SimMessage& request) {
        return SimTerminal::answer(operationCodeOf(request) == "0032" ? backupModeStatusReplyTo(request, "1")
                                                                      : SimTerminal::replyTo(request));
    });
    terminal.on("Cm", [](const SimMessage& request) { return SimTerminal::answer(displayReplyTo(request, "00")); });
    const SimTerminal::Responder empty = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::replyTo(request));
    };
    terminal.on("Ck", empty);
    terminal.on("Cl", empty);
}

} // namespace testsupport
