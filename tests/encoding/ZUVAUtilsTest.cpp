#include "encoding/ZUVAUtils.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

using encodingtest::berData;

namespace {

Ber::BerTag const kGroup(0xBF, 0x81, 0x16);
Ber::BerTag const kField(0xDF, 0x21);

// The inserters that take a tag and a sub-tag.
using Insert = bool (*)(QString const&, Ber::BerTag const&, Ber::BerTag const&, Ber::BerTlv const&, QJsonObject&);

// What the inserter makes of F0 { BF8116 { DF21 = value } }.
QJsonValue inserted(Insert insert, char const* valueHex)
{
    Ber::BerTlv group(kGroup);
    group.addData(kField, berData(valueHex));
    QJsonObject json;
    EXPECT_TRUE(insert("key", kGroup, kField, Ber::BerTlv(Ber::BerTag(0xF0), {group}), json));
    return json.value("key");
}

} // namespace

TEST(ZUVAUtils, datesFromPackedDigitsOrHexadecimalText)
{
    EXPECT_EQ(QJsonValue("2023-12-31-23-59-59"), inserted(Ber::jsonInsertOptTagDate, "20231231235959"));
    EXPECT_TRUE(inserted(Ber::jsonInsertOptTagDate, "2023123123595900").isUndefined());
    // Short values are padded with blanks up to each dash.
    EXPECT_EQ(QJsonValue("2023-  -  -  -  -"), inserted(Ber::jsonInsertOptTagHexForDate, "2023"));
}

TEST(ZUVAUtils, cardTypeAndVerificationMethodFlags)
{
    QJsonObject const cardType{{"type", "80"},           {"isContactless", true},      {"isMagneticStripe", false},
                               {"isIccEmv", false},      {"isIccNonEmv", false},       {"isBarCode", false},
                               {"isManualEntry", false}, {"isSynchronousChip", false}, {"isAsynchronousChip", false}};
    EXPECT_EQ(cardType, inserted(Ber::jsonInsertOptCardType, "80").toObject());
    QJsonObject const method{{"value", "8880"}, {"signatureRequired", true}, {"pinRequired", false},
                             {"legalIdRequired", false}, {"processedWithChip", true},
                             {"processedWithMagneticStripe", false}, {"processedWithMagneticStripeInFallbackMode", false},
                             {"processedInBackupMode", true}, {"processedWithMobile", false}};
    EXPECT_EQ(method, inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "8880").toObject());
    QJsonObject const oneByte = inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "FF").toObject();
    EXPECT_FALSE(oneByte.value("processedInBackupMode").toBool());
}
