#pragma once

#include "encoding/ber/BerTag.h"

// Message elements that more than one translator reads or writes. Never
// destroyed, as every static of the library: its threads may still parse
// while the process exits.
namespace oxa {
namespace tags {

inline const Ber::BerTag& AcquirerData = *new Ber::BerTag(0xFA);
inline const Ber::BerTag& AcquirerDiscretionaryData = *new Ber::BerTag(0xDF, 0x30);
inline const Ber::BerTag& AcquirerIdentifier = *new Ber::BerTag(0xDF, 0x68);
inline const Ber::BerTag& AmountTag = *new Ber::BerTag(0xDF, 0x50);
inline const Ber::BerTag& AuthorizationCode = *new Ber::BerTag(0x89);
inline const Ber::BerTag& BalanceData = *new Ber::BerTag(0xF8);
inline const Ber::BerTag& BrandIdentifier = *new Ber::BerTag(0xDF, 0x5F);
inline const Ber::BerTag& BrandPosition = *new Ber::BerTag(0xDF, 0x90, 0x15);
inline const Ber::BerTag& CardBrandList = *new Ber::BerTag(0xBF, 0x81, 0x05);
inline const Ber::BerTag& CardData = *new Ber::BerTag(0xBF, 0x81, 0x04);
inline const Ber::BerTag& CardDescription = *new Ber::BerTag(0xEB);
inline const Ber::BerTag& CardTypeTag = *new Ber::BerTag(0xDF, 0x94, 0x06);
inline const Ber::BerTag& ClippedPan = *new Ber::BerTag(0xDF, 0x46);
inline const Ber::BerTag& CurrencyCode = *new Ber::BerTag(0x5F, 0x2A);
inline const Ber::BerTag& Date = *new Ber::BerTag(0xDF, 0x27);
inline const Ber::BerTag& DeliveryTimeout = *new Ber::BerTag(0xDF, 0x95, 0x40);
inline const Ber::BerTag& DiscreteElements = *new Ber::BerTag(0xDF, 0x94, 0x11);
inline const Ber::BerTag& DisplayData = *new Ber::BerTag(0xBF, 0x81, 0x09);
inline const Ber::BerTag& Entry = *new Ber::BerTag(0xEF);
inline const Ber::BerTag& IncidentCode = *new Ber::BerTag(0xDF, 0x94, 0x0D);
inline const Ber::BerTag& Language = *new Ber::BerTag(0xDF, 0x1A);
inline const Ber::BerTag& LayoutIdentifier = *new Ber::BerTag(0xDF, 0x94, 0x0F);
inline const Ber::BerTag& OptionalData = *new Ber::BerTag(0xBF, 0x81, 0x01);
inline const Ber::BerTag& PeriodNumber = *new Ber::BerTag(0xC5);
inline const Ber::BerTag& PrivateData = *new Ber::BerTag(0xDF, 0x94, 0x60);
inline const Ber::BerTag& ProcessingApplication = *new Ber::BerTag(0xDF, 0x90, 0x0F);
inline const Ber::BerTag& ProprietaryData = *new Ber::BerTag(0xDF, 0x94, 0x13);
inline const Ber::BerTag& RecognitionOption = *new Ber::BerTag(0xDF, 0x94, 0x62);
inline const Ber::BerTag& RecognitionTimeout = *new Ber::BerTag(0xDF, 0x94, 0x68);
inline const Ber::BerTag& SaleSystemActionIdentifier = *new Ber::BerTag(0xDF, 0x94, 0x64);
inline const Ber::BerTag& ServiceData = *new Ber::BerTag(0xBF, 0x81, 0x16);
inline const Ber::BerTag& ServiceTransactionIdentifier = *new Ber::BerTag(0xDF, 0x21);
inline const Ber::BerTag& TerminalIdentifier = *new Ber::BerTag(0x9F, 0x1C);
inline const Ber::BerTag& TerminalModel = *new Ber::BerTag(0xDF, 0x05);
inline const Ber::BerTag& TerminalSerialNumber = *new Ber::BerTag(0x9F, 0x1E);
inline const Ber::BerTag& TicketData = *new Ber::BerTag(0xBF, 0x81, 0x08);
inline const Ber::BerTag& TicketText = *new Ber::BerTag(0xDF, 0x17);
inline const Ber::BerTag& VerificationMethod = *new Ber::BerTag(0x9F, 0x34);

} // namespace tags
} // namespace oxa
