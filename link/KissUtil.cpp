#include "link/KissUtil.h"

#include "foundation/Crc.h"

namespace kiss {

namespace {

const int MinimumFrameLength = 5;
const int DataFieldStart = 2;

bool needsEscape(unsigned char byte)
{
    return byte == STX || byte == ETX || byte == DLE;
}

unsigned char byteAt(const QByteArray& buffer, int index)
{
    return static_cast<unsigned char>(buffer.at(index));
}

unsigned short crcOf(const QByteArray& buffer, int from, int length)
{
    return vorsam::crc::getCrc16IBM(reinterpret_cast<const unsigned char*>(buffer.constData()) + from,
                                    static_cast<unsigned int>(length));
}

} // namespace

QByteArray buildKissDataMessage(QByteArray data, unsigned char sequenceNumber)
{
    QByteArray frame;
    frame.reserve(data.size() * 2 + MinimumFrameLength);
    frame.append(static_cast<char>(STX));
    frame.append(static_cast<char>(sequenceNumber));
    for (char byte : data) {
        if (needsEscape(static_cast<unsigned char>(byte)))
            frame.append(static_cast<char>(DLE));
        frame.append(byte);
    }
    frame.append(static_cast<char>(ETX));
    const unsigned short crc = crcOf(frame, 1, frame.size() - 1);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

ParseKissDataMessageResult parseKissDataMessage(QByteArray buffer, int& consumed, QByteArray& data,
                                                unsigned char& sequenceNumber)
{
    const int size = buffer.size();
    if (size < MinimumFrameLength)
        return ParseKissDataMessageResult::Incomplete;
    if (byteAt(buffer, 0) != STX)
        return ParseKissDataMessageResult::InvalidStart;

    sequenceNumber = byteAt(buffer, 1);
    data.clear();
    int etx = -1;
    for (int i = DataFieldStart; i < size;) {
        const unsigned char byte = byteAt(buffer, i);
        if (byte == DLE) {
            ++i;
            if (i >= size - 2)
                return ParseKissDataMessageResult::Incomplete;
            data.append(buffer.at(i++));
        } else if (byte == ETX) {
            etx = i;
            break;
        } else {
            data.append(static_cast<char>(byte));
            ++i;
        }
    }
    if (etx < 0 || etx > size - 3)
        return ParseKissDataMessageResult::Incomplete;

    consumed = etx + 3;
    const unsigned short received = static_cast<unsigned short>(byteAt(buffer, etx + 1) | (byteAt(buffer, etx + 2) << 8));
    return crcOf(buffer, 1, etx) == received ? ParseKissDataMessageResult::Success
                                             : ParseKissDataMessageResult::CrcError;
}

unsigned char fromMessageType(MessageType type)
{
    switch (type) {
    case MessageType::Data:
        return STX;
    case MessageType::Ack:
        return ACK;
    case MessageType::NAck:
        return NACK;
    case MessageType::WAck:
        return WACK;
    default:
        return 0;
    }
}

MessageType toMessageType(unsigned char byte)
{
    switch (byte) {
    case STX:
        return MessageType::Data;
    case ACK:
        return MessageType::Ack;
    case NACK:
        return MessageType::NAck;
    case WACK:
        return MessageType::WAck;
    default:
        return MessageType::Unknown;
    }
}

} // namespace kiss
