#include "engine/base/OXAEnvironment.h"

#include "engine/base/OXAEnvironmentImpl.h"

namespace oxa {

std::unique_ptr<OXAEnvironment> makeOXAEnvironment()
{
    auto environment = std::make_unique<OXAEnvironmentImpl>();
    environment->set(QStringLiteral("cardRecognitionTimeout"), 45);
    environment->set(QStringLiteral("connectionAdviceTimeout"), 1500);
    environment->set(QStringLiteral("cardInfoTrailingRequestTimeout"), 30);
    environment->set(QStringLiteral("certificationModeEnabled"), false);
    environment->set(QStringLiteral("currencyCode"), QStringLiteral("EUR"));
    environment->set(QStringLiteral("displayResultTimeout"), 2);
    return environment;
}

std::shared_ptr<OXAEnvironment> sharedOXAEnvironment()
{
    static const auto& environment = *new std::shared_ptr<OXAEnvironment>(makeOXAEnvironment());
    return environment;
}

} // namespace oxa
