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
Ber::BerTag const kAbsent(0xDF, 0x99);

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

TEST(ZUVAUtils, lookupsAndInsertsFindTagAndSubTag)
{
    Ber::BerTlv const tree = treeWith("414243");
    Ber::BerTlvs const list(std::vector<Ber::BerTlv>{tree});
    EXPECT_EQ(QString("ABC"), *Ber::getValueAsString(tree, kField));
    EXPECT_EQ(QString("ABC"), *Ber::getValueAsString(list, kGroup, kField));
    EXPECT_EQ(QString("414243"), *Ber::getValueAsHexaString(tree, kGroup, kField));
    EXPECT_EQ(QString("414243"), *Ber::getValueAsHexaString(list, kField));
    EXPECT_FALSE(Ber::getValue(tree, kAbsent));
    EXPECT_FALSE(Ber::getValue(tree, kGroup, kAbsent));
    EXPECT_FALSE(Ber::getValue(list, kAbsent, kField));
    EXPECT_FALSE(Ber::getValueAsString(list, kAbsent));
    EXPECT_FALSE(Ber::getValueAsHexaString(tree, kAbsent, kField));

    // Absent tags insert nothing.
    QJsonObject json{{"kept", 1}};
    EXPECT_FALSE(Ber::jsonInsertOptTagText("key", kAbsent, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptTagHex("key", kGroup, kAbsent, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptTagInt("key", kAbsent, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptTagDouble("key", kAbsent, kField, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptTagDate("key", kAbsent, kField, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptTagHexForDate("key", kAbsent, Ber::BerTlvs(), json));
    EXPECT_FALSE(Ber::jsonInsertOptCardType("key", kGroup, kAbsent, tree, json));
    EXPECT_FALSE(Ber::jsonInsertOptCardHolderVerificationMethod("key", kAbsent, kField, tree, json));
    EXPECT_EQ((QJsonObject{{"kept", 1}}), json);
}

// 5000000000 minor units need more than 32 bits.
TEST(ZUVAUtils, insertsTextHexAndNumbers)
{
    struct Case { Insert insert; char const* hex; QJsonValue expected; };
    for (Case const& c : {Case{Ber::jsonInsertOptTagText, "414243", "ABC"},
                          Case{Ber::jsonInsertOptTagHex, "0A1B", "0A1B"},
                          Case{Ber::jsonInsertOptTagInt, "0045", 45}, Case{Ber::jsonInsertOptTagInt, "1A", 0},
                          Case{Ber::jsonInsertOptTagInt, "005000000000", qint64(5000000000)},
                          Case{Ber::jsonInsertOptTagDouble, "000000001250", 12.5},
                          Case{Ber::jsonInsertOptTagDouble, "", 0.0},
                          Case{Ber::jsonInsertOptTagDouble, "005000000000", 50000000.0}})
        EXPECT_EQ(c.expected, inserted(c.insert, c.hex).value("key")) << c.hex;
    EXPECT_DOUBLE_EQ(99999999.99, Ber::amountAsDouble("9999999999", 2));
    EXPECT_DOUBLE_EQ(0.0, Ber::amountAsDouble("12A0", 2));
    EXPECT_DOUBLE_EQ(1250.0, Ber::amountAsDouble("1250", 0));
}

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
    QJsonObject const expected{{"type", "80"},
                               {"isContactless", true},
                               {"isMagneticStripe", false},
                               {"isIccEmv", false},
                               {"isIccNonEmv", false},
                               {"isBarCode", false},
                               {"isManualEntry", false},
                               {"isSynchronousChip", false},
                               {"isAsynchronousChip", false}};
    EXPECT_EQ(expected, inserted(Ber::jsonInsertOptCardType, "80").value("key").toObject());
    EXPECT_TRUE(inserted(Ber::jsonInsertOptCardType, "01").value("key").toObject().value("isAsynchronousChip").toBool());
}

TEST(ZUVAUtils, cardholderVerificationMethodFlags)
{
    QJsonObject const expected{{"value", "8880"},
                               {"signatureRequired", true},
                               {"pinRequired", false},
                               {"legalIdRequired", false},
                               {"processedWithChip", true},
                               {"processedWithMagneticStripe", false},
                               {"processedWithMagneticStripeInFallbackMode", false},
                               {"processedInBackupMode", true},
                               {"processedWithMobile", false}};
    EXPECT_EQ(expected, inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "8880").value("key").toObject());
    QJsonObject const oneByte = inserted(Ber::jsonInsertOptCardHolderVerificationMethod, "FF").value("key").toObject();
    EXPECT_TRUE(oneByte.value("processedWithMagneticStripeInFallbackMode").toBool());
    EXPECT_FALSE(oneByte.value("processedInBackupMode").toBool());
}

TEST(ZUVAUtils, addsOptionalValuesOnlyWhenSet)
{
    Ber::BerTlv parent(kGroup);
    EXPECT_FALSE(Ber::addOptDataTag(boost::optional<QString>(), kField, parent));
    EXPECT_FALSE(Ber::addOptHexDataTag(boost::optional<QString>(), kField, parent));
    EXPECT_FALSE(Ber::addOptDigitalDataTag(boost::optional<std::chrono::seconds>(), 4, kField, parent));
    EXPECT_TRUE(parent.children.empty());

    oxa::Amount const amount(QStringLiteral("12.50"), *oxa::ECTCurrencyManager().currencyWithCode("EUR"));
    EXPECT_TRUE(Ber::addOptDataTag(boost::optional<QString>(QString::fromUtf8("é")), kField, parent));
    EXPECT_TRUE(Ber::addOptDataTag(boost::optional<oxa::Amount>(amount), kField, parent));
    EXPECT_TRUE(Ber::addOptHexDataTag(boost::optional<QString>(QStringLiteral("0a1B")), kField, parent));
    EXPECT_TRUE(Ber::addOptDigitalDataTag(boost::optional<std::chrono::seconds>(std::chrono::minutes(2)), 4, kField,
                                          parent));
    EXPECT_TRUE(Ber::addOptDigitalDataTag(boost::optional<qint64>(7), 2, kField, parent));
    ASSERT_EQ(5u, parent.children.size());
    EXPECT_EQ("C3 A9", hexOf(parent.children[0].value));
    EXPECT_EQ("00 00 00 00 12 50", hexOf(parent.children[1].value));
    EXPECT_EQ("0A 1B", hexOf(parent.children[2].value));
    EXPECT_EQ("01 20", hexOf(parent.children[3].value));
    EXPECT_EQ("07", hexOf(parent.children[4].value));
    EXPECT_TRUE(parent.children[4].tag == kField);
}

TEST(ZUVAUtils, readsOptionalJsonMembers)
{
    QJsonObject const json =
        QJsonDocument::fromJson(R"({"text":"abc","number":3,"half":2.5,"flag":true,"other":1})").object();
    boost::optional<QString> text(QStringLiteral("old"));
    int number = -1;
    bool flag = false;
    std::vector<std::string> seen;
    for (char const* key : {"text", "number", "half", "flag", "other", "missing"}) {
        oxa::assignOptJsonString(text, key, json);
        oxa::assignOptJsonInt(number, 9, key, json);
        oxa::assignOptJsonBool(flag, true, key, json);
        seen.push_back((text ? text->toStdString() : "none") + "/" + std::to_string(number) + "/" + (flag ? "t" : "f"));
    }
    // Members of another type read as empty, zero or false; absent ones as the default.
    EXPECT_EQ((std::vector<std::string>{"abc/0/f", "/3/f", "/0/f", "/0/t", "/1/f", "none/9/t"}), seen);
}
