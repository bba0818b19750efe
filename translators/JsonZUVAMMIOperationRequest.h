#pragma once

#include "translators/JsonZUVAMMIRequest.h"

namespace oxa {

// One display and keyboard operation ("Cm" to destination 00 05): up to two
// stored texts chosen by identifier and language, up to four lines of free
// text, and an encrypted PIN block for a PIN entry.
class JsonZUVAMMIOperationRequest : public JsonZUVAMMIRequest {
public:
    explicit JsonZUVAMMIOperationRequest(std::shared_ptr<OXAEnvironment> environment);

    // A free-text line holds at most this many bytes of UTF-8.
    static constexpr int kMaximumFreeTextLength = 20;

protected:
    void addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder) override;
};

} // namespace oxa
