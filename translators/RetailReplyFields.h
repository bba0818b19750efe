#pragma once

#include "encoding/ECTCurrency.h"
#include "encoding/ber/BerTag.h"
#include "encoding/ber/BerTlv.h"
#include "encoding/ber/BerTlvs.h"

#include <QJsonObject>
#include <QString>

#include <boost/optional.hpp>

#include <cstdint>

namespace oxa {

// Reply fields that several retail and card replies share, read the same way
// wherever they appear.
class RetailReplyFields {
public:
    // The elements held in the value of the element; none when it is absent.
    // Throws the codec's exception when the value is not a list of elements.
    static boost::optional<Ber::BerTlvs> heldElements(boost::optional<Ber::BerTlv> const& holder);

    // "cardType", "cardBrandIdentifier", "cardBrandName" and "clippedPAN" of
    // a sale reply or a delivery question.
    static void insertCardFields(Ber::BerTlv const& root, QJsonObject& fields);
    // "cardBrandIdentifier" and "cardBrandName", as every card reply carries them.
    static void insertCardBrand(Ber::BerTlv const& root, QJsonObject& fields);
    // "language", "cardHolderVerificationMethod", "authorizedAmount",
    // "currency" and "saleSystemActionIdentifier" of the same messages.
    static void insertPaymentFields(Ber::BerTlv const& root, QJsonObject& fields);

    // Whether the reply carries an authorized amount, readable or not.
    static bool holdsAuthorizedAmount(Ber::BerTlv const& root);
    // The authorized amount in minor units.
    static boost::optional<std::int64_t> authorizedAmount(Ber::BerTlv const& root);

    // The alphabetic code of the currency whose numeric code the element
    // holds; left out, with a warning, when the code is not in the currency
    // table. Gives the currency found.
    static boost::optional<ECTCurrency> insertCurrency(QString const& key, boost::optional<Ber::BerTlv> const& element,
                                                       QJsonObject& fields);

private:
    static void insertClippedPan(Ber::BerTlv const& root, QJsonObject& fields);
};

} // namespace oxa
