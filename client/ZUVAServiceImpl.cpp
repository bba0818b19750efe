#include "client/ZUVAServiceImpl.h"

#include "client/ConnectedTerminalsList.h"
#include "client/JsonObjectFactory.h"
#include "client/ServiceSession.h"
#include "client/TransactionHelpers.h"
#include "engine/service/oxazuva.h"

#include <algorithm>

namespace ect {

ZUVAServiceImpl::ZUVAServiceImpl(ZUVAServiceListener& listener, Starter starter)
    : listener_(listener), starter_(std::move(starter))
{
    settings();
}

ZUVAServiceImpl::~ZUVAServiceImpl()
{
    // Nothing else could stop these services, and their listener may be gone
    // by the time ect::cleanup would.
    stopService();
}

void ZUVAServiceImpl::startService()
{
    // Listed before it starts: a stop asked for meanwhile (inside
    // onServiceStarted, say) finds it.
    const auto session = std::make_shared<ServiceSession>(listener_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sessions_.push_back(session);
    }
    if (session->start(starter_))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
}

void ZUVAServiceImpl::stopService()
{
    std::vector<std::shared_ptr<ServiceSession>> running;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running.swap(sessions_);
    }
    for (const auto& session : running)
        session->stop(); // no lock: the listener runs inside
}

Settings ZUVAServiceImpl::settings() const
{
    return getServiceSettings();
}

void ZUVAServiceImpl::updateSettings(const Settings& settings)
{
    Json::Value members(Json::objectValue);
    members["cardInfoTrailingRequestTimeout"] = Json::Int64(settings.cardInfoTrailingRequestTimeout);
    members["cardRecognitionTimeout"] = Json::Int64(settings.cardRecognitionTimeout);
    members["connectionAdviceTimeout"] = Json::Int64(settings.connectionAdviceTimeout);
    members["certificationModeEnabled"] = settings.certificationModeEnabled;
    members["currencyCode"] = settings.currencyCode;
    members["certificationFilePath"] = settings.certificationFilePath;
    members["certificationFileName"] = settings.certificationFileName;
    members["displayResultTimeout"] = Json::Int64(settings.displayResultTimeout);
    if (settings.deliveryTimeout)
        members["deliveryTimeout"] = Json::Int64(*settings.deliveryTimeout);
    if (settings.serialHeartBeatInterval)
        members["serialHeartBeatInterval"] = Json::Int64(*settings.serialHeartBeatInterval);
    Json::Value document(Json::objectValue);
    document["serviceSettings"] = members;
    zuva_set_service_settings(writeJson(document).c_str());
}

std::vector<std::shared_ptr<ZUVATerminal>> ZUVAServiceImpl::connectedTerminals()
{
    return ConnectedTerminalsList::getInstance().connectedTerminalsFor(listener_);
}

std::shared_ptr<ZUVATerminal> ZUVAServiceImpl::getTerminal(std::string terminalId)
{
    for (const auto& terminal : connectedTerminals())
        if (terminal->terminalId() == terminalId)
            return terminal;
    return nullptr;
}

} // namespace ect
