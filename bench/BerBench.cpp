// Parse and build cost of reply bodies, against a plain copy of their bytes
// as the lower bound: a typical sale reply of a few hundred bytes and a 2 KB
// body with a ticket and balance counters.
#include "encoding/ber/BerTlvBuilder.h"
#include "encoding/ber/BerTlvParser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using Ber::BerData;
using Ber::BerTag;
using Ber::BerTlv;

BerData text(std::string const& characters)
{
    return BerData(reinterpret_cast<unsigned char const*>(characters.data()),
                   static_cast<unsigned int>(characters.size()));
}

BerTlv envelope()
{
    BerTlv e1(BerTag(0xE1));
    e1.addData(BerTag(0xD0), text("Rd"));
    e1.addData(BerTag(0xD1), BerData({0x05}));
    return e1;
}

BerTlv saleResult()
{
    BerTlv result(BerTag(0xBF, 0x81, 0x16));
    result.addData(BerTag(0xDF, 0x1A), text("fr"));
    result.addData(BerTag(0x9F, 0x1C), text("12345678"));
    result.addData(BerTag(0xDF, 0x27), BerData({0x20, 0x26, 0x12, 0x06, 0x17, 0x40, 0x00}));
    result.addData(BerTag(0x9F, 0x34), BerData({0x40, 0x00}));
    result.addData(BerTag(0xDF, 0x1E), BerData({0x00, 0x00, 0x12, 0x34, 0x56, 0x78}));
    result.addData(BerTag(0xC5), BerData({0x00, 0x42}));
    result.addData(BerTag(0xDF, 0x26), BerData({0x00, 0x00, 0x00, 0x00, 0x12, 0x34}));
    result.addData(BerTag(0x9F, 0x03), BerData({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    result.addData(BerTag(0x5F, 0x2A), BerData({0x09, 0x78}));
    result.addData(BerTag(0x89), text("A1B2C3"));
    return result;
}

BerTlv cardData()
{
    BerTlv card(BerTag(0xBF, 0x81, 0x04));
    BerTlv tlvsInValue(BerTag(0xDF, 0x94, 0x60), Ber::BerTlvBuilder(BerTlv(BerTag(0xDF, 0x46), text("1234XXXXXXXX5678"))).buildData());
    card.addData(tlvsInValue);
    card.addData(BerTag(0xDF, 0x5F), BerData({0x00, 0x01}));
    card.addData(BerTag(0xDF, 0x7E), text("CRDA"));
    return card;
}

BerTlv ticket(int lines)
{
    BerTlv ticket(BerTag(0xBF, 0x81, 0x08));
    ticket.addData(BerTag(0xDF, 0x94, 0x0F), BerData({0x00, 0x01}));
    for (int line = 0; line < lines; ++line)
        ticket.addData(BerTag(0xDF, 0x94, 0x11), text("Line " + std::to_string(line) + " of the card holder ticket"));
    return ticket;
}

BerTlv counters(int count)
{
    BerTlv list(BerTag(0xBF, 0x81, 0x20));
    for (int i = 0; i < count; ++i) {
        BerTlv counter(BerTag(0xE3));
        counter.addData(BerTag(0xDF, 0x95, 0x01), BerData({0x00, static_cast<unsigned char>(i)}));
        counter.addData(BerTag(0x5F, 0x2A), BerData({0x09, 0x78}));
        counter.addData(BerTag(0xDF, 0x95, 0x02), text("Counter label"));
        counter.addData(BerTag(0xDF, 0x95, 0x03), BerData({0x00, 0x00, 0x12}));
        counter.addData(BerTag(0xDF, 0x95, 0x04), BerData({0x00, 0x00, 0x00, 0x01, 0x23, 0x45}));
        list.addData(counter);
    }
    return list;
}

BerTlv merchantData()
{
    Ber::BerTlvBuilder inner;
    inner.addText("Thank you for your visit", BerTag(0xDF, 0x13));
    inner.addText("ACQ-DATA-0042", BerTag(0xDF, 0x30));
    return BerTlv(BerTag(0xDF, 0x94, 0x60), inner.buildData());
}

BerTlv replyStatus()
{
    BerTlv status(BerTag(0xBF, 0x81, 0x01));
    status.addData(BerTag(0xDF, 0x94, 0x0D), BerData({0x00, 0x00}));
    status.addData(BerTag(0xDF, 0x94, 0x13), BerData({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));
    return status;
}

// About 300 bytes, 31 elements on three levels, as a sale reply.
BerTlv saleReply()
{
    BerTlv body(BerTag(0xF0));
    body.addData(envelope());
    body.addData(replyStatus());
    body.addData(saleResult());
    body.addData(cardData());
    body.addData(ticket(2));
    body.addData(merchantData());
    body.addData(BerTag(0xDF, 0x68), BerData({0x00, 0x01}));
    BerTlv cardType(BerTag(0xEB));
    cardType.addData(BerTag(0xDF, 0x94, 0x06), BerData({0x04}));
    body.addData(cardType);
    body.addData(BerTag(0xDF, 0x94, 0x64), BerData({0x00, 0x00, 0x00, 0x01}));
    return body;
}

// About 2 KB: the sale reply with a ticket and balance counters.
BerTlv largeReply()
{
    BerTlv body = saleReply();
    body.addData(ticket(24));
    body.addData(counters(16));
    return body;
}

BerData encoded(BerTlv const& tree)
{
    return Ber::BerTlvBuilder(tree).buildData();
}

void setCounters(benchmark::State& state, BerData const& bytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.length());
    state.counters["body_bytes"] = bytes.length();
}

void BM_Copy(benchmark::State& state, BerTlv (*makeTree)())
{
    BerData const bytes = encoded(makeTree());
    for (auto _ : state) {
        BerData copy = bytes;
        benchmark::DoNotOptimize(copy.data());
    }
    setCounters(state, bytes);
}

void BM_Parse(benchmark::State& state, BerTlv (*makeTree)())
{
    BerData const bytes = encoded(makeTree());
    Ber::BerTlvParser const parser;
    for (auto _ : state) {
        BerTlv root = parser.parseConstructed(bytes);
        benchmark::DoNotOptimize(root.children.data());
    }
    setCounters(state, bytes);
}

// The allocations a parse cannot avoid: a deep copy of the parsed tree
// (every tag, value and child list is a buffer of its own).
void BM_TreeCopy(benchmark::State& state, BerTlv (*makeTree)())
{
    BerTlv const tree = makeTree();
    for (auto _ : state) {
        BerTlv copy = tree;
        benchmark::DoNotOptimize(copy.children.data());
    }
    setCounters(state, encoded(tree));
}

void BM_Build(benchmark::State& state, BerTlv (*makeTree)())
{
    BerTlv const tree = makeTree();
    for (auto _ : state) {
        Ber::BerTlvBuilder builder(BerTag(0xF0));
        for (BerTlv const& child : tree.children)
            builder.addBerTlv(child);
        BerData bytes = builder.buildData();
        benchmark::DoNotOptimize(bytes.data());
    }
    setCounters(state, encoded(tree));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Copy, sale_reply, saleReply);
BENCHMARK_CAPTURE(BM_TreeCopy, sale_reply, saleReply);
BENCHMARK_CAPTURE(BM_Parse, sale_reply, saleReply);
BENCHMARK_CAPTURE(BM_Build, sale_reply, saleReply);
BENCHMARK_CAPTURE(BM_Copy, body_2k, largeReply);
BENCHMARK_CAPTURE(BM_TreeCopy, body_2k, largeReply);
BENCHMARK_CAPTURE(BM_Parse, body_2k, largeReply);
BENCHMARK_CAPTURE(BM_Build, body_2k, largeReply);

BENCHMARK_MAIN();
