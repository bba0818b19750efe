#include "translators/JsonZUVARequestBalanceResponse.h"

#include "encoding/StringUtils.h"
#include "encoding/ZUVAUtils.h"
#include "engine/base/HostWarning.h"
#include "translators/RetailReplyFields.h"
#include "translators/ZUVATags.h"

#include <QJsonArray>

#include <boost/optional.hpp>

#include <cmath>

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& Counters = *new Ber::BerTag(0xFC);
const Ber::BerTag& AcquirerLabel = *new Ber::BerTag(0xDF, 0x69);
const Ber::BerTag& CounterIdentifier = *new Ber::BerTag(0xC0);
const Ber::BerTag& CounterCurrency = *new Ber::BerTag(0xC1);
const Ber::BerTag& CounterLabel = *new Ber::BerTag(0xC2);
const Ber::BerTag& TransactionCount = *new Ber::BerTag(0xC3);
const Ber::BerTag& CumulativeTotal = *new Ber::BerTag(0xC4);
const Ber::BerTag& AccountedServices = *new Ber::BerTag(0xC7);
const Ber::BerTag& PeriodOpening = *new Ber::BerTag(0xC8);
const Ber::BerTag& PeriodClosing = *new Ber::BerTag(0xC9);

const QString& kCurrencyKey = *new QString(QStringLiteral("financialCounterCurrency"));
const QString& kTotalKey = *new QString(QStringLiteral("financialCounterCumulativeTotalAmount"));

constexpr int kDecimalsOfAnUnknownCurrency = 2;

// The total is one big-endian binary number of minor units, not packed decimal.
boost::optional<double> majorUnits(Ber::BerTlv const& total, int decimals)
{
    const std::string hex = total.hexValue();
    bool isNumber = false;
    const qulonglong minorUnits = QString::fromStdString(hex).toULongLong(&isNumber, 16);
    if (!isNumber) {
        HostWarning::report("Reply field " + kTotalKey.toStdString() + " of " + std::to_string(total.value.length())
                            + " bytes is no number the library can read: left out");
        return boost::none;
    }
    return static_cast<double>(minorUnits) / std::pow(10.0, decimals);
}

} // namespace

JsonZUVARequestBalanceResponse::JsonZUVARequestBalanceResponse()
    : JsonZUVAServiceResponse(QStringLiteral("Rb"))
{
}

QJsonObject JsonZUVARequestBalanceResponse::readResult(QByteArray const& body) const
{
    const Ber::BerTlv root = parseBody(body);
    QJsonObject fields;
    Ber::jsonInsertOptTagText(QStringLiteral("terminalIdentifier"), BalanceData, TerminalIdentifier, root, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("acquirerIdentifier"), AcquirerData, AcquirerIdentifier, root, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("acquirerLabelName"), AcquirerData, AcquirerLabel, root, fields);
    if (const auto counters = Ber::getValue(root, BalanceData, Counters)) {
        QJsonArray infos;
        for (const Ber::BerTlv& counter : counters->children)
            infos.append(counterFields(counter));
        fields.insert(QStringLiteral("financialCounterInfos"), infos);
    }
    return fields;
}

QJsonObject JsonZUVARequestBalanceResponse::counterFields(Ber::BerTlv const& counter)
{
    QJsonObject fields;
    Ber::jsonInsertOptTagHex(QStringLiteral("financialCounterIdentifier"), CounterIdentifier, counter, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("financialCounterLabelName"), CounterLabel, counter, fields);
    Ber::jsonInsertOptTagInt(QStringLiteral("financialCounterNumberOfTransactions"), TransactionCount, counter,
                             fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("financialCounterPeriodNumber"), PeriodNumber, counter, fields);
    Ber::jsonInsertOptTagHex(QStringLiteral("financialCounterCardBrandIdentifier"), BrandIdentifier, counter, fields);
    Ber::jsonInsertOptTagText(QStringLiteral("financialCounterTerminalIdentifier"), TerminalIdentifier, counter,
                              fields);
    Ber::jsonInsertOptTagDate(QStringLiteral("financialCounterPeriodOpeningDate"), PeriodOpening, counter, fields);
    Ber::jsonInsertOptTagDate(QStringLiteral("financialCounterPeriodClosingDate"), PeriodClosing, counter, fields);
    if (const auto services = Ber::getValueAsHexaString(counter, AccountedServices))
        fields.insert(QStringLiteral("financialCounterAccountedServices"),
                      QString::fromStdString(StringUtils::convertHexaToBinary(services->toStdString())));
    insertCurrencyAndTotal(counter, fields);
    return fields;
}

// Without a currency there is no total. A currency the library does not know
// is left out and its total read with two decimals, as a sale's amount is.
void JsonZUVARequestBalanceResponse::insertCurrencyAndTotal(Ber::BerTlv const& counter, QJsonObject& fields)
{
    const auto code = Ber::getValue(counter, CounterCurrency);
    if (!code)
        return;
    const auto currency = RetailReplyFields::insertCurrency(kCurrencyKey, code, fields);
    const auto total = Ber::getValue(counter, CumulativeTotal);
    if (!total)
        return;
    if (const auto amount = majorUnits(*total, currency ? currency->decimals : kDecimalsOfAnUnknownCurrency))
        fields.insert(kTotalKey, *amount);
}

} // namespace oxa
