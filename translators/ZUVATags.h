#pragma once

#include "encoding/ber/BerTag.h"

// Message elements that more than one translator reads or writes.
namespace oxa {
namespace tags {

inline const Ber::BerTag AcquirerData(0xFA);
inline const Ber::BerTag AcquirerDiscretionaryData(0xDF, 0x30);
inline const Ber::BerTag AcquirerIdentifier(0xDF, 0x68);
inline const Ber::BerTag AmountTag(0xDF, 0x50);
inline const Ber::BerTag AuthorizationCode(0x89);
inline const Ber::BerTag BalanceData(0xF8);
inline const Ber::BerTag BrandIdentifier(0xDF, 0x5F);
inline const Ber::BerTag BrandPosition(0xDF, 0x90, 0x15);
inline const Ber::BerTag CardBrandList(0xBF, 0x81, 0x05);
inline const Ber::BerTag CardData(0xBF, 0x81, 0x04);
inline const Ber::BerTag CardDescription(0xEB);
inline const Ber::BerTag CardTypeTag(0xDF, 0x94, 0x06);
inline const Ber::BerTag ClippedPan(0xDF, 0x46);
inline const Ber::BerTag CurrencyCode(0x5F, 0x2A);
inline const Ber::BerTag Date(0xDF, 0x27);
inline const Ber::BerTag DeliveryTimeout(0xDF, 0x95, 0x40);
inline const Ber::BerTag DiscreteElements(0xDF, 0x94, 0x11);
inline const Ber::BerTag DisplayData(0xBF, 0x81, 0x09);
inline const Ber::BerTag Entry(0xEF);
inline const Ber::BerTag IncidentCode(0xDF, 0x94, 0x0D);
inline const Ber::BerTag Language(0xDF, 0x1A);
inline const Ber::BerTag LayoutIdentifier(0xDF, 0x94, 0x0F);
inline const Ber::BerTag OptionalData(0xBF, 0x81, 0x01);
inline const Ber::BerTag PeriodNumber(0xC5);
inline const Ber::BerTag PrivateData(0xDF, 0x94, 0x60);
inline const Ber::BerTag ProcessingApplication(0xDF, 0x90, 0x0F);
inline const Ber::BerTag ProprietaryData(0xDF, 0x94, 0x13);
inline const Ber::BerTag RecognitionOption(0xDF, 0x94, 0x62);
inline const Ber::BerTag RecognitionTimeout(0xDF, 0x94, 0x68);
inline const Ber::BerTag SaleSystemActionIdentifier(0xDF, 0x94, 0x64);
inline const Ber::BerTag ServiceData(0xBF, 0x81, 0x16);
inline const Ber::BerTag ServiceTransactionIdentifier(0xDF, 0x21);
inline const Ber::BerTag TerminalIdentifier(0x9F, 0x1C);
inline const Ber::BerTag TerminalModel(0xDF, 0x05);
inline const Ber::BerTag TerminalSerialNumber(0x9F, 0x1E);
inline const Ber::BerTag TicketData(0xBF, 0x81, 0x08);
inline const Ber::BerTag TicketText(0xDF, 0x17);
inline const Ber::BerTag VerificationMethod(0x9F, 0x34);

} // namespace tags
} // namespace oxa
