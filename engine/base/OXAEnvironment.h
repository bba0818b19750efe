#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <memory>

namespace oxa {

// The settings store: setting name to value. Safe to read from any thread
// while the host replaces it with update().
class OXAEnvironment {
public:
    virtual ~OXAEnvironment() = default;

    // Replaces every value (defaults included) by the members of "serviceSettings".
    virtual void update(QJsonObject const& settings) = 0;
    // {"serviceSettings": {...}} of the stored values.
    virtual QJsonObject toJson() const = 0;
    // The stored value, or an invalid variant when the key is absent.
    virtual QVariant get(QString const& key) const = 0;
};

// A new store holding the defaults (this also switches the certification log off).
std::unique_ptr<OXAEnvironment> makeOXAEnvironment();

// The process-wide store, created with the defaults on first use. The services
// registry and every reader share it, so the certification log and the host
// see one configuration.
std::shared_ptr<OXAEnvironment> sharedOXAEnvironment();

} // namespace oxa
