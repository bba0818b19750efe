#pragma once

#include "encoding/ber/BerData.h"
#include "encoding/ber/BerTlvBuilder.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequest.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace oxa {

// Common shape of a service's request translator: a fixed message type,
// destination and time-out, and the body F0 { E1 { D0 type, D1 sequence },
// service elements... }. A service adds its elements in addServiceElements.
class JsonZUVAServiceRequest : public JsonTransactionRequest {
public:
    // The fixed time-out plus what the terminal waits out within the
    // transaction, as the last body built asked of it.
    std::chrono::seconds getTransactionTimeout() const override;
    Ber::BerData getDestinationCode() const override;
    void prepareZUVABody(int sequenceNumber, QJsonObject request, QByteArray& body) override;

    QString messageTypeId() const { return m_messageTypeId; }

    // A time-out element as the terminal reads it: seconds in four digits.
    static Ber::BerTlv timeoutElement(const Ber::BerTag& tag, int seconds);

protected:
    JsonZUVAServiceRequest(std::shared_ptr<OXAEnvironment> environment, QString messageTypeId,
                           Ber::BerData destination, std::chrono::seconds timeout);

    // Appends the service's elements after the envelope. request is the whole
    // document object (the fields sit under "transaction"). Throws
    // std::invalid_argument or ect::ECTError for a request that cannot be sent.
    virtual void addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder);

    // The time-out element of a wait the terminal makes within this
    // transaction: the transaction's time-out grows by it.
    Ber::BerTlv waitedTimeoutElement(const Ber::BerTag& tag, int seconds);

    const std::shared_ptr<OXAEnvironment>& environment() const { return m_environment; }
    // The "transaction" object of the request (empty when absent).
    static QJsonObject transactionOf(const QJsonObject& request);

private:
    std::shared_ptr<OXAEnvironment> m_environment;
    QString m_messageTypeId;
    Ber::BerData m_destination;
    std::chrono::seconds m_timeout;
    std::atomic<int> m_waitedSeconds{0};
};

} // namespace oxa
