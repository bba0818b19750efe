// Cutting the frames a serial link delivers into messages: frames that each
// hold one whole message, and a flood of one-byte frames that could each
// begin a message behind a header that announces the most a header can.
// Run under callgrind with --toggle-collect=*readMessage* for the
// instructions a frame costs.
#include "engine/core/JsonZUVAResponseHandler.h"
#include "engine/core/TransactionDispatcher.h"

#include "simterminal/SimTerminal.h"
#include "support/MemoryStreams.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <memory>

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "bench_frame_cut";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

struct Receiver {
    std::shared_ptr<testsupport::MemoryInputStream> in = std::make_shared<testsupport::MemoryInputStream>();
    std::shared_ptr<oxa::TransactionDispatcher> dispatcher =
        oxa::makeTransactionDispatcher(std::make_shared<testsupport::MemoryOutputStream>());
    std::unique_ptr<oxa::JsonZUVAResponseHandler> handler =
        oxa::makeJsonZUVAResponseHandler(dispatcher, in, [](QJsonDocument) {}, nullptr);

    void receive(const QByteArray& frame)
    {
        in->feedFrame(frame);
        handler->readMessage();
    }
};

QByteArray adviceMessage()
{
    const testsupport::Bytes advice = testsupport::SimTerminal::synchronizationAdviceMessage("0101");
    return QByteArray(reinterpret_cast<const char*>(advice.data()), int(advice.size()));
}

void BM_WholeMessageFrames(benchmark::State& state)
{
    ensureApplication();
    Receiver receiver;
    const QByteArray message = adviceMessage();
    for (auto _ : state)
        receiver.receive(message);
}
BENCHMARK(BM_WholeMessageFrames)->Iterations(2000);

void BM_HeaderLikeFlood(benchmark::State& state)
{
    ensureApplication();
    Receiver receiver;
    QByteArray header = adviceMessage().left(38);
    header[36] = char(0x99);
    header[37] = char(0x99);
    receiver.receive(header);
    const QByteArray headerLike("M");
    for (auto _ : state)
        receiver.receive(headerLike);
}
BENCHMARK(BM_HeaderLikeFlood)->Iterations(9000);

} // namespace

BENCHMARK_MAIN();
