#include "simterminal/LinkPeer.h"

namespace testsupport {

namespace {

const uint8_t Stx = 0x02;
const uint8_t Etx = 0x03;
const uint8_t Dle = 0x10;
const uint8_t Ack = 0x06;
const uint8_t Nak = 0x15;

} // namespace

LinkPeer::LinkPeer(Send send)
    : send_(std::move(send))
{
}

uint16_t LinkPeer::crc16(const uint8_t* data, size_t length)
{
    // Bitwise CRC-16/ARC, deliberately not the library's table.
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

Bytes LinkPeer::frame(const Bytes& payload, uint8_t sequence)
{
    Bytes out{Stx, sequence};
    for (uint8_t byte : payload) {
        if (byte == Stx || byte == Etx || byte == Dle)
            out.push_back(Dle);
        out.push_back(byte);
    }
    out.push_back(Etx);
    const uint16_t crc = crc16(out.data() + 1, out.size() - 1);
    out.push_back(static_cast<uint8_t>(crc & 0xFF));
    out.push_back(static_cast<uint8_t>(crc >> 8));
    return out;
}

void LinkPeer::receive(const Bytes& bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    while (!buffer_.empty() && handleHead()) {
    }
}

bool LinkPeer::handleHead()
{
    switch (buffer_[0]) {
    case Stx:
        return handleFrame();
    case Ack:
        if (buffer_.size() < 2)
            return false;
        buffer_.erase(buffer_.begin(), buffer_.begin() + 2);
        ++acknowledgements_;
        return true;
    default:
        buffer_.erase(buffer_.begin());
        return true;
    }
}

bool LinkPeer::handleFrame()
{
    Bytes payload;
    size_t i = 2;
    while (i < buffer_.size() && buffer_[i] != Etx) {
        if (buffer_[i] == Dle)
            ++i;
        if (i < buffer_.size())
            payload.push_back(buffer_[i]);
        ++i;
    }
    if (i + 2 >= buffer_.size())
        return false;
    const uint16_t expected = crc16(buffer_.data() + 1, i);
    const uint16_t received = static_cast<uint16_t>(buffer_[i + 1] | (buffer_[i + 2] << 8));
    const uint8_t sequence = buffer_[1];
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(i + 3));
    if (expected != received) {
        send_(Bytes{Nak});
        return true;
    }
    const bool withheld = withholdNext_ && !payload.empty();
    if (payload.empty())
        ++emptyFrames_;
    else
        messages_.push_back(payload);
    withholdNext_ = withholdNext_ && !withheld;
    if (acknowledging_ && !withheld)
        send_(Bytes{Ack, sequence});
    return true;
}

void LinkPeer::sendMessage(const Bytes& payload)
{
    std::lock_guard<std::mutex> lock(mutex_);
    send_(frame(payload, nextSequence_));
    nextSequence_ = nextSequence_ == 254 ? 0 : static_cast<uint8_t>(nextSequence_ + 1);
}

void LinkPeer::sendRaw(const Bytes& bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    send_(bytes);
}

void LinkPeer::setAcknowledging(bool acknowledging)
{
    std::lock_guard<std::mutex> lock(mutex_);
    acknowledging_ = acknowledging;
}

void LinkPeer::withholdNextAcknowledgement()
{
    std::lock_guard<std::mutex> lock(mutex_);
    withholdNext_ = true;
}

std::vector<Bytes> LinkPeer::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

size_t LinkPeer::messageCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}

size_t LinkPeer::acknowledgements() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return acknowledgements_;
}

int LinkPeer::emptyFrames() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return emptyFrames_;
}

} // namespace testsupport
