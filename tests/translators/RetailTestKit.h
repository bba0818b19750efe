#pragma once

#include "common/ECTError.h"
#include "engine/base/OXAEnvironment.h"
#include "engine/core/JsonTransactionRequest.h"
#include "engine/core/JsonZUVAResponse.h"
#include "simterminal/SimMessage.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <memory>
#include <string>

namespace retailtest {

using testsupport::Bytes;
using testsupport::SimTlv;
using testsupport::fromHex;
using testsupport::toHex;

inline QByteArray bytesOf(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

inline std::string hexOf(const QByteArray& bytes)
{
    return toHex(Bytes(bytes.begin(), bytes.end()));
}

inline std::string hexByte(int value)
{
    return toHex(Bytes{static_cast<uint8_t>(value)});
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
    return hexOf(body);
}

// The error a request fails with; fails the test when it does not throw one.
inline ect::ECTError refusalOf(oxa::JsonTransactionRequest& request, const QJsonObject& document)
{
    QByteArray body;
    try {
        request.prepareZUVABody(1, document, body);
    } catch (const ect::ECTError& error) {
        EXPECT_TRUE(body.isEmpty());
        return error;
    }
    ADD_FAILURE() << "no ECTError for " << QJsonDocument(document).toJson(QJsonDocument::Compact).constData();
    return ect::ECTError(ect::ECTErrorCode::No_WIFI);
}

inline int causeOf(const ect::ECTError& error)
{
    return error.causeCode() ? static_cast<int>(*error.causeCode()) : 0;
}

// Expects the request to refuse the document with the error code and cause.
inline void expectRefusal(oxa::JsonTransactionRequest& request, const QJsonObject& document, int cause = 15,
                          ect::ECTErrorCode code = ect::ECTErrorCode::Technical_Issue)
{
    SCOPED_TRACE(QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString());
    const ect::ECTError error = refusalOf(request, document);
    EXPECT_EQ(error.code(), code);
    EXPECT_EQ(causeOf(error), cause);
}

// The text of a std::invalid_argument the request fails with, "" when none.
inline std::string invalidArgumentOf(oxa::JsonTransactionRequest& request, const QJsonObject& document)
{
    QByteArray body;
    try {
        request.prepareZUVABody(1, document, body);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return std::string();
}

inline QJsonObject translate(oxa::JsonZUVAResponse& response, const std::string& type,
                             const std::vector<SimTlv>& elements, QJsonDocument document = QJsonDocument())
{
    response.handleResponse(bytesOf(testsupport::SimMessage::buildBody(type, 7, elements)), document, {});
    return document.object();
}

inline SimTlv element(const std::string& hexTag, const std::vector<SimTlv>& children)
{
    return SimTlv::constructed(fromHex(hexTag), children);
}

// A primitive element whose value is the encoding of the given elements.
inline SimTlv holding(const std::string& hexTag, const std::vector<SimTlv>& elements)
{
    Bytes value;
    for (const SimTlv& held : elements) {
        const Bytes encoded = held.encode();
        value.insert(value.end(), encoded.begin(), encoded.end());
    }
    return SimTlv::primitive(fromHex(hexTag), value);
}

} // namespace retailtest
