#pragma once

#include "translators/JsonZUVAServiceRequest.h"

#include <boost/optional.hpp>

namespace oxa {

// The ticket request ("Cw" to destination 00 06), body of all three ticket
// actions: with a "formattedTicketText" the terminal prints that text;
// without one it is asked for a ticket it holds (language, layout
// identifier, discrete elements, merchant or client ticket) with the
// printing options.
class JsonZUVATicketPrintAtOnceRequest : public JsonZUVAServiceRequest {
public:
    explicit JsonZUVATicketPrintAtOnceRequest(std::shared_ptr<OXAEnvironment> environment);

    // Texts are limited in characters, and the whole body must fit the
    // message's four-digit length.
    static constexpr int kMaximumTicketTextLength = 4096;

protected:
    // For the actions that print with fixed options: they replace whatever
    // "options" the request holds.
    JsonZUVATicketPrintAtOnceRequest(std::shared_ptr<OXAEnvironment> environment, QJsonObject fixedOptions);

    void addServiceElements(const QJsonObject& request, Ber::BerTlvBuilder& builder) override;

    static QJsonObject options(bool noPaperFeed, bool noPaperCut, bool copyAllowed, bool duplicates);

private:
    boost::optional<QJsonObject> m_fixedOptions;
};

} // namespace oxa
