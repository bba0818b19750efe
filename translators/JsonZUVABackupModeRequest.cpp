#include "translators/JsonZUVABackupModeRequest.h"

#include "encoding/ECTDataZUVADigital.h"
#include "translators/OperationRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag CardBrandData(0xBF, 0x81, 0x05);
const Ber::BerTag CardBrandEntry(0xEF);
const Ber::BerTag EntryNumber(0xDF, 0x90, 0x15);
const Ber::BerTag CardBrandIdentifier(0xDF, 0x5F);
const Ber::BerTag ApplicationCode(0xDF, 0x90, 0x0F);
const char* const DefaultCardBrand = "1234";

} // namespace

JsonZUVABackupModeRequest::JsonZUVABackupModeRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAOperationRequest(std::move(environment))
{
}

void JsonZUVABackupModeRequest::addOperationDetails(const QJsonObject& transaction, Ber::BerTlvBuilder& builder)
{
    // Brand codes are decimal; other text would be packed into wrong digits.
    const std::string brand =
        OperationRequestFields::decimalField(transaction, QStringLiteral("cardBrandIdentifier"))
            .value_or(DefaultCardBrand);
    Ber::BerTlv entry(CardBrandEntry);
    entry.addData(EntryNumber, ECTDataZUVADigital("01"));
    entry.addData(CardBrandIdentifier, ECTDataZUVADigital(brand));
    entry.addData(ApplicationCode, ECTDataZUVADigital("0035"));
    Ber::BerTlv brandData(CardBrandData);
    brandData.addData(entry);
    Ber::BerTlv cardData(CardData);
    cardData.addData(brandData);
    builder.addBerTlv(cardData);
}

} // namespace oxa
