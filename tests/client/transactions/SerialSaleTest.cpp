#include "TransactionsEndToEnd.h"

#include "support/SimSerialTerminal.h"

using namespace clienttest;

TEST(SerialTerminal, SaleReachesTheHostWithItsClientTicket)
{
    testsupport::SimSerialTerminal serial;
    ASSERT_TRUE(serial.isOpen());
    serial.identifyAs("SER00001");
    serial.on("Cd", [](const SimMessage& request) {
        return SimTerminal::answer(SimSaleReplies::saleReplyTo(request, "SER00001"));
    });
    serial.on("Cw", [](const SimMessage& request) {
        return SimTerminal::answer(SimOperationReplies::ticketReplyTo(request, {"TICKET\f"}));
    });
    RecordingListener listener;
    const auto service = ect::makeSerialZUVAService(serial.portName().toStdString(), listener);
    service->startService();
    const auto terminal = listener.waitForTerminal("SER00001");
    ASSERT_NE(terminal, nullptr);

    Results<ect::SaleResult> results;
    terminal->send(ect::SaleTransaction(ect::SaleAction::Sale, ect::Amount("12.5"), results.callback()));
    ASSERT_TRUE(results.waitFor(1, std::chrono::seconds(10)));
    EXPECT_FALSE(results.first().error());
    EXPECT_EQ(results.first().clientTicket(), "TICKET\f");
    EXPECT_EQ(results.first().terminalIdentifier(), "SER00001");
    EXPECT_EQ(serial.requestCount("Cw"), 1u);
    service->stopService();
}
