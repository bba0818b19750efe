#pragma once

// Which sale a terminal's reply ends, over either transport through the C
// interface.
#include "ServiceFixture.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimScript.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonObject>

#include <atomic>
#include <memory>
#include <string>

namespace testsupport {

inline std::string saleOf(const char* amount)
{
    return std::string(R"({"transaction": {"action": "Sale", "amount": ")") + amount + R"("}})";
}

// The approval of a sale the host reset, sent while the next sale waits, is no
// result of that sale, which gets its own; an error reply under number 0 ends
// the sale at once.
inline void expectEachSaleItsOwnReply(HostRecorder& host, const std::string& terminalId, SimScript& terminal)
{
    // Shared with the terminal's thread, which may outlive a failed test's body.
    const auto seen = std::make_shared<std::vector<SimMessage>>();
    const auto requests = std::make_shared<std::atomic<size_t>>(0);
    terminal.on("Cd", [seen, requests, terminalId](const SimMessage& request) {
        seen->push_back(request);
        ++*requests;
        if (seen->size() == 1)
            return SimScript::Reply{};
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(seen->front(), terminalId),
                                 SimSaleReplies::saleReplyTo(request, terminalId)}};
    });
    const size_t before = host.count("result");
    ASSERT_EQ(host.send(terminalId, saleOf("12.50")), 0);
    ASSERT_TRUE(waitUntil([&] { return *requests == 1; }));
    ASSERT_EQ(zuva_resetTransaction(terminalId.c_str()), 0);
    ASSERT_TRUE(host.waitFor("result", before + 1));
    EXPECT_EQ(errorOf(host.last("result")).value("causeCode").toInt(), 30);
    ASSERT_EQ(host.send(terminalId, saleOf("7.00")), 0);
    ASSERT_TRUE(host.waitFor("result", before + 2));
    EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), 7.0);

    terminal.on("Cd", [](const SimMessage&) {
        return SimScript::Reply{{SimMessage::frame(SimMessage::buildBody(
            "Rd", 0, {SimTlv::constructed(fromHex("BF8101"), {SimTlv::hex("DF940D", "2710")})}))}};
    });
    ASSERT_EQ(host.send(terminalId, saleOf("7.00")), 0);
    ASSERT_TRUE(host.waitFor("result", before + 3));
    EXPECT_EQ(errorOf(host.last("result")).value("incidentCode").toObject().value("code").toString(), "2710");
    EXPECT_EQ(host.count("result"), before + 3);
}

// A terminal that numbers its replies with a counter of its own, which comes
// round to the numbers of the host's answered sales: each sale and each
// information request still gets its own reply.
inline void expectEachTransactionItsReplyUnderTheTerminalsOwnNumbers(HostRecorder& host,
                                                                      const std::string& terminalId,
                                                                      SimScript& terminal)
{
    const auto counter = std::make_shared<std::atomic<int>>(96);
    const auto renumbered = [counter](const SimMessage& request) {
        SimMessage own = request;
        own.sequence = ++*counter % 99 + 1;
        return own;
    };
    terminal.on("Cd", [renumbered, terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(renumbered(request), terminalId)}};
    });
    terminal.on("Ci", [renumbered, terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimTerminal::informationReplyTo(renumbered(request), terminalId, "SIM-1", "10")}};
    });
    size_t results = host.count("result");
    for (const char* amount : {"1.00", "2.00", "3.00", "4.00"}) {
        SCOPED_TRACE(amount);
        ASSERT_EQ(host.send(terminalId, saleOf(amount)), 0);
        ASSERT_TRUE(host.waitFor("result", ++results));
        EXPECT_EQ(host.last("result").value("result").toObject().value("authorizedAmount").toDouble(), std::stod(amount));
    }
    for (int request = 0; request < 3; ++request) {
        ASSERT_EQ(host.send(terminalId, R"({"transaction": {"action": "InformationService"}})"), 0);
        ASSERT_TRUE(host.waitFor("result", ++results));
        EXPECT_TRUE(host.last("result").value("result").isObject()) << request;
    }
    EXPECT_EQ(host.count("result"), results);
}

} // namespace testsupport
