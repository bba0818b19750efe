#pragma once

#include "translators/JsonZUVAServiceResponse.h"

namespace oxa {

// The MMI operation reply ("Rm"): which key ended the operation, from
// DF9426 inside BF8109: 00 OK ("okKeyPressed"), 01 stop ("stopKeyPressed"),
// FF aborted ("aborted"); any other value sets none of the three.
class JsonZUVAMMIOperationResponse : public JsonZUVAServiceResponse {
public:
    JsonZUVAMMIOperationResponse();
    // The key that ended it, as "key OK": an entry the host never heard of
    // may have been accepted at the terminal.
    QString describeLateReply(QByteArray const& body) const override;
    bool mustReachHost(QByteArray const& body) const override;

protected:
    // Throws when the reply does not say how the operation ended, rather
    // than report three false flags the terminal never sent.
    QJsonObject readResult(const QByteArray& body) const override;

private:
    std::string endingKey(QByteArray const& body) const;
};

} // namespace oxa
