#pragma once

#include "SimTlv.h"

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// One protocol message as the simulated terminal sees it: the 38-byte header
// and the body, decoded with the simulator's own codec.
struct SimMessage {
    static constexpr size_t HeaderSize = 38;

    Bytes header;
    Bytes body;
    SimTlv root;
    std::string type; // D0 of E1
    int sequence = 0; // D1 of E1, packed BCD

    Bytes destination() const { return Bytes(header.begin() + 14, header.begin() + 16); }
    int announcedLength() const;
    const SimTlv* find(const std::string& hexTag) const { return root.find(hexTag); }

    // Throws std::runtime_error when the bytes are not one well-formed message.
    static SimMessage parse(const Bytes& header, const Bytes& body);

    // F0 { E1 { D0 type, D1 sequence }, elements... }
    static Bytes buildBody(const std::string& type, int sequence, const std::vector<SimTlv>& elements = {});
    // Header (as a terminal writes it) followed by the body.
    static Bytes frame(const Bytes& body);
    // Hands over and removes every whole message at the front of the input.
    static void takeComplete(Bytes& input, const std::function<void(const Bytes& header, const Bytes& body)>& onMessage);
};

Bytes operator+(Bytes left, const Bytes& right);

} // namespace testsupport
