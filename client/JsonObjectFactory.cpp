#include "client/JsonObjectFactory.h"

#include "client/TakeText.h"
#include "client/TransactionHelpers.h"
#include "client/ZUVATerminalImpl.h"
#include "engine/service/oxazuva.h"

namespace ect {

namespace {

// The member when present and not null; the JSON library throws for a type
// it cannot convert, which abandons the document.
void readCount(const Json::Value& settings, const char* key, std::int64_t& count)
{
    if (!settings[key].isNull())
        count = settings[key].asInt64();
}

void readOptionalCount(const Json::Value& settings, const char* key, boost::optional<std::int64_t>& count)
{
    if (!settings[key].isNull())
        count = static_cast<std::int64_t>(settings[key].asInt64());
}

void readSettingText(const Json::Value& settings, const char* key, std::string& text)
{
    if (!settings[key].isNull())
        text = settings[key].asString();
}

Settings settingsFrom(const Json::Value& members)
{
    Settings settings;
    readCount(members, "cardRecognitionTimeout", settings.cardRecognitionTimeout);
    readCount(members, "cardInfoTrailingRequestTimeout", settings.cardInfoTrailingRequestTimeout);
    readCount(members, "connectionAdviceTimeout", settings.connectionAdviceTimeout);
    if (!members["certificationModeEnabled"].isNull())
        settings.certificationModeEnabled = members["certificationModeEnabled"].asBool();
    readSettingText(members, "certificationFilePath", settings.certificationFilePath);
    readSettingText(members, "certificationFileName", settings.certificationFileName);
    readSettingText(members, "currencyCode", settings.currencyCode);
    readOptionalCount(members, "deliveryTimeout", settings.deliveryTimeout);
    readCount(members, "displayResultTimeout", settings.displayResultTimeout);
    readOptionalCount(members, "serialHeartBeatInterval", settings.serialHeartBeatInterval);
    return settings;
}

// The object member of a parsed document, or null.
Json::Value objectIn(const std::string& text, const char* key)
{
    Json::Value document;
    if (!parseJson(text, document) || !document.isObject() || !document[key].isObject())
        return Json::Value();
    return document[key];
}

} // namespace

std::unique_ptr<Settings> MakeServiceSettingsFromJSon(const std::string& text)
{
    try {
        const Json::Value environment = objectIn(text, "environment");
        const Json::Value& members = environment["serviceSettings"];
        if (!members.isObject())
            return nullptr;
        return std::make_unique<Settings>(settingsFrom(members));
    } catch (const std::exception&) {
        return nullptr;
    }
}

Settings getServiceSettings()
{
    const boost::optional<std::string> text = takeText(zuva_get_service_settings());
    std::unique_ptr<Settings> settings = text ? MakeServiceSettingsFromJSon(*text) : nullptr;
    return settings ? *settings : Settings();
}

std::shared_ptr<ZUVATerminalImpl> MakeZUVATerminalFromJSon(const std::string& text)
{
    try {
        const Json::Value terminal = objectIn(text, "terminal");
        if (terminal["terminalIdentifier"].isNull())
            return nullptr;
        auto textOf = [&terminal](const char* key) { return terminal.get(key, "").asString(); };
        return std::make_shared<ZUVATerminalImpl>(textOf("terminalIdentifier"), textOf("deviceType"),
                                                  textOf("terminalModel"), textOf("terminalSerialNumber"),
                                                  textOf("softwareVersion"), textOf("EMVKernelVersion"));
    } catch (const std::exception&) {
        return nullptr;
    }
}

ECTTerminalEvent MakeTerminalEventFromJSon(const std::string& text)
{
    try {
        const Json::Value event = objectIn(text, "event");
        if (!event.isObject())
            return ECTTerminalEvent();
        return ECTTerminalEvent(event.get("terminalIdentifier", "").asString(),
                                event.get("synchronizationState", "").asString());
    } catch (const std::exception&) {
        return ECTTerminalEvent();
    }
}

} // namespace ect
