#include "link/KissUtil.h"

#include <gtest/gtest.h>

using namespace kiss;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

struct Parsed {
    ParseKissDataMessageResult result;
    int consumed = -1;
    QByteArray data;
    unsigned char sequence = 0;
};

Parsed parse(const QByteArray& buffer)
{
    Parsed p;
    p.result = parseKissDataMessage(buffer, p.consumed, p.data, p.sequence);
    return p;
}

} // namespace

// Control bytes in the payload are escaped; those as sequence numbers are not.
TEST(KissUtil, WorkedFramesAndRoundTripsByteForByte)
{
    EXPECT_EQ(buildKissDataMessage(QByteArray(), 1), hex("0201034191"));
    EXPECT_EQ(buildKissDataMessage(hex("021041"), 7), hex("020710021010410378C4"));
    const QByteArray payload = hex("00030210FF0603101002");
    for (unsigned char sequence : {0x00, 0x02, 0x03, 0x10, 0x06, 0xFE, 0xFF}) {
        SCOPED_TRACE(sequence);
        const QByteArray frame = buildKissDataMessage(payload, sequence);
        EXPECT_EQ(frame.size(), payload.size() + 7 + 5);
        const Parsed p = parse(frame);
        EXPECT_EQ(p.result, ParseKissDataMessageResult::Success);
        EXPECT_EQ(p.data, payload);
        EXPECT_EQ(p.sequence, sequence);
        EXPECT_EQ(p.consumed, frame.size());
    }
}

TEST(KissUtil, IncompleteInvalidAndDamagedInput)
{
    const QByteArray frame = buildKissDataMessage(hex("414243"), 9);
    QByteArray damaged = frame;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.at(damaged.size() - 1) ^ 0x01);
    const struct {
        const char* name;
        QByteArray buffer;
        ParseKissDataMessageResult result;
        int consumed;
    } rows[] = {
        {"short", hex("02010341"), ParseKissDataMessageResult::Incomplete, -1},
        {"no start", hex("0601020304"), ParseKissDataMessageResult::InvalidStart, -1},
        {"one CRC byte missing", hex("020141420391"), ParseKissDataMessageResult::Incomplete, -1},
        {"escaped byte among the last two", hex("020141104203"), ParseKissDataMessageResult::Incomplete, -1},
        {"escape as the last byte", hex("0201414210"), ParseKissDataMessageResult::Incomplete, -1},
        {"escaped 03 is no end", hex("02014110034242"), ParseKissDataMessageResult::Incomplete, -1},
        {"followed", frame + hex("0609") + buildKissDataMessage(QByteArray(), 10),
         ParseKissDataMessageResult::Success, frame.size()},
        {"damaged", damaged + hex("06"), ParseKissDataMessageResult::CrcError, frame.size()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Parsed p = parse(row.buffer);
        EXPECT_EQ(p.result, row.result);
        EXPECT_EQ(p.consumed, row.consumed);
    }
}
