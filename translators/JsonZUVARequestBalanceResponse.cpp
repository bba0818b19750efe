#include "translators/JsonZUVARequestBalanceResponse.h"

#include "encoding/ECTCurrencyManager.h"
#include "encoding/StringUtils.h"
#include "encoding/ZUVAUtils.h"
#include "translators/ZUVATags.h"

#include <QJsonArray>

#include <cmath>
#include <stdexcept>

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

// The total is one big-endian binary number of minor units, not packed decimal.
double majorUnits(Ber::BerTlv const& total, int decimals)
{
    const std::string hex = total.hexValue();
    bool isNumber = hex.empty();
    const qulonglong minorUnits = hex.empty() ? 0 : QString::fromStdString(hex).toULongLong(&isNumber, 16);
    if (!isNumber)
        throw std::invalid_argument("financial counter total of " + std::to_string(total.value.length())
                                    + " bytes is unreadable");
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
    const auto services = Ber::getValueAsHexaString(counter, AccountedServices);
    fields.insert(QStringLiteral("financialCounterAccountedServices"),
                  QString::fromStdString(StringUtils::convertHexaToBinary(services ? services->toStdString() : "")));
    insertCurrencyAndTotal(counter, fields);
    return fields;
}

// Without a currency there is no total; with an unknown one the total is 0.
void JsonZUVARequestBalanceResponse::insertCurrencyAndTotal(Ber::BerTlv const& counter, QJsonObject& fields)
{
    const auto code = Ber::getValue(counter, CounterCurrency);
    if (!code)
        return;
    const auto currency = ECTCurrencyManager::shared().currencyWithZuvaCode(code->hexValue());
    const auto total = Ber::getValue(counter, CumulativeTotal);
    fields.insert(kCurrencyKey, currency ? QString::fromStdString(currency->code) : QString());
    fields.insert(kTotalKey, currency && total ? majorUnits(*total, currency->decimals) : 0.0);
}

} // namespace oxa
