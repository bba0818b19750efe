// libFuzzer target: whatever body a terminal sends in a retail or card reply,
// every response translator either reads it or throws an exception that the
// response handler turns into an error result; none may crash.
#include "common/ECTError.h"
#include "engine/core/JsonTransactionRequestHandler.h"
#include "recovery/ZUVARecoveryFileManager.h"
#include "translators/JsonProductDeliveryResponse.h"
#include "translators/JsonZUVACardRecognitionResponse.h"
#include "translators/JsonZUVACardValidityCheckResponse.h"
#include "translators/JsonZUVALastTransactionResponse.h"
#include "translators/JsonZUVARequestBalanceResponse.h"
#include "translators/JsonZUVASaleTransactionResponse.h"

#include <QDir>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<oxa::JsonZUVAResponse>> translators()
{
    // Backup-mode sales found by the fuzzer go to a scratch folder.
    ect::ZUVARecoveryFileManager::instance().recoveryFileFolder(QDir::tempPath() + "/zuva-fuzz-recovery");
    std::vector<std::unique_ptr<oxa::JsonZUVAResponse>> all;
    all.emplace_back(new oxa::JsonZUVASaleTransactionResponse());
    all.emplace_back(new oxa::JsonZUVALastTransactionResponse());
    all.emplace_back(new oxa::JsonZUVACardRecognitionResponse());
    all.emplace_back(new oxa::JsonZUVACardValidityCheckResponse());
    all.emplace_back(new oxa::JsonZUVARequestBalanceResponse());
    all.emplace_back(new oxa::JsonProductDeliveryResponse(std::weak_ptr<oxa::JsonTransactionRequestHandler>()));
    return all;
}

QJsonDocument refuseDelivery(QJsonDocument)
{
    return QJsonDocument();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    static const auto all = translators();
    const QByteArray body(reinterpret_cast<char const*>(data), static_cast<int>(size));
    for (const auto& translator : all) {
        QJsonDocument document;
        try {
            translator->handleResponse(body, document, &refuseDelivery);
        } catch (std::exception const&) {
        } catch (ect::ECTError const&) {
        }
    }
    return 0;
}
