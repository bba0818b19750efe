#include "encoding/ZUVAUtils.h"

#include "encoding/TerminalText.h"

#include "TestBytes.h"
#include "support/TerminalTextCases.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// A text with a well-formed UTF-8 letter is read as UTF-8, its bad bytes as
// U+FFFD, unless its bad bytes tell ISO 8859-1; any other as ISO 8859-1; zero
// bytes are dropped.
TEST(ZUVAUtils, textsReadAsUtf8OrElseIso88591)
{
    QString const bad(QChar::ReplacementCharacter);
    std::vector<std::pair<std::string, QString>> rows = {
        // Cut inside its last letter, with a stray byte, cut before a whole letter.
        {"4372C3A86D652031322C353020E282", QString::fromUtf8("Cr\xC3\xA8me 12,50 ") + bad + bad},
        {"C3A9FF41", QString::fromUtf8("\xC3\xA9") + bad + "A"},  {"E282C3A9", bad + bad + QString::fromUtf8("\xC3\xA9")},
        {"41C280", QString::fromUtf8("A\xC2\x80")},             {"80C280", bad + QString::fromUtf8("\xC2\x80")},
        // Its one letter last in a long text; a symbol after a letter is no UTF-8.
        {"4C696E65203132203A20C3A9", QString::fromUtf8("Line 12 : \xC3\xA9")},
        {"4C696E65203132203A2041B0", QString::fromLatin1("Line 12 : A\xB0")},
        {"434146C3A9", QString::fromUtf8("CAF\xC3\xA9")},      {"434146E9", QString::fromUtf8("CAF\xC3\xA9")},
        {"E282AC", QString::fromUtf8("\xE2\x82\xAC")},        {"F09F9880", QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"41004200", "AB"},                                      {"", ""},
        {"C3", QString::fromLatin1("\xC3")},                     {"C080", QString::fromLatin1("\xC0\x80")},
        {"E080AF", QString::fromLatin1("\xE0\x80\xAF")},        {"EDA080", QString::fromLatin1("\xED\xA0\x80")},
        {"F4908080", QString::fromLatin1("\xF4\x90\x80\x80")}, {"F5808080", QString::fromLatin1("\xF5\x80\x80\x80")},
        {"E282", QString::fromLatin1("\xE2\x82")},              {"E28241", QString::fromLatin1("\xE2\x82" "A")},
        {"80", QString::fromLatin1("\x80")},                     {"EDBFBF", QString::fromLatin1("\xED\xBF\xBF")},
        {"F48FBFBF", QString::fromUtf8("\xF4\x8F\xBF\xBF")},   {"E0A080", QString::fromUtf8("\xE0\xA0\x80")},
        {"F0908080", QString::fromUtf8("\xF0\x90\x80\x80")},   {"F08F8080", QString::fromLatin1("\xF0\x8F\x80\x80")},
        // Cut after three bytes of a four-byte letter ("\xF0\xA0\xAE\x9F"), none a C1 control.
        {"C3A920F0A0AE", QString::fromUtf8("\xC3\xA9 ") + bad + bad + bad},
        // A byte-order mark is left out, as Qt does.
        {"EFBBBF43C3A9", QString::fromUtf8("C\xC3\xA9")},
    };
    for (auto const& text : testsupport::terminalTextCases())
        rows.emplace_back(QByteArray::fromStdString(text.bytes).toHex().toStdString(), text.read);
    // A letter at each offset of the words a long text is scanned in.
    std::string const digits = "0123456789ABCDEFGHIJ";
    for (std::size_t at = 0; at <= digits.size(); ++at) {
        std::string const text = std::string(digits).insert(at, "\xC3\xA9");
        rows.emplace_back(QByteArray::fromStdString(text).toHex().toStdString(), QString::fromUtf8(text.c_str()));
    }
    for (auto const& row : rows)
        EXPECT_EQ(QJsonValue(row.second), inserted(Ber::jsonInsertOptTagText, row.first.c_str())) << row.first;
}

// Whatever the bytes, a text reads as Qt reads them in one code or the other,
// in UTF-8 when they are UTF-8: every text of one or two bytes, and those of
// three and four bytes made of ones that start, end or break letters.
TEST(ZUVAUtils, aTextReadsAsQtReadsItInOneCode)
{
    std::vector<std::string> texts;
    for (int first = 0; first < 256; ++first) {
        texts.emplace_back(1, static_cast<char>(first));
        for (int second = 0; second < 256; ++second)
            texts.push_back({static_cast<char>(first), static_cast<char>(second)});
    }
    std::string const some = "\x41\x80\x9F\xA0\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF";
    for (char const a : some)
        for (char const b : some)
            for (char const c : some) {
                texts.push_back({a, b, c});
                for (char const d : some)
                    texts.push_back({a, b, c, d});
            }
    for (std::string const& text : texts) {
        int const size = static_cast<int>(text.size());
        QString const utf8 = QString::fromUtf8(text.data(), size);
        QString const read = oxa::terminalText(text.data(), text.size());
        bool const isUtf8 = utf8.toUtf8().toStdString() == text;
        if (isUtf8 ? read != utf8 : read != utf8 && read != QString::fromLatin1(text.data(), size))
            ADD_FAILURE() << QByteArray::fromStdString(text).toHex().toStdString();
    }
}

// Only the bytes given count: a sequence the size cuts short is no UTF-8.
TEST(ZUVAUtils, aTextEndsWhereItsSizeSays)
{
    char const euro[] = "\xE2\x82\xAC";
    EXPECT_EQ(QString::fromLatin1("\xE2\x82"), oxa::terminalText(euro, 2));
    EXPECT_EQ(QString::fromUtf8(euro), oxa::terminalText(euro, 3));
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
