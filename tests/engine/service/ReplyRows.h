#pragma once

// Which sale a terminal's reply ends, over either transport through the C
// interface.
#include "HostsWarningHandler.h"
#include "ServiceFixture.h"
#include "simterminal/SimOperationReplies.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimScript.h"
#include "simterminal/SimTerminal.h"
#include "support/CertificationLog.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

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

// The request's reply as a terminal writes it under its own number.
inline SimMessage renumbered(const SimMessage& request, int number)
{
    SimMessage own = request;
    own.sequence = number;
    return own;
}

inline double approvedAmount(const QJsonObject& result)
{
    return result.value("result").toObject().value("authorizedAmount").toDouble();
}

// Sends the transaction and returns its one result.
inline QJsonObject resultOf(HostRecorder& host, const std::string& terminalId, const std::string& json)
{
    const size_t before = host.count("result");
    EXPECT_EQ(host.send(terminalId, json), 0);
    EXPECT_TRUE(host.waitFor("result", before + 1));
    return host.count("result") > before ? host.last("result") : QJsonObject();
}

inline void expectApproved(HostRecorder& host, const std::string& terminalId, const char* amount)
{
    SCOPED_TRACE(amount);
    const QJsonObject result = resultOf(host, terminalId, saleOf(amount));
    EXPECT_EQ(approvedAmount(result), std::stod(amount)) << QJsonDocument(result).toJson().constData();
}

inline void expectLastTransaction(HostRecorder& host, const std::string& terminalId)
{
    EXPECT_TRUE(resultOf(host, terminalId, R"({"transaction": {"action": "LastTransaction"}})").contains("result"));
}

// A terminal that answers everything under 01, asked for its information
// first: each sale and the last transaction's status still get their replies.
inline void expectEachTransactionItsReplyUnderOneNumber(HostRecorder& host, const std::string& terminalId,
                                                        SimScript& terminal)
{
    terminal.on("Ci", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimTerminal::informationReplyTo(renumbered(request, 1), terminalId, "SIM-1", "10")}};
    });
    terminal.on("Cd", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(renumbered(request, 1), terminalId)}};
    });
    terminal.on("Ce", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimSaleReplies::lastTransactionReplyTo(renumbered(request, 1), terminalId)}};
    });
    EXPECT_TRUE(resultOf(host, terminalId, R"({"transaction": {"action": "InformationService"}})").contains("result"));
    for (const char* amount : {"1.00", "2.00", "3.00"})
        expectApproved(host, terminalId, amount);
    expectLastTransaction(host, terminalId);
    expectApproved(host, terminalId, "4.00");
}

// The reply to a cancellation of the last sale carries the cancelled sale's
// number: the cancellation ends with it.
inline void expectACancellationQuotingTheSalesNumberItsReply(HostRecorder& host, const std::string& terminalId,
                                                             SimScript& terminal)
{
    const auto saleNumber = std::make_shared<std::atomic<int>>(-1);
    terminal.on("Cd", [terminalId, saleNumber](const SimMessage& request) {
        const bool cancellation = *saleNumber >= 0;
        const int number = cancellation ? saleNumber->exchange(-1) : request.sequence;
        if (!cancellation)
            *saleNumber = request.sequence;
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(renumbered(request, number), terminalId)}};
    });
    for (const char* amount : {"5.00", "6.00"}) {
        expectApproved(host, terminalId, amount);
        // The terminal echoes the register's identifier: the reply is no repeat of the sale's.
        const std::string cancel = std::string(R"({"transaction": {"action": "CancelSale", "amount": ")") + amount
                                   + R"(", "saleSystemActionIdentifier": "00000001"}})";
        EXPECT_EQ(approvedAmount(resultOf(host, terminalId, cancel)), std::stod(amount));
    }
}

// A terminal whose counter falls one behind: after a sale it never answers
// (reset by the cashier), or, stepping once per sale answered, after a
// delivery question that shares its number with the sale's outcome. The
// sales after it and the last transaction's status get their replies.
inline void expectEachSaleItsReplyFromACounterOneBehind(HostRecorder& host, const std::string& terminalId,
                                                        SimScript& terminal, bool afterDelivery)
{
    const auto next = std::make_shared<std::atomic<int>>(-1);
    const auto silent = std::make_shared<std::atomic<bool>>(false);
    const auto waitingSale = std::make_shared<SimMessage>();
    const auto counted = [next](const SimMessage& request) {
        int expected = -1;
        next->compare_exchange_strong(expected, request.sequence);
        return renumbered(request, next->load());
    };
    terminal.on("Cd", [=](const SimMessage& request) {
        if (silent->exchange(false))
            return SimScript::Reply{};
        if (SimSaleReplies::asksDeliveryConfirmation(request)) {
            *waitingSale = counted(request);
            return SimScript::Reply{{SimSaleReplies::deliveryQuestionTo(*waitingSale, terminalId)}};
        }
        const SimMessage own = counted(request);
        *next = own.sequence % 99 + 1;
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(own, terminalId)}};
    });
    terminal.on("RR", [=](const SimMessage& answer) {
        *next = waitingSale->sequence % 99 + 1;
        return SimScript::Reply{{SimSaleReplies::deliveryOutcomeOf(renumbered(answer, waitingSale->sequence),
                                                                   *waitingSale, terminalId)}};
    });
    terminal.on("Ce", [=](const SimMessage& request) {
        const SimMessage own = counted(request);
        *next = own.sequence % 99 + 1;
        return SimScript::Reply{{SimSaleReplies::lastTransactionReplyTo(own, terminalId)}};
    });
    expectApproved(host, terminalId, "1.00");
    if (afterDelivery) {
        // The question comes as a result first; no answer refuses the delivery.
        const size_t before = host.count("result");
        ASSERT_EQ(host.send(terminalId, R"({"transaction": {"action": "SaleWithDeliveryConfirmation", )"
                                        R"("amount": "2.00"}})"),
                  0);
        ASSERT_TRUE(host.waitFor("result", before + 2));
        EXPECT_EQ(errorOf(host.last("result")).value("incidentCode").toObject().value("code").toString(), "4400");
    } else {
        *silent = true;
        const size_t before = host.count("result");
        ASSERT_EQ(host.send(terminalId, saleOf("2.00")), 0);
        ASSERT_TRUE(waitUntil([&] { return !*silent; }));
        ASSERT_EQ(zuva_resetTransaction(terminalId.c_str()), 0);
        ASSERT_TRUE(host.waitFor("result", before + 1));
    }
    expectApproved(host, terminalId, "3.00");
    expectLastTransaction(host, terminalId);
    expectApproved(host, terminalId, "4.00");
}

// A terminal answering under one number: a reset sale's approval comes while
// the next sale waits, that sale's own just after. The waiting sale gets one
// of the two, and the host is warned of the other; so too when every sale is
// of one amount, the late approval then the same bytes as the first sale's.
inline void expectASaleWaitingPastAResetOnesApprovalUnderOneNumberAnApproval(HostRecorder& host,
                                                                             const std::string& terminalId,
                                                                             SimScript& terminal,
                                                                             bool oneAmount = false)
{
    const CertificationLog log;
    const auto held = std::make_shared<std::vector<SimMessage>>();
    const auto holding = std::make_shared<std::atomic<bool>>(false);
    terminal.on("Cd", [=](const SimMessage& request) {
        if (holding->exchange(false)) {
            held->push_back(renumbered(request, 1));
            return SimScript::Reply{};
        }
        std::vector<Bytes> writes;
        for (const SimMessage& late : *held)
            writes.push_back(SimSaleReplies::saleReplyTo(late, terminalId));
        held->clear();
        writes.push_back(SimSaleReplies::saleReplyTo(renumbered(request, 1), terminalId));
        return SimScript::Reply{writes};
    });
    expectApproved(host, terminalId, "1.00");
    *holding = true;
    const size_t before = host.count("result");
    ASSERT_EQ(host.send(terminalId, saleOf(oneAmount ? "1.00" : "2.00")), 0);
    ASSERT_TRUE(waitUntil([&] { return !*holding; }));
    ASSERT_EQ(zuva_resetTransaction(terminalId.c_str()), 0);
    ASSERT_TRUE(host.waitFor("result", before + 1));
    const double approved = approvedAmount(resultOf(host, terminalId, saleOf(oneAmount ? "1.00" : "3.00")));
    // An approval of another amount than it asked for is never its result.
    EXPECT_EQ(approved, oneAmount ? 1.0 : 3.0);
    EXPECT_TRUE(waitUntil([&] {
        return log.text().contains(oneAmount ? "was dropped: amount 1.00" : "was dropped: amount 2.00");
    })) << log.text().toStdString();
    expectApproved(host, terminalId, oneAmount ? "1.00" : "4.00");
}

// Replies under one number, equal to the byte for equal requests, as the
// simulated terminal's; over the serial link the library's own
// identification is answered so too.
inline void answerAlikeUnderOneNumber(SimScript& terminal, const std::string& terminalId)
{
    terminal.on("Ci", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimTerminal::informationReplyTo(renumbered(request, 1), terminalId, "SIM-1", "10")}};
    });
    terminal.on("Cd", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimSaleReplies::saleReplyTo(renumbered(request, 1), terminalId)}};
    });
}

// No information request and no sale of one amount is taken for a repeat of
// the one before it.
inline void expectEqualRepliesUnderOneNumberEachTheirOwn(HostRecorder& host, const std::string& terminalId)
{
    for (int request = 0; request < 2; ++request) {
        EXPECT_TRUE(resultOf(host, terminalId, R"({"transaction": {"action": "InformationService"}})")
                        .contains("result"))
            << request;
    }
    for (int sale = 0; sale < 3; ++sale)
        expectApproved(host, terminalId, "1.00");
}

// The approval with its date changed, as a terminal stamps a resend.
inline Bytes restamped(Bytes reply)
{
    const Bytes date = fromHex(SimSaleReplies::Date);
    const auto found = std::search(reply.begin(), reply.end(), date.begin(), date.end());
    if (found != reply.end())
        *(found + std::ptrdiff_t(date.size() - 1)) ^= 0x01;
    return reply;
}

// An echoing terminal sends an answered sale's approval again, stamped anew,
// while the next sale waits; and a reset sale's late approval twice, one byte
// apart. Each sale gets its own approval, and the host is warned once of
// each approval it has no result of.
inline void expectNoResentApprovalAnswersTheNextSale(HostRecorder& host, const std::string& terminalId,
                                                     SimScript& terminal)
{
    const CertificationLog log;
    const auto previous = std::make_shared<SimMessage>();
    const auto holding = std::make_shared<std::atomic<bool>>(false);
    previous->sequence = -1;
    terminal.on("Cd", [=](const SimMessage& request) {
        if (holding->exchange(false)) {
            *previous = request;
            return SimScript::Reply{};
        }
        std::vector<Bytes> writes;
        if (previous->sequence >= 0)
            writes.push_back(restamped(SimSaleReplies::saleReplyTo(*previous, terminalId)));
        writes.push_back(SimSaleReplies::saleReplyTo(request, terminalId));
        *previous = request;
        return SimScript::Reply{writes};
    });
    expectApproved(host, terminalId, "1.01");
    expectApproved(host, terminalId, "1.02");
    EXPECT_TRUE(waitUntil([&] { return log.text().contains("which had taken its reply already, was dropped: amount 1.01"); }))
        << log.text().toStdString();

    // Reset: both copies of its approval come while the next sale waits.
    *holding = true;
    const size_t before = host.count("result");
    ASSERT_EQ(host.send(terminalId, saleOf("3.00")), 0);
    ASSERT_TRUE(waitUntil([&] { return !*holding; }));
    ASSERT_EQ(zuva_resetTransaction(terminalId.c_str()), 0);
    ASSERT_TRUE(host.waitFor("result", before + 1));
    terminal.on("Cd", [=](const SimMessage& request) {
        const Bytes late = SimSaleReplies::saleReplyTo(*previous, terminalId);
        return SimScript::Reply{{late, restamped(late), SimSaleReplies::saleReplyTo(request, terminalId)}};
    });
    expectApproved(host, terminalId, "4.00");
    EXPECT_TRUE(waitUntil([&] { return log.text().contains("Reply Rd to Sale came after the transaction had failed"); }))
        << log.text().toStdString();
    EXPECT_EQ(log.text().count("Reply Rd to Sale came after the transaction had failed"), 1) << log.text().toStdString();
}

// An echoing terminal sends, after an entry it refused with the stop key, an
// OK under that entry's number while the next entry waits: the next entry
// gets its own answer, and the host hears of the OK.
inline void expectAStaleEntryAnswerNeverAnswersTheNextEntry(HostRecorder& host, const std::string& terminalId,
                                                           SimScript& terminal)
{
    const CertificationLog log;
    const auto previous = std::make_shared<SimMessage>();
    previous->sequence = -1;
    terminal.on("Ci", [terminalId](const SimMessage& request) {
        return SimScript::Reply{{SimTerminal::informationReplyTo(request, terminalId, "SIM-1", "10")}};
    });
    terminal.on("Cm", [previous](const SimMessage& request) {
        std::vector<Bytes> writes;
        if (previous->sequence >= 0)
            writes.push_back(SimOperationReplies::displayReplyTo(*previous, "00"));
        writes.push_back(SimOperationReplies::displayReplyTo(request, "01"));
        *previous = request;
        return SimScript::Reply{writes};
    });
    EXPECT_TRUE(resultOf(host, terminalId, R"({"transaction": {"action": "InformationService"}})").contains("result"));
    const char* entry = R"({"transaction": {"action": "MMITransaction", "displayTimeout": 60}})";
    for (int count = 0; count < 2; ++count) {
        const QJsonObject result = resultOf(host, terminalId, entry).value("result").toObject();
        EXPECT_TRUE(result.value("stopKeyPressed").toBool()) << QJsonDocument(result).toJson().constData();
    }
    EXPECT_TRUE(waitUntil([&] { return log.text().contains("which had taken its reply already, was dropped: key OK"); }))
        << log.text().toStdString();
}

// What the host's warning handler does at a warning about a transaction in flight.
enum class InWarning { SendsToTheTerminal, ResetsIt, StopsTheService, Blocks };

// What is wrong with the terminal's replies: an approval in a currency the
// library does not know or with an amount that is no number; or, to the reset
// sale only, a refusal.
enum class Flaw { UnknownCurrency, UnreadableAmount, Refusal };

struct WarningRow {
    InWarning inWarning;
    // The approval comes again repeated after its result, else late after a reset.
    bool repeated;
    Flaw flaw;
};

inline std::vector<WarningRow> warningRows()
{
    std::vector<WarningRow> rows;
    for (const Flaw flaw : {Flaw::UnknownCurrency, Flaw::UnreadableAmount, Flaw::Refusal})
        for (const bool repeated : {false, true})
            for (const InWarning inWarning :
                 {InWarning::SendsToTheTerminal, InWarning::ResetsIt, InWarning::StopsTheService, InWarning::Blocks})
                if (!repeated || flaw != Flaw::Refusal)
                    rows.push_back({inWarning, repeated, flaw});
    return rows;
}

inline std::string nameOf(const ::testing::TestParamInfo<WarningRow>& row)
{
    static const char* const names[] = {"Sends", "Resets", "Stops", "Blocks"};
    return std::string(names[int(row.param.inWarning)]) + (row.param.repeated ? "AtARepeat" : "AtALateReply")
           + (row.param.flaw == Flaw::UnknownCurrency    ? "InSwissFrancs"
              : row.param.flaw == Flaw::UnreadableAmount ? "OfAnUnreadableAmount"
                                                         : "Refusing");
}

// The terminal's reply to the request, with the flaw (a refusal only for the first).
inline Bytes replyWithFlaw(const SimMessage& request, const std::string& terminalId, Flaw flaw, bool first)
{
    if (flaw == Flaw::Refusal && first)
        return SimMessage::frame(SimMessage::buildBody(
            "Rd", request.sequence, {SimTlv::constructed(fromHex("BF8101"), {SimTlv::hex("DF940D", "2630")})}));
    SimMessage own = request;
    const bool currency = flaw != Flaw::UnreadableAmount;
    if (const SimTlv* element = own.find(currency ? "5F2A" : "DF50"))
        const_cast<SimTlv*>(element)->value = fromHex(currency ? "0756" : "0000000002AA");
    return SimSaleReplies::saleReplyTo(own, terminalId);
}

inline bool warnsOf(const QString& warning, Flaw flaw)
{
    switch (flaw) {
    case Flaw::UnknownCurrency:
        return warning.contains("a currency the library does not know");
    case Flaw::UnreadableAmount:
        return warning.contains("is no number the library can read");
    case Flaw::Refusal:
        break;
    }
    return warning.contains("came after the transaction had failed and was dropped: incident 2630");
}

// A sale's flawed reply comes again while the next sale of that amount
// waits: late, the sale reset before it came, or repeated byte for byte after
// its result. Whatever the host's warning handler does at the flaw's warning,
// no call hangs, a call from another thread does not wait for the handler,
// and every transaction ends with exactly one result.
inline void expectNoCallToWaitForTheWarningHandler(HostRecorder& host, const std::string& terminalId,
                                                   SimScript& terminal, const WarningRow& row)
{
    const InWarning inWarning = row.inWarning;
    const bool repeated = row.repeated;
    const Flaw flaw = row.flaw;
    // The first approval, on the terminal's thread; whether it is there, on any.
    const auto earlier = std::make_shared<std::vector<Bytes>>();
    const auto firstSeen = std::make_shared<std::atomic<bool>>(false);
    terminal.on("Cd", [=](const SimMessage& request) {
        const bool first = earlier->empty();
        const Bytes approval = replyWithFlaw(request, terminalId, flaw, first);
        if (first) {
            earlier->push_back(approval);
            *firstSeen = true;
            return repeated ? SimScript::Reply{{approval}} : SimScript::Reply{};
        }
        return SimScript::Reply{{earlier->front(), approval}};
    });
    struct Handler {
        std::atomic<bool> armed{false};
        std::atomic<bool> reacted{false};
        std::atomic<bool> returned{false};
        std::atomic<bool> otherCallReturned{false};
        std::atomic<int> sent{0};
    };
    const auto handler = std::make_shared<Handler>();
    void* const service = host.handle();
    reactToWarnings([=, &host](const QString& warning) {
        if (!handler->armed || !warnsOf(warning, flaw) || handler->reacted.exchange(true))
            return;
        switch (inWarning) {
        case InWarning::SendsToTheTerminal:
            host.send(terminalId, informationRequest());
            ++handler->sent;
            break;
        case InWarning::ResetsIt:
            zuva_resetTransaction(terminalId.c_str());
            break;
        case InWarning::StopsTheService:
            zuva_stopService(service);
            break;
        case InWarning::Blocks:
            waitUntil([&] { return handler->otherCallReturned.load(); }, std::chrono::seconds(2));
            break;
        }
        handler->returned = true;
    });
    struct Unhooked {
        ~Unhooked() { reactToWarnings(nullptr); }
    } unhooked;
    const size_t before = host.count("free");
    ASSERT_EQ(host.send(terminalId, saleOf("2.00")), 0);
    if (!repeated) {
        ASSERT_TRUE(waitUntil([&] { return firstSeen->load(); }));
        ASSERT_EQ(zuva_resetTransaction(terminalId.c_str()), 0);
    }
    // Its warnings came before its result, and so before its release.
    ASSERT_TRUE(host.waitFor("free", before + 1));
    handler->armed = true;
    ASSERT_EQ(host.send(terminalId, saleOf("2.00")), 0);
    int sent = 2;
    EXPECT_TRUE(waitUntil([&] { return handler->reacted.load(); }));
    if (inWarning == InWarning::Blocks) {
        host.send(terminalId, informationRequest());
        ++sent;
        // Returned while the handler still blocks: it did not wait for it.
        EXPECT_FALSE(handler->returned);
        handler->otherCallReturned = true;
    }
    EXPECT_TRUE(waitUntil([&] { return handler->returned.load(); }));
    sent += handler->sent;
    // Released after its one result: no result can follow.
    EXPECT_TRUE(host.waitFor("free", before + size_t(sent)));
    // Stopped on a library thread, which tells the host last.
    if (inWarning == InWarning::StopsTheService) {
        EXPECT_TRUE(host.waitFor("stopped", 1));
    }
    std::vector<std::string> results;
    for (const QJsonObject& result : host.documents("result"))
        results.push_back(QJsonDocument(result).toJson(QJsonDocument::Compact).toStdString());
    EXPECT_EQ(host.count("result"), host.count("free")) << ::testing::PrintToString(results);
}

} // namespace testsupport
