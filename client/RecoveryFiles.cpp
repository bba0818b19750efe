#include "client/RecoveryFiles.h"

#include "engine/service/oxazuva.h"

#include <json/json.h>

#include <ctime>
#include <stdexcept>

namespace ect {
namespace {

struct ZuvaFree {
    void operator()(char* text) const { zuva_free(text); }
};

std::tm localClosingDate(const std::string& text)
{
    const long long seconds = std::stoll(text, nullptr, 10);
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (static_cast<long long>(time) != seconds || !localtime_r(&time, &local))
        throw std::out_of_range("closingDate");
    return local;
}

std::shared_ptr<ZUVARecoveryFile> fileOf(const Json::Value& element)
{
    const auto text = [&element](const char* key) { return element[key].asString(); };
    const std::string acquirerId = text("acquirerId");
    const std::string terminalId = text("terminalId");
    const std::string schemeId = text("schemeId");
    const std::string batchId = text("batchId");
    const std::string closingDate = text("closingDate");
    const std::string content = text("content");
    const std::string fileName = text("fileName");
    return std::make_shared<ZUVARecoveryFile>(acquirerId, terminalId, schemeId, batchId,
                                              localClosingDate(closingDate), content, fileName);
}

} // namespace

RecoveryFiles toRecoveryFiles(char* json)
{
    const std::unique_ptr<char, ZuvaFree> owned(json);
    RecoveryFiles files;
    Json::Value root;
    if (!json || !Json::Reader().parse(json, root) || !root.isArray())
        return files;
    for (const Json::Value& element : root) {
        if (!element.isObject())
            break;
        files.push_back(fileOf(element));
    }
    return files;
}

RecoveryFiles getRecoveryFiles()
{
    return toRecoveryFiles(zuva_get_recovery_files(nullptr));
}

RecoveryFiles getRecoveryFiles(const std::string& terminalId)
{
    return toRecoveryFiles(zuva_get_recovery_files(terminalId.c_str()));
}

bool extractRecoveryFiles(const std::string& path, ZUVARecoveryFileEraseMode mode)
{
    return zuva_extract_recovery_files(nullptr, path.c_str(), mode) != 0;
}

bool extractRecoveryFiles(const std::string& terminalId, const std::string& path, ZUVARecoveryFileEraseMode mode)
{
    return zuva_extract_recovery_files(terminalId.c_str(), path.c_str(), mode) != 0;
}

} // namespace ect
