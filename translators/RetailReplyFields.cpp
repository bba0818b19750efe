#include "translators/RetailReplyFields.h"

#include "encoding/ECTCurrencyManager.h"
#include "encoding/ZUVAUtils.h"
#include "encoding/ber/BerTlvParser.h"
#include "engine/base/HostWarning.h"
#include "translators/ZUVATags.h"

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& BrandName = *new Ber::BerTag(0xDF, 0x7E);
const Ber::BerTag& AuthorizedAmount = *new Ber::BerTag(0xDF, 0x26);

} // namespace

boost::optional<Ber::BerTlvs> RetailReplyFields::heldElements(boost::optional<Ber::BerTlv> const& holder)
{
    if (!holder)
        return boost::none;
    return Ber::BerTlvParser().parseTlvs(holder->value);
}

void RetailReplyFields::insertCardFields(Ber::BerTlv const& root, QJsonObject& fields)
{
    Ber::jsonInsertOptCardType(QStringLiteral("cardType"), CardDescription, CardTypeTag, root, fields);
    insertClippedPan(root, fields);
    insertCardBrand(root, fields);
}

void RetailReplyFields::insertCardBrand(Ber::BerTlv const& root, QJsonObject& fields)
{
    Ber::jsonInsertOptTagHex(QStringLiteral("cardBrandIdentifier"), CardData, BrandIdentifier, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("cardBrandName"), CardData, BrandName, root, fields);
}

void RetailReplyFields::insertPaymentFields(Ber::BerTlv const& root, QJsonObject& fields)
{
    Ber::jsonInsertOptTagText(QStringLiteral("language"), ServiceData, Language, root, fields);
    Ber::jsonInsertOptCardHolderVerificationMethod(QStringLiteral("cardHolderVerificationMethod"), ServiceData,
                                                   VerificationMethod, root, fields);
    Ber::jsonInsertOptTagDouble(QStringLiteral("authorizedAmount"), ServiceData, AuthorizedAmount, root, fields);
    insertCurrency(QStringLiteral("currency"), Ber::getValue(root, ServiceData, CurrencyCode), fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("saleSystemActionIdentifier"), SaleSystemActionIdentifier, root,
                             fields);
}

bool RetailReplyFields::holdsAuthorizedAmount(Ber::BerTlv const& root)
{
    return Ber::getValue(root, ServiceData, AuthorizedAmount).has_value();
}

boost::optional<std::int64_t> RetailReplyFields::authorizedAmount(Ber::BerTlv const& root)
{
    const boost::optional<Ber::BerTlv> found = Ber::getValue(root, ServiceData, AuthorizedAmount);
    return found ? boost::make_optional(found->value.ZUVALongValue()) : boost::none;
}

boost::optional<ECTCurrency> RetailReplyFields::insertCurrency(QString const& key,
                                                              boost::optional<Ber::BerTlv> const& element,
                                                              QJsonObject& fields)
{
    if (!element)
        return boost::none;
    const auto currency = ECTCurrencyManager::shared().currencyWithZuvaCode(element->hexValue());
    if (currency) {
        fields.insert(key, QString::fromStdString(currency->code));
    } else {
        HostWarning::report("Reply field " + key.toStdString() + " holds a currency the library does not know ("
                            + element->hexValue() + "): left out");
    }
    return currency;
}

// Inside the card data's private elements first, then in the card description.
void RetailReplyFields::insertClippedPan(Ber::BerTlv const& root, QJsonObject& fields)
{
    const auto privateElements = heldElements(Ber::getValue(root, CardData, PrivateData));
    if (privateElements && Ber::getValue(*privateElements, ClippedPan)) {
        fields.insert(QStringLiteral("clippedPAN"), *Ber::getValueAsString(*privateElements, ClippedPan));
        return;
    }
    Ber::jsonInsertOptTagText(QStringLiteral("clippedPAN"), CardDescription, ClippedPan, root, fields);
}

} // namespace oxa
