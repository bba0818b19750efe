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
    QByteArray data = "untouched";
    unsigned char sequence = 0xEE;
};

Parsed parse(const QByteArray& buffer)
{
    Parsed p;
    p.result = parseKissDataMessage(buffer, p.consumed, p.data, p.sequence);
    return p;
}

} // namespace

TEST(KissUtil, WorkedFramesAndRoundTripsByteForByte)
{
    EXPECT_EQ(buildKissDataMessage(QByteArray(), 1), hex("0201034191"));
    EXPECT_EQ(buildKissDataMessage(hex("021041"), 7), hex("0207100210104103" "78C4"));
    EXPECT_EQ(buildKissDataMessage(hex("10"), 1).mid(2, 2), hex("1010"));
    EXPECT_EQ(buildKissDataMessage(hex("03"), 1).mid(2, 2), hex("1003"));
    const struct {
        const char* frame;
        const char* data;
        unsigned char sequence;
    } worked[] = {{"0201034191", "", 1}, {"020710021010410378C4", "021041", 7}};
    for (const auto& w : worked) {
        const Parsed p = parse(hex(w.frame));
        EXPECT_EQ(p.result, ParseKissDataMessageResult::Success) << w.frame;
        EXPECT_EQ(p.consumed, hex(w.frame).size()) << w.frame;
        EXPECT_EQ(p.data, hex(w.data)) << w.frame;
        EXPECT_EQ(p.sequence, w.sequence) << w.frame;
    }

    // Control bytes in the payload are escaped; those as sequence numbers are not.
    const QByteArray payload = hex("00030210FF0603101002");
    for (unsigned char sequence : {0x00, 0x02, 0x03, 0x10, 0x06, 0xFE, 0xFF}) {
        const QByteArray frame = buildKissDataMessage(payload, sequence);
        EXPECT_EQ(frame.size(), payload.size() + 7 + 5);
        EXPECT_EQ(static_cast<unsigned char>(frame.at(1)), sequence);
        const Parsed p = parse(frame);
        EXPECT_EQ(p.result, ParseKissDataMessageResult::Success);
        EXPECT_EQ(p.data, payload);
        EXPECT_EQ(p.sequence, sequence);
        EXPECT_EQ(p.consumed, frame.size());
    }
}

TEST(KissUtil, IncompleteInvalidAndDamagedInput)
{
    const Parsed shortBuffer = parse(hex("02010341"));
    EXPECT_EQ(shortBuffer.result, ParseKissDataMessageResult::Incomplete);
    EXPECT_EQ(shortBuffer.data, QByteArray("untouched"));
    EXPECT_EQ(shortBuffer.sequence, 0xEE);
    const Parsed invalid = parse(hex("0601020304"));
    EXPECT_EQ(invalid.result, ParseKissDataMessageResult::InvalidStart);
    EXPECT_EQ(invalid.data, QByteArray("untouched"));
    EXPECT_EQ(invalid.consumed, -1);
    // ETX present but one CRC byte missing.
    const Parsed noCrc = parse(hex("020141420391"));
    EXPECT_EQ(noCrc.result, ParseKissDataMessageResult::Incomplete);
    EXPECT_EQ(noCrc.consumed, -1);
    // An escape whose escaped byte falls on one of the last two positions;
    // no ETX at all, where an escaped 03 does not end the field.
    EXPECT_EQ(parse(hex("020141104203")).result, ParseKissDataMessageResult::Incomplete);
    EXPECT_EQ(parse(hex("02014110034242")).result, ParseKissDataMessageResult::Incomplete);

    const QByteArray frame = buildKissDataMessage(hex("414243"), 9);
    const Parsed followed = parse(frame + hex("0609") + buildKissDataMessage(QByteArray(), 10));
    EXPECT_EQ(followed.result, ParseKissDataMessageResult::Success);
    EXPECT_EQ(followed.consumed, frame.size());
    EXPECT_EQ(followed.data, hex("414243"));
    QByteArray damaged = frame;
    damaged[damaged.size() - 1] = static_cast<char>(damaged.at(damaged.size() - 1) ^ 0x01);
    const Parsed bad = parse(damaged + hex("06"));
    EXPECT_EQ(bad.result, ParseKissDataMessageResult::CrcError);
    EXPECT_EQ(bad.consumed, frame.size());

    // A frame cut short (no ETX) running into the next frame.
    const QByteArray cut = hex("0204411002") + buildKissDataMessage(hex("41"), 5);
    EXPECT_EQ(findEmbeddedFrameStart(cut, cut.size()), 5);
    EXPECT_EQ(findEmbeddedFrameStart(hex("02024142"), 4), -1); // sequence number 02 is not a start
    EXPECT_EQ(findEmbeddedFrameStart(cut, 5), -1);
}

TEST(KissUtil, MessageTypesOfFirstBytes)
{
    EXPECT_EQ(toMessageType(0x02), MessageType::Data);
    EXPECT_EQ(toMessageType(0x06), MessageType::Ack);
    EXPECT_EQ(toMessageType(0x15), MessageType::NAck);
    EXPECT_EQ(toMessageType(0x13), MessageType::WAck);
    for (int byte = 0; byte < 256; ++byte) {
        const MessageType type = toMessageType(static_cast<unsigned char>(byte));
        if (type != MessageType::Unknown) {
            EXPECT_EQ(fromMessageType(type), byte);
        }
    }
    EXPECT_EQ(fromMessageType(MessageType::Unknown), 0);
}
