#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTlv.h"
#include "encoding/ber/HexUtil.h"

#include <string>

namespace bertest {

// Bytes written as hexadecimal text, blanks allowed: bytes("E1 02 D0 00").
inline Ber::BerData bytes(std::string const& hex)
{
    return Ber::HexUtil::parse(hex);
}

// F0 { E1 { D0 "Cd", D1 05 } }, encoded as "F0 09 E1 07 D0 02 43 64 D1 01 05".
inline Ber::BerTlv bodyTree()
{
    using Ber::BerTag;
    using Ber::BerTlv;
    return BerTlv(BerTag(0xF0), {BerTlv(BerTag(0xE1), {BerTlv(BerTag(0xD0), Ber::BerData({0x43, 0x64})),
                                                       BerTlv(BerTag(0xD1), Ber::BerData({0x05}))})});
}

}  // namespace bertest
