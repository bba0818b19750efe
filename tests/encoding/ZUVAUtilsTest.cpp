#include "encoding/ZUVAUtils.h"

#include "TestBytes.h"
#include "encoding/ECTCurrencyManager.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using encodingtest::berData;
using encodingtest::hexOf;

namespace {

Ber::BerTag const kGroup(0xBF, 0x81, 0x16);
Ber::BerTag const kField(0xDF, 0x21);

// F0 { BF8116 { DF21 = value } }
Ber::BerTlv treeWith(char const* valueHex)
{
    Ber::BerTlv group(kGroup);
    group.addData(kField, berData(valueHex));
    Ber::BerTlv root(Ber::BerTag(0xF0));
    root.addData(group);
    return root;
}

// The inserters that take a tag and a sub-tag.
using Insert = bool (*)(QString const&, Ber::BerTag const&, Ber::BerTag const&, Ber::BerTlv const&, QJsonObject&);

QJsonObject inserted(Insert insert, char const* valueHex)
{
    QJsonObject json;
    EXPECT_TRUE(insert("key", kGroup, kField, treeWith(valueHex), json));
    return json;
}

} // namespace

TEST(ZUVAUtils, datesFromPackedDigitsOrHexadecimalText)
{
    EXPECT_EQ(QJsonValue("2023-12-31-23-59-59"), inserted(Ber::jsonInsertOptTagDate, "20231231235959").value("key"));
    EXPECT_FALSE(inserted(Ber::jsonInsertOptTagDate, "2023123123595900").contains("key"));
    EXPECT_FALSE(inserted(Ber::jsonInsertOptTagDate, "00231231235959").contains("key"));
    EXPECT_EQ(QJsonValue("2023-12-31-23-59-59"),
              inserted(Ber::jsonInsertOptTagHexForDate, "20231231235959").value("key"));
    // Short values are padded with blanks up to each dash.
    EXPECT_EQ(QJsonValue("2023-  -  -  -  -"), inserted(Ber::jsonInsertOptTagHexForDate, "2023").value("key"));

    QJsonObject json;
    EXPECT_TRUE(Ber::jsonInsertOptTagDate("key", kField, treeWith("20231231235959"), json));
    EXPECT_EQ(QJsonValue("2023-12-31-23-59-59"), json.value("key"));
    Ber::BerTlvs const list(std::vector<Ber::BerTlv>{treeWith("20240102030405")});
    EXPECT_TRUE(Ber::jsonInsertOptTagHexForDate("key", kField, list, json));
    EXPECT_EQ(QJsonValue("2024-01-02-03-04-05"), json.value("key"));
}

TEST(ZUVAUtils, cardTypeFlags)
{
    QJsonObject const expected{{"type", "80"},           {"isContactless", true},      {"isMagneticStripe", false},
                               {"isIccEmv", false},      {"isIccNonEmv", false},       {"isBarCode", false},
                               {"isManualEntry", false}, {"isSynchronousChip", false}, {"isAsynchronousChip", false}};
    EXPECT_EQ(expected, inserted(Ber::jsonInsertOptCardType, "80").value("key").toObject());
    EXPECT_TRUE(inserted(Ber::jsonInsertOptCardType, "01").value("key").toObject().value("isAsynchronousChip").toBool());
}

TEST(ZUVAUtils, cardholderVerificationMethodFlags)
{
    QJsonObject const expected{{"value", "8880"}, {"signatureRequired", true}, {"pinRequired", false},
                               {"legalIdRequired", false}, {"processedWithChip", true},
                               {"processedWithMagneticStripe", false}, {"processedWithMagneticStripeInFallbackMode", false},
                               {"processedInBackupMode", true}, {"processedWithMobile", false}};
    EXPECT_EQ(expected, inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "8880").value("key").toObject());
    QJsonObject const oneByte = inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "FF").value("key").toObject();
    EXPECT_TRUE(oneByte.value("processedWithMagneticStripeInFallbackMode").toBool());
    EXPECT_FALSE(oneByte.value("processedInBackupMode").toBool());
}

