#include "SimOperationReplies.h"

#include <deque>
#include <memory>
#include <mutex>

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

SimTerminal::Responder SimOperationReplies::pinEntries(std::vector<std::string> endings)
{
    struct Script {
        std::mutex mutex;
        std::deque<std::string> endings;
    };
    auto script = std::make_shared<Script>();
    script->endings.assign(endings.begin(), endings.end());
    return [script](const SimMessage& request) {
        std::string ending = "00";
        if (request.find("BF8107")) {
            std::lock_guard<std::mutex> lock(script->mutex);
            if (!script->endings.empty()) {
                ending = script->endings.front();
                script->endings.pop_front();
            }
        }
        if (ending.empty())
            return SimTerminal::silence();
        return SimTerminal::answer(ending.size() == 4 ? SimTerminal::incidentReplyTo(request, ending)
                                                      : displayReplyTo(request, ending));
    };
}

std::string SimOperationReplies::describe(const SimMessage& request)
{
    const SimTlv* first = request.find("BF810B");
    const SimTlv* identifier = first ? first->find("DF941B") : nullptr;
    return identifier ? request.type + " " + toHex(identifier->value) : request.type;
}

std::string SimOperationReplies::operationCodeOf(const SimMessage& request)
{
    const SimTlv* code = request.find("DF9466");
    return code ? toHex(code->value) : std::string();
}

void SimOperationReplies::answerAll(SimScript& terminal)
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
    terminal.on("Cm", pinEntries({}));
    const SimTerminal::Responder empty = [](const SimMessage& request) {
        return SimTerminal::answer(SimTerminal::replyTo(request));
    };
    terminal.on("Ck", empty);
    terminal.on("Cl", empty);
}

} // namespace testsupport
