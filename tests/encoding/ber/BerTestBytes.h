#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/HexUtil.h"

#include <string>

namespace bertest {

// Bytes written as hexadecimal text, blanks allowed: bytes("E1 02 D0 00").
inline Ber::BerData bytes(std::string const& hex)
{
    return Ber::HexUtil::parse(hex);
}

}  // namespace bertest
