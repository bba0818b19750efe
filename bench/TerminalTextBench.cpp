// Cost of reading one reply text: a ticket line in ASCII, in UTF-8, in
// ISO 8859-1, in UTF-8 cut inside its last letter, in ISO 8859-1 with a pair
// of letters that makes a UTF-8 letter; a terminal identifier in ISO 8859-1.
#include "encoding/TerminalText.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// Fixed, so that an instruction count divides into one per text.
constexpr benchmark::IterationCount kIterations = 100000;

std::string const kAscii = "Line 12 of the card holder ticket";
std::string const kUtf8 = "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e 12,50 \xE2\x82\xAC";
std::string const kLatin1 = "Cr\xE8me br\xFBl\xE9" "e 12,50 EUR";
std::string const kCutUtf8 = kUtf8.substr(0, kUtf8.size() - 1);
std::string const kLatin1Pair = "D\xE9" "bit effectu\xE9 PAY\xC9\xA0" "12,50";
std::string const kIdentifier = "TERF\xC9";

void BM_TerminalText(benchmark::State& state, std::string const* text)
{
    for (auto _ : state) {
        QString read = oxa::terminalText(text->data(), text->size());
        benchmark::DoNotOptimize(read.data());
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_TerminalText, ascii, &kAscii)->Iterations(kIterations);
BENCHMARK_CAPTURE(BM_TerminalText, utf8, &kUtf8)->Iterations(kIterations);
BENCHMARK_CAPTURE(BM_TerminalText, latin1, &kLatin1)->Iterations(kIterations);
BENCHMARK_CAPTURE(BM_TerminalText, cut_utf8, &kCutUtf8)->Iterations(kIterations);
BENCHMARK_CAPTURE(BM_TerminalText, latin1_pair, &kLatin1Pair)->Iterations(kIterations);
BENCHMARK_CAPTURE(BM_TerminalText, identifier, &kIdentifier)->Iterations(kIterations);

BENCHMARK_MAIN();
