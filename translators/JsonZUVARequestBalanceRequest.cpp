#include "translators/JsonZUVARequestBalanceRequest.h"

#include "common/ECTError.h"
#include "encoding/ECTDataZUVADigital.h"
#include "translators/RetailRequestFields.h"
#include "translators/ZUVATags.h"

#include <algorithm>
#include <stdexcept>

namespace oxa {

using namespace tags;

namespace {

const Ber::BerTag& BalanceAction = *new Ber::BerTag(0xDF, 0x41);

constexpr int kAcquirerIdentifierDigits = 8;

// The parsed request.
struct RequestBalanceData {
    int actionCode = 1;
    QString acquirerId;
};

struct BalanceActionName {
    const char* text;
    int code;
};

const BalanceActionName kBalanceActions[] = {
    {"BalanceTerminalClosing", 0},
    {"BalanceSiteClosing", 1},
    {"BalanceTerminalConsultation", 2},
    {"BalanceSiteConsultation", 3},
};

// The action code's value, two decimal digits packed in one byte.
const char* const kBalanceActionDigits[] = {"01", "04", "10", "40"};

int actionCodeOf(QString const& action)
{
    for (const BalanceActionName& name : kBalanceActions) {
        if (action == QLatin1String(name.text))
            return name.code;
    }
    return 1;
}

RequestBalanceData parseJson(QJsonObject const& request)
{
    const QJsonObject transaction = RetailRequestFields::requireTransaction(request);
    RequestBalanceData data;
    data.actionCode = actionCodeOf(RetailRequestFields::requireAction(transaction));
    if (!transaction.contains(QStringLiteral("acquirerId")))
        throw std::invalid_argument("Invalid JSON : no acquirerId defined");
    data.acquirerId = transaction.value(QStringLiteral("acquirerId")).toString();
    return data;
}

void checkAcquirerIdentifier(QString const& acquirerId)
{
    const bool digitsOnly = std::all_of(acquirerId.begin(), acquirerId.end(),
                                        [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (acquirerId.size() != kAcquirerIdentifierDigits || !digitsOnly)
        throw ect::ECTError(ect::ECTErrorCode::Rejected, ect::ECTErrorCauseCode::InvalidAcquirerIdentifier);
}

} // namespace

JsonZUVARequestBalanceRequest::JsonZUVARequestBalanceRequest(std::shared_ptr<OXAEnvironment> environment)
    : JsonZUVAServiceRequest(std::move(environment), QStringLiteral("Cb"), Ber::BerData{0x00, 0x02},
                             std::chrono::seconds(45))
{
}

void JsonZUVARequestBalanceRequest::addServiceElements(QJsonObject const& request, Ber::BerTlvBuilder& builder)
{
    const RequestBalanceData data = parseJson(request);
    checkAcquirerIdentifier(data.acquirerId);
    Ber::BerTlv balance(BalanceData);
    balance.addData(BalanceAction, ECTDataZUVADigital(kBalanceActionDigits[data.actionCode]));
    Ber::BerTlv acquirer(AcquirerData);
    acquirer.addData(AcquirerIdentifier, ECTDataZUVADigital(data.acquirerId.toStdString()));
    builder.addBerTlv(balance);
    builder.addBerTlv(acquirer);
}

} // namespace oxa
