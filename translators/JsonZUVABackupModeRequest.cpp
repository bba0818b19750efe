#include "translators/JsonZUVABackupModeRequest.h"

#include "encoding/ECTDataZUVADigital.h"
#include "translators/OperationRequestFields.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

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
    Ber::BerTlv entry(Entry);
    entry.addData(BrandPosition, ECTDataZUVADigital("01"));
    entry.addData(BrandIdentifier, ECTDataZUVADigital(brand));
    entry.addData(ProcessingApplication, ECTDataZUVADigital("0035"));
    Ber::BerTlv brandData(CardBrandList);
    brandData.addData(entry);
    Ber::BerTlv cardData(CardData);
    cardData.addData(brandData);
    builder.addBerTlv(cardData);
}

} // namespace oxa
