// Parse cost of one 38-byte message header, as the response handler pays it per message.
#include "encoding/ZUVAHeader.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

namespace {

void BM_ZUVAHeaderParse(benchmark::State& state)
{
    QByteArray const bytes =
        oxa::buildZUVARequestHeader(Ber::BerData{0x00, 0x0A}, oxa::ECTMessageLength(1234).data());
    for (auto _ : state) {
        oxa::ZUVAHeader header(bytes);
        benchmark::DoNotOptimize(header.length().length());
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_ZUVAHeaderParse);
BENCHMARK_MAIN();
