#include "client/ErrorText.h"
#include "client/FakeSend.h"
#include "client/RetrieveTicketsAfterSale.h"
#include "client/transactions/AuthorizedSaleTransaction.h"
#include "client/transactions/BackupModeStatusTransaction.h"
#include "client/transactions/BackupModeTransaction.h"
#include "client/transactions/BalanceTerminalConsultationTransaction.h"
#include "client/transactions/CancelRetailTransaction.h"
#include "client/transactions/CheckCardValidityTransaction.h"
#include "client/transactions/LastTransactionStatusTransaction.h"
#include "client/transactions/PrintTicketTransaction.h"
#include "client/transactions/RequestCardInfoTransaction.h"
#include "client/transactions/SaleTransaction.h"
#include "client/transactions/SaleWithCashbackTransaction.h"
#include "client/transactions/SaleWithDeliveryConfirmationTransaction.h"
#include "client/transactions/SmartPaySaleTransaction.h"

#include "support/LocalTime.h"

#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>

#include <cstdio>

using namespace ect;

namespace {

using clienttest::errorText;

const Amount twelveAndAHalf("12.5");

// What the header tells a host to write for a merchant reference.
static_assert(std::is_constructible<SaleTransaction, SaleAction, Amount, std::string, SaleTransaction::Callback>::value);

template <typename Result>
std::function<void(const Result&)> ignore()
{
    return [](const Result&) {};
}

std::vector<int> fieldsOf(const std::tm& time)
{
    return {time.tm_year, time.tm_mon, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec};
}

} // namespace

// The object "transaction" of the request the transaction sends equals the expected one.
static void expectRequest(Transaction&& transaction, const char* expected)
{
    SCOPED_TRACE(expected);
    clienttest::FakeSend send;
    send.terminal->makeTransaction(std::move(transaction));
    Json::Value expectedTransaction;
    ASSERT_TRUE(parseJson(expected, expectedTransaction));
    EXPECT_EQ(send.request(0), expectedTransaction);
}

TEST(ClientRequests, DocumentsHoldExactlyTheirMembers)
{
    expectRequest(SaleTransaction(SaleAction::Refund, twelveAndAHalf, ignore<SaleResult>()),
                  R"({"action":"Refund","type":"Sale","amount":"12.5"})");
    std::string acquirerData = "ACQ";
    ECTData first(std::vector<unsigned char>{0x01});
    ECTData second(std::vector<unsigned char>{0x0A, 0x0B});
    SaleTransaction sale(SaleAction::Sale, twelveAndAHalf, ignore<SaleResult>());
    sale.addCardIdentifierFilter(CardBrandBit0).addCardIdentifierFilters({CardBrandBit2, CardBrandBit0, CardBrandBit31});
    sale.addProprietaryData(first).addProprietaryData(second).setAcquirerDiscretionaryData(acquirerData);
    expectRequest(std::move(sale), R"({"action":"Sale","type":"Sale","amount":"12.5","cardBrandIdentifiersFilter":
        -2147483643,"proprietaryData":"0A0B","acquirerDiscretionaryData":"ACQ"})");
    expectRequest(SaleTransaction(SaleAction::Sale, twelveAndAHalf, "REF", second, ECTSaleSystemActionIdentifier(42ul),
                                  ignore<SaleResult>()),
                  R"({"action":"Sale","type":"Sale","amount":"12.5","merchantReference":"REF",
                      "discretionaryData":"0A0B","saleSystemActionIdentifier":"0000002A"})");
    expectRequest(std::move(*MakeSaleWithCashbackTransaction(Amount("20"), Amount("5"), ignore<SaleWithCashbackResult>())),
                  R"({"action":"SaleWithCashback","type":"Sale","amount":"20.0","cashbackAmount":"5.0"})");
    expectRequest(SaleWithDeliveryConfirmationTransaction(twelveAndAHalf, std::string("R"), ignore<SaleResult>(), nullptr),
                  R"({"action":"SaleWithDeliveryConfirmation","type":"Sale","amount":"12.5","merchantReference":"R"})");
    expectRequest(SmartPaySaleTransaction(twelveAndAHalf, "", ignore<SaleResult>()),
                  R"({"action":"Sale","type":"Sale","amount":"12.5","smartPay":true,"merchantReference":""})");
    expectRequest(AuthorizedSaleTransaction(AuthorizedSaleAction::CancelSale, Amount("12"), boost::none, boost::none,
                                            "AB12CD", ignore<AuthorizedSaleResult>()),
                  R"({"action":"CancelSale","type":"AuthorizedSale","amount":"12.0","authorizationCode":"AB12CD"})");
    expectRequest(std::move(GetTicketTransaction(ignore<GetTicketResult>()).addLanguage("").addLayoutIdentifier("1")
                                .addLayoutIdentifier("2")),
                  R"({"action":"TicketGet","type":"TicketGet","language":"","layoutIdentifier":"2"})");
    expectRequest(PrintTicketTransaction("a \"b\"\n", ignore<PrintTicketResult>()),
                  R"({"action":"PrintTicket","type":"PrintTicket","formattedTicketText":"a \"b\"\n"})");
    expectRequest(RequestCardInfoTransaction(CardInfoOption(7), std::chrono::seconds(30), ignore<RequestCardInfoResult>()),
                  R"({"action":"RequestCardInfo","type":"RequestCardInfo","saleAfterCardRecognition":false,
                      "recognitionTimeout":30})");
}

// The errors of every result class made from the reply.
template <typename... Result>
std::vector<std::string> errorsOf(const std::string& reply)
{
    return {errorText(SaleResult(SaleAction::Sale, reply, "T").error()),
            errorText(AuthorizedSaleResult(AuthorizedSaleAction::CancelSale, reply, "T").error()),
            errorText(Result(reply, "T").error())...};
}

TEST(ClientResults, NoReplyMakesAResultThrowAndAnUnusableOneGivesInvalidResponse)
{
    const auto errors = errorsOf<SaleWithCashbackResult, LastTransactionResult, GetTicketResult, PrintTicketResult,
                                 RequestCardInfoResult, BackupModeResult, BackupModeStatusResult,
                                 BalanceTerminalConsultationResult, CancelRetailResult, CheckCardValidityResult>;
    for (const char* reply : {"", "no json", "[]", "42", "\"text\"", "{}", R"({"result":"ok"})", R"({"result":[1]})"})
        EXPECT_EQ(errors(reply), std::vector<std::string>(12, "2/16")) << reply;
    // Members of another type than the one read give their defaults.
    const char* wrongTypes =
        R"({"result":{"date":5,"authorizedAmount":"12","clippedPAN":5,"cardType":"x","partialApproval":"yes",
            "cardHolderVerificationMethod":[1],"enabled":"true","financialCounterInfos":{},"formattedTicket":1}})";
    EXPECT_EQ(errors(wrongTypes), std::vector<std::string>(12, "ok"));
    const SaleResult sale(SaleAction::Sale, wrongTypes, "T");
    EXPECT_EQ(sale.authorizedAmount(), 0.0);
    EXPECT_FALSE(sale.partialApproval() || sale.timeStamp());
}

TEST(ClientResults, SaleSystemActionIdentifierComesFromTheResultOrTheError)
{
    struct Case {
        const char* reply;
        std::string sale;     // identifier of SaleResult, "none" without
        std::string cashback; // of SaleWithCashbackResult
        std::string error;
    };
    const auto identifier = [](const boost::optional<ECTSaleSystemActionIdentifier>& value) {
        return value ? value->stringValue() : std::string("none");
    };
    const Case cases[] = {
        {R"({"result":{"saleSystemActionIdentifier":"0000002a"}})", "0000002A", "0000002A", "ok"},
        {R"({"result":{"saleSystemActionIdentifier":"002A","authorizedAmount":1.5}})", "none", "none", "ok"},
        {R"({"result":{"saleSystemActionIdentifierData":"0000002A"}})", "none", "none", "ok"},
        {R"({"error":{"code":1,"incidentCode":{"code":"4401"},"extraInformation":[{"key":"saleSystemActionIdentifier","val":"0000002A"}]}})",
         "0000002A", "none", "1/19 4401"},
        {R"({"error":{"code":1,"incidentCode":{"code":"4401"},"extraInformation":[{"key":"saleSystemActionIdentifier","val":"002A"}]}})",
         "none", "none", "1/19 4401"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.reply);
        const SaleResult sale(SaleAction::Refund, each.reply, "T");
        EXPECT_EQ(identifier(sale.saleSystemActionIdentifier()), each.sale);
        EXPECT_EQ(errorText(sale.error()), each.error);
        EXPECT_EQ(sale.action(), SaleAction::Refund);
        EXPECT_EQ(identifier(SaleWithCashbackResult(each.reply, "T").saleSystemActionIdentifier()), each.cashback);
    }
}

TEST(ClientResults, SaleDetailsAndServiceResultsReadTheirMembers)
{
    const SaleResult sale(SaleAction::Sale,
                          R"({"result":{"proprietaryData":"0A1b","partialApproval":false,"signatureRequired":true,
                              "cardType":{"isIccEmv":true},"acquirerId":1234,"cardBrandIdentifier":"0001",
                              "clippedPAN":"4970XXXXXXXX1234","cardBrandName":"CB","authorizationCode":"AB12CD",
                              "merchantText":"THANK YOU","authorizedAmount":12.5,"additionalAmount":2.5}})",
                          "T");
    EXPECT_EQ(sale.clippedPAN() + " " + sale.cardBrandName() + " " + sale.cardBrandIdentifier() + " " +
                  sale.authorizationCode() + " " + sale.merchantText(),
              "4970XXXXXXXX1234 CB 0001 AB12CD THANK YOU");
    EXPECT_EQ(sale.additionalAmount(), boost::optional<double>(2.5));
    EXPECT_EQ(*sale.proprietaryData(), (std::vector<unsigned char>{0x0A, 0x1B}));
    EXPECT_EQ(sale.partialApproval(), boost::optional<bool>(false));
    EXPECT_FALSE(sale.signatureRequired()); // read from the verification method alone
    EXPECT_EQ(sale.acquirerId(), "1234");
    EXPECT_FALSE(SaleResult(SaleAction::Sale, R"({"result":{}})", "T").proprietaryData());
    EXPECT_TRUE(SaleResult(SaleAction::Sale, R"({"result":{"proprietaryData":null}})", "T").proprietaryData()->empty());

    EXPECT_EQ(LastTransactionResult(R"({"result":{"terminalIdentifier":"OTHER"}})", "T").terminalIdentifier(), "OTHER");
    EXPECT_EQ(LastTransactionResult(R"({"error":{"code":5}})", "T").terminalIdentifier(), "T");
    // A sale's result and the same transaction as the last one have one time stamp: after a
    // reset it tells the sale before from the reset one.
    const char* approved = R"({"result":{"authorizedAmount":12.5,"date":"2026-03-15-10-15-00"}})";
    EXPECT_EQ(fieldsOf(LastTransactionResult(approved, "T").timeStamp().value()),
              fieldsOf(SaleResult(SaleAction::Sale, approved, "T").timeStamp().value()));
    const GetTicketResult ticket(R"({"terminalIdentifier":"OTHER","result":{"formattedTicket":"TEXT"}})", "T");
    EXPECT_EQ(ticket.ticket() + " " + ticket.terminalIdentifier(), "TEXT T");
    EXPECT_EQ(RequestCardInfoResult(R"({"result":{"clippedPAN":"4970EEEe1234"}})", "T").clippedPAN(), "4970xxxe1234");
    EXPECT_EQ(fieldsOf(CancelRetailResult(R"({"result":{"date":"2017-05-31-14-02-59Z"}})", "T").timeStamp()),
              (std::vector<int>{117, 4, 31, 14, 2, 59}));
    EXPECT_GT(CancelRetailResult(R"({"result":{}})", "T").timeStamp().tm_year, 100);
    // A check's date leaves summer time to mktime; without one it is all zero, as its header says.
    const std::pair<const char*, std::vector<int>> checks[] = {
        {R"({"result":{"date":"2017-05-31-14-02-59"}})", {117, 4, 31, 14, 2, 59, -1}},
        {R"({"result":{}})", {0, 0, 0, 0, 0, 0, 0}},
        {R"({"result":{"date":null}})", {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& check : checks) {
        const std::tm stamp = CheckCardValidityResult(check.first, "T").timeStamp();
        std::vector<int> read = fieldsOf(stamp);
        read.push_back(stamp.tm_isdst);
        EXPECT_EQ(read, check.second) << check.first;
    }
    // The backup mode is on for true and any number but zero.
    const std::pair<std::string, bool> backupModes[] = {{"true", true}, {"2", true},   {"-0.5", true},
                                                         {"0", false},  {"\"1\"", false}, {"[1]", false}};
    for (const auto& each : backupModes)
        EXPECT_EQ(BackupModeStatusResult(R"({"result":{"enabled":)" + each.first + "}}", "T").enabled(), each.second)
            << each.first;
}

// What a register needs to check an approval against its sale: whether the
// terminal sent a readable amount, and the currency it approved.
std::string approvalOf(const SaleResultInfo& result)
{
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.2f", result.authorizedAmount());
    return (result.hasAuthorizedAmount() ? std::string(amount) : "none " + std::string(amount)) + " " + result.currency();
}

TEST(ClientResults, ApprovalsSayWhetherTheyCarryAnAmountAndInWhichCurrency)
{
    const std::pair<const char*, const char*> rows[] = {
        {R"({"result":{"authorizedAmount":12.5,"currency":"GBP"}})", "12.50 GBP"},
        {R"({"result":{"authorizedAmount":0,"currency":"EUR"}})", "0.00 EUR"},
        {R"({"result":{"currency":"EUR"}})", "none 0.00 EUR"},
        {R"({"result":{"authorizedAmount":"12.50"}})", "none 0.00 "},
        {R"({"error":{"code":5}})", "none 0.00 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        EXPECT_EQ(approvalOf(SaleResult(SaleAction::Refund, row.first, "T")), row.second);
        EXPECT_EQ(approvalOf(SaleWithCashbackResult(row.first, "T")), row.second);
        EXPECT_EQ(approvalOf(AuthorizedSaleResult(AuthorizedSaleAction::CancelSale, row.first, "T")), row.second);
        EXPECT_EQ(approvalOf(LastTransactionResult(row.first, "T")), row.second);
    }
}

// A declined last transaction is told by its incident code; an approval by none.
TEST(ClientResults, LastTransactionGivesTheIncidentCodeItsReplyCarried)
{
    const std::pair<const char*, const char*> rows[] = {
        {R"({"error":{"code":1,"causeCode":19,"incidentCode":{"code":"3001","error":true}}})", "3001 1/19 3001"},
        {R"({"result":{"partialApproval":true,"authorizedAmount":5}})", "0001 ok"},
        {R"({"result":{"authorizedAmount":5}})", " ok"},
        {R"({"error":{"code":5}})", " 5/0"},
    };
    for (const auto& row : rows) {
        const LastTransactionResult last(row.first, "T");
        EXPECT_EQ(last.incidentCode() + " " + errorText(last.error()), row.second) << row.first;
    }
}

// A terminal's date is its local time: summer time is the zone's on that day,
// so mktime neither moves it an hour nor onto the next day.
TEST(ClientResults, DatesKeepTheZonesSummerTime)
{
    const std::pair<const char*, const char*> zones[] = {{"Berlin", "CET-1CEST,M3.5.0,M10.5.0/3"},
                                                         {"New York", "EST5EDT,M3.2.0,M11.1.0"}};
    const char* const dates[] = {"2024-07-14-14-00-00", "2024-07-14-23-30-00", "2024-01-14-14-00-00",
                                 "2024-10-01-08-15-00"};
    for (const auto& zone : zones) {
        testsupport::LocalZone local(zone.second);
        for (const char* date : dates) {
            SCOPED_TRACE(std::string(zone.first) + " " + date);
            std::tm stamp = SaleResult(SaleAction::Sale, std::string(R"({"result":{"date":")") + date + "\"}}", "T")
                                .timeStamp()
                                .value();
            const std::vector<int> read = fieldsOf(stamp);
            std::mktime(&stamp);
            EXPECT_EQ(fieldsOf(stamp), read);
        }
    }
}

// One flag set at a time, read in the order: contactless, magnetic stripe, ICC
// EMV, ICC non-EMV, bar code, manual entry, synchronous chip, asynchronous
// chip, processed in backup mode, signature required.
TEST(ClientResults, EachFlagIsReadFromItsOwnMember)
{
    const std::pair<const char*, const char*> rows[] = {
        {R"("cardType":{"isContactless":true})", "1000000000"},
        {R"("cardType":{"isMagneticStripe":true})", "0100000000"},
        {R"("cardType":{"isIccEmv":true})", "0010000000"},
        {R"("cardType":{"isIccNonEmv":true})", "0001000000"},
        {R"("cardType":{"isBarCode":true})", "0000100000"},
        {R"("cardType":{"isManualEntry":true})", "0000010000"},
        {R"("cardType":{"isSynchronousChip":true})", "0000001000"},
        {R"("cardType":{"isAsynchronousChip":true})", "0000000100"},
        {R"("cardHolderVerificationMethod":{"processedInBackupMode":true})", "0000000010"},
        {R"("cardHolderVerificationMethod":{"signatureRequired":true})", "0000000001"},
    };
    for (const auto& row : rows) {
        const SaleResult sale(SaleAction::Sale, std::string(R"({"result":{)") + row.first + "}}", "T");
        std::string flags;
        for (const bool flag : {sale.isContactless(), sale.isMagneticStripe(), sale.isIccEmv(), sale.isIccNonEmv(),
                                sale.isBarCode(), sale.isManualEntry(), sale.isSynchronousChip(),
                                sale.isAsynchronousChip(), sale.processedInBackupMode(), sale.signatureRequired()})
            flags += flag ? '1' : '0';
        EXPECT_EQ(flags, row.second) << row.first;
    }
}

// Each question gets its own verdict; an empty text is no result; the final
// result ends the sale through the ticket retrieval.
TEST(TicketRetrieval, DeliverySaleAnswersEveryQuestionBeforeItsResult)
{
    const std::string question = R"({"result":{"productdelivery":true,"authorizedAmount":12.5}})";
    std::size_t asked = 0;
    std::vector<SaleResult> delivered;
    clienttest::FakeSend send;
    send.terminal->makeTransaction(SaleWithDeliveryConfirmationTransaction(
        twelveAndAHalf, [&](const SaleResult& r) { delivered.push_back(r); },
        [&](const SaleResult&) { return ++asked == 1 ? ProductDeliveryRefused : ProductDeliveryAccepted; }));
    for (const std::string& text : {question, std::string(), question})
        send.deliver(0, text);
    EXPECT_EQ(send.answers(), (std::vector<std::string>{R"({ "ProductDelivery": { "deliveryAccepted": false}})",
                                                        R"({ "ProductDelivery": { "deliveryAccepted": true}})"}));
    EXPECT_TRUE(delivered.empty());
    send.finish(0, R"({"result":{"authorizedAmount":12.5}})");
    ASSERT_EQ(send.count(), 2u);
    send.finish(1, R"({"result":{"formattedTicket":"T1"}})");
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(errorText(delivered[0].error()) + " " + delivered[0].clientTicket(), "ok T1");
}

TEST(TicketRetrieval, SaleReachesItsCallbackOnceWhateverBecomesOfTheTicketRequest)
{
    const std::string approved = R"({"result":{"language":"fr","ticketLayoutIdentifier":"0A"}})";
    struct Case {
        const char* name;
        std::string reply;
        std::function<void(clienttest::FakeSend&)> ticketOutcome;
        std::string ticket;
        std::size_t ticketRequests;
    };
    const Case cases[] = {
        {"fetched", approved, [](clienttest::FakeSend& s) { s.finish(1, R"({"result":{"formattedTicket":"T1"}})"); }, "T1", 1},
        {"refused", approved, [](clienttest::FakeSend& s) { s.finish(1, R"({"error":{"code":2,"causeCode":18}})"); }, "", 1},
        {"dropped unanswered", approved, [](clienttest::FakeSend& s) { s.release(1); }, "", 1},
        {"failed sale", R"({"error":{"code":5}})", [](clienttest::FakeSend&) {}, "", 0},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        std::vector<SaleResult> delivered;
        {
            clienttest::FakeSend send;
            send.terminal->makeTransaction(
                SaleTransaction(SaleAction::Sale, twelveAndAHalf, [&](const SaleResult& r) { delivered.push_back(r); }));
            send.finish(0, each.reply);
            ASSERT_EQ(send.count(), 1 + each.ticketRequests);
            if (each.ticketRequests) {
                EXPECT_EQ(send.request(1)["language"], "fr");
                EXPECT_EQ(send.request(1)["layoutIdentifier"], "0A");
                EXPECT_EQ(send.request(1)["discreteElements"], "");
            }
            each.ticketOutcome(send);
        }
        ASSERT_EQ(delivered.size(), 1u);
        EXPECT_EQ(delivered[0].clientTicket(), each.ticket);
    }
    // A host's lambda serves as the callback of the result's class.
    clienttest::FakeSend send;
    int failed = 0;
    retrieveTicketsAfterSale(LastTransactionResult(R"({"error":{"code":5}})", "T"),
                             [&](const LastTransactionResult& result) { failed += result.error() ? 1 : 0; },
                             send.terminal);
    EXPECT_EQ(failed, 1);
}
