#pragma once

#include "engine/base/OXAEnvironment.h"

#include <QMap>

#include <mutex>
#include <shared_mutex>

namespace oxa {

class OXAEnvironmentImpl : public OXAEnvironment {
public:
    void update(QJsonObject const& settings) override;
    QJsonObject toJson() const override;
    QVariant get(QString const& key) const override;

    // Stores one value and passes it on to the certification log.
    void set(QString const& key, QVariant const& value);

private:
    using Values = QMap<QString, QVariant>;

    static void forwardToCertificationLog(QString const& key, QVariant const& value);

    // Serialises writers so the log receives each update's keys as one sequence.
    std::mutex writeMutex_;
    // Readers see either the old or the new set of values, never a half-filled one.
    mutable std::shared_mutex valuesMutex_;
    Values values_;
};

} // namespace oxa
