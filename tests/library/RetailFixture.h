#pragma once

#include "SaleHost.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

namespace saletest {

using testsupport::SimMessage;
using testsupport::SimSaleReplies;
using testsupport::SimTerminal;
using testsupport::SimTlv;

struct ErrorSummary {
    int code = 0;
    int cause = 0;
    std::string incident;
    std::string rejection;
    std::string merchantText;
};

inline ErrorSummary errorOf(const QJsonObject& document)
{
    const QJsonObject error = document.value("error").toObject();
    ErrorSummary summary;
    summary.code = error.value("code").toInt();
    summary.cause = error.value("causeCode").toInt();
    summary.incident = error.value("incidentCode").toObject().value("code").toString().toStdString();
    summary.rejection = error.value("rejectionCode").toObject().value("code").toString().toStdString();
    for (const QJsonValue& entry : error.value("extraInformation").toArray()) {
        const QJsonObject pair = entry.toObject();
        if (pair.value("key") == "merchantText")
            summary.merchantText = pair.value("val").toString().toStdString();
    }
    return summary;
}

// A host with a TCP/IP service and one connected simulated terminal that
// answers the retail and card services like an approving terminal.
class RetailEndToEnd : public ::testing::Test {
protected:
    static constexpr const char* Terminal = "TERM0001";

    void SetUp() override
    {
        applySettings();
        const uint16_t port = SimTerminal::freeLoopbackPort();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(host.start(port));
        SimSaleReplies::script(terminal, Terminal);
        ASSERT_TRUE(terminal.connectTo(port));
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = Terminal;
        terminal.sendAdvice(advice);
        ASSERT_TRUE(host.waitForTerminal(Terminal));
    }

    void TearDown() override
    {
        host.stop();
        applySettings();
    }

    // The default settings with the given members replaced.
    static void applySettings(const QJsonObject& changes = QJsonObject())
    {
        QJsonObject settings{{"cardRecognitionTimeout", 45}, {"cardInfoTrailingRequestTimeout", 30},
                             {"connectionAdviceTimeout", 1500}, {"certificationModeEnabled", false},
                             {"currencyCode", "EUR"}, {"displayResultTimeout", 2}};
        for (auto change = changes.begin(); change != changes.end(); ++change)
            settings.insert(change.key(), change.value());
        zuva_setSettings(QJsonDocument(QJsonObject{{"serviceSettings", settings}}).toJson().constData());
    }

    std::shared_ptr<SaleHost::Transaction> send(const QJsonObject& transaction,
                                                std::shared_ptr<SaleHost::Transaction> record = nullptr)
    {
        const QJsonDocument document(QJsonObject{{"transaction", transaction}});
        return host.send(Terminal, document.toJson(QJsonDocument::Compact).toStdString(), std::move(record));
    }

    std::vector<SimMessage> requestsOfType(const std::string& type) const
    {
        std::vector<SimMessage> found;
        for (const SimMessage& request : terminal.requests())
            if (request.type == type)
                found.push_back(request);
        return found;
    }

    static std::string valueOf(const SimMessage& message, const std::string& hexTag)
    {
        const SimTlv* found = message.find(hexTag);
        return found ? testsupport::toHex(found->value) : std::string("absent");
    }

    SimTerminal terminal;
    SaleHost host;
};

} // namespace saletest
