#include "SimMessage.h"

#include <stdexcept>

namespace testsupport {

namespace {

uint8_t packedBcd(int twoDigits)
{
    return static_cast<uint8_t>(((twoDigits / 10) % 10) << 4 | (twoDigits % 10));
}

int fromPackedBcd(uint8_t byte)
{
    return (byte >> 4) * 10 + (byte & 0x0F);
}

} // namespace

Bytes operator+(Bytes left, const Bytes& right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

int SimMessage::announcedLength() const
{
    return fromPackedBcd(header[36]) * 100 + fromPackedBcd(header[37]);
}

void SimMessage::takeComplete(Bytes& input, const std::function<void(const Bytes&, const Bytes&)>& onMessage)
{
    size_t offset = 0;
    while (input.size() - offset >= HeaderSize) {
        SimMessage probe;
        probe.header.assign(input.begin() + offset, input.begin() + offset + HeaderSize);
        const size_t total = HeaderSize + static_cast<size_t>(probe.announcedLength());
        if (input.size() - offset < total)
            break;
        const Bytes body(input.begin() + offset + HeaderSize, input.begin() + offset + total);
        offset += total;
        onMessage(probe.header, body);
    }
    input.erase(input.begin(), input.begin() + offset);
}

SimMessage SimMessage::parse(const Bytes& header, const Bytes& body)
{
    if (header.size() != HeaderSize || header[0] != 'M' || header[1] != 'C')
        throw std::runtime_error("bad header");
    SimMessage message;
    message.header = header;
    message.body = body;
    const auto elements = SimTlv::parseAll(body);
    if (elements.size() != 1)
        throw std::runtime_error("body is not one element");
    message.root = elements.front();
    const SimTlv* envelope = message.root.find("E1");
    const SimTlv* type = envelope ? envelope->find("D0") : nullptr;
    const SimTlv* sequence = envelope ? envelope->find("D1") : nullptr;
    if (!type || !sequence || sequence->value.size() != 1)
        throw std::runtime_error("body without envelope");
    message.type = type->textValue();
    message.sequence = fromPackedBcd(sequence->value[0]);
    return message;
}

Bytes SimMessage::buildBody(const std::string& type, int sequence, const std::vector<SimTlv>& elements)
{
    std::vector<SimTlv> children{SimTlv::constructed(
        {0xE1}, {SimTlv::text("D0", type), SimTlv::primitive({0xD1}, {packedBcd(sequence)})})};
    children.insert(children.end(), elements.begin(), elements.end());
    return SimTlv::constructed({0xF0}, children).encode();
}

Bytes SimMessage::frame(const Bytes& body)
{
    const int length = static_cast<int>(body.size());
    Bytes header{'M', 'C', 0x01, 0x00};
    header.resize(14, 0x00);
    header.insert(header.end(), {0x0A, 0x0B}); // addressed to the library
    header.resize(26, 0x00);
    header.insert(header.end(), {0x00, 0x0A});
    header.resize(35, 0x00);
    header.push_back(0x00);
    header.push_back(packedBcd(length / 100));
    header.push_back(packedBcd(length % 100));
    return header + body;
}

} // namespace testsupport
