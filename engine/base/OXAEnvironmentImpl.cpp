#include "engine/base/OXAEnvironmentImpl.h"

#include "engine/base/ECTCertificationLogging.h"

namespace oxa {

void OXAEnvironmentImpl::update(QJsonObject const& settings)
{
    QJsonObject const serviceSettings = settings.value(QStringLiteral("serviceSettings")).toObject();
    Values replacement;
    for (auto member = serviceSettings.begin(); member != serviceSettings.end(); ++member)
        replacement.insert(member.key(), member.value().toVariant());

    std::lock_guard<std::mutex> writing(writeMutex_);
    {
        std::unique_lock<std::shared_mutex> exclusive(valuesMutex_);
        values_.swap(replacement);
    }
    for (auto member = serviceSettings.begin(); member != serviceSettings.end(); ++member)
        forwardToCertificationLog(member.key(), member.value().toVariant());
}

QJsonObject OXAEnvironmentImpl::toJson() const
{
    QJsonObject serviceSettings;
    {
        std::shared_lock<std::shared_mutex> shared(valuesMutex_);
        for (auto value = values_.begin(); value != values_.end(); ++value)
            serviceSettings.insert(value.key(), QJsonValue::fromVariant(value.value()));
    }
    return QJsonObject{{QStringLiteral("serviceSettings"), serviceSettings}};
}

QVariant OXAEnvironmentImpl::get(QString const& key) const
{
    std::shared_lock<std::shared_mutex> shared(valuesMutex_);
    return values_.value(key);
}

void OXAEnvironmentImpl::set(QString const& key, QVariant const& value)
{
    std::lock_guard<std::mutex> writing(writeMutex_);
    {
        std::unique_lock<std::shared_mutex> exclusive(valuesMutex_);
        values_.insert(key, value);
    }
    forwardToCertificationLog(key, value);
}

void OXAEnvironmentImpl::forwardToCertificationLog(QString const& key, QVariant const& value)
{
    ECTCertificationLogging::sharedInstance().updateEnvironment(key.toUtf8().toStdString(),
                                                                value.toString().toUtf8().toStdString());
}

} // namespace oxa
