#pragma once

#include "encoding/ber/BerData.h"

#include <QByteArray>

#include <string>

namespace encodingtest {

// Bytes written as hexadecimal pairs; blanks between them are ignored.
inline QByteArray bytes(char const* hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

inline Ber::BerData berData(char const* hex)
{
    return Ber::BerData(bytes(hex));
}

inline std::string hexOf(Ber::BerData const& data)
{
    return data.stringValueWithSpaces();
}

} // namespace encodingtest
