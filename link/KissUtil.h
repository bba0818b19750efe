#pragma once

#include <QByteArray>

namespace kiss {

// Control bytes of the serial link.
constexpr unsigned char STX = 0x02;
constexpr unsigned char ETX = 0x03;
constexpr unsigned char DLE = 0x10;
constexpr unsigned char ACK = 0x06;
constexpr unsigned char NACK = 0x15;
constexpr unsigned char WACK = 0x13;

// Class of a received element, by its first byte.
enum class MessageType { Data = 0, Ack = 1, NAck = 2, WAck = 3, Unknown = 4 };

enum class ParseKissDataMessageResult { InvalidStart = 0, Incomplete = 1, CrcError = 2, Success = 3 };

// STX, sequence number, escaped payload, ETX, CRC-16 (low byte first) over
// everything from the sequence number through ETX.
QByteArray buildKissDataMessage(QByteArray data, unsigned char sequenceNumber);

// Parses the frame at the very start of buffer. consumed is set on CrcError
// and Success; data and sequenceNumber are written as described for each result.
ParseKissDataMessageResult parseKissDataMessage(QByteArray buffer, int& consumed, QByteArray& data,
                                                unsigned char& sequenceNumber);

unsigned char fromMessageType(MessageType type);
MessageType toMessageType(unsigned char byte);

} // namespace kiss
