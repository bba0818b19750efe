#pragma once

#include "common/ECTError.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequest.h"
#include "engine/core/JsonZUVAResponse.h"
#include "simterminal/SimMessage.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <string>

namespace retailtest {

using testsupport::Bytes;
using testsupport::SimTlv;
using testsupport::toHex;

inline QByteArray bytesOf(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The settings at their defaults, then the given members replace all of them
// when settings is not empty (as zuva_setSettings does).
inline std::shared_ptr<oxa::OXAEnvironment> environmentWith(const QJsonObject& settings = QJsonObject())
{
    std::shared_ptr<oxa::OXAEnvironment> environment = oxa::makeOXAEnvironment();
    if (!settings.isEmpty())
        environment->update(QJsonObject{{"serviceSettings", settings}});
    return environment;
}

// The default settings with one member replaced, or left out when value is undefined.
inline QJsonObject defaultSettingsWith(const QString& key, const QJsonValue& value = QJsonValue::Undefined)
{
    QJsonObject settings = oxa::makeOXAEnvironment()->toJson().value("serviceSettings").toObject();
    if (value.isUndefined())
        settings.remove(key);
    else
        settings.insert(key, value);
    return settings;
}

inline QJsonObject transactionDocument(const QJsonObject& transaction)
{
    return QJsonObject{{"transaction", transaction}};
}

inline std::string bodyHex(oxa::JsonTransactionRequest& request, int sequence, const QJsonObject& document)
{
    QByteArray body;
    request.prepareZUVABody(sequence, document, body);
    return toHex(Bytes(body.begin(), body.end()));
}

// Expects the request to refuse the document, sending nothing, with the error
// code and cause; returns the refusal's "reason".
inline std::string expectRefusal(oxa::JsonTransactionRequest& request, const QJsonObject& document, int cause = 15,
                                 ect::ECTErrorCode code = ect::ECTErrorCode::Technical_Issue)
{
    SCOPED_TRACE(QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString());
    QByteArray body;
    try {
        request.prepareZUVABody(1, document, body);
        ADD_FAILURE() << "no ECTError";
    } catch (const ect::ECTError& error) {
        EXPECT_TRUE(body.isEmpty());
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(error.causeCode() ? static_cast<int>(*error.causeCode()) : 0, cause);
        const auto extra = error.extraInformationData();
        const auto reason = extra.find("reason");
        return reason == extra.end() ? std::string() : reason->second;
    }
    return std::string();
}

// The "result" the response makes of a reply of the given type.
template <typename Response>
QJsonObject resultOf(Response&& response, const std::string& type, const std::vector<SimTlv>& elements)
{
    QJsonDocument document;
    response.handleResponse(bytesOf(testsupport::SimMessage::buildBody(type, 7, elements)), document, {});
    return document.object().value("result").toObject();
}

inline SimTlv element(const std::string& hexTag, const std::vector<SimTlv>& children)
{
    return SimTlv::constructed(testsupport::fromHex(hexTag), children);
}

// A primitive element whose value is the encoding of the given elements.
inline SimTlv holding(const std::string& hexTag, const std::vector<SimTlv>& elements)
{
    Bytes value;
    for (const SimTlv& held : elements) {
        const Bytes encoded = held.encode();
        value.insert(value.end(), encoded.begin(), encoded.end());
    }
    return SimTlv::primitive(testsupport::fromHex(hexTag), value);
}

} // namespace retailtest
