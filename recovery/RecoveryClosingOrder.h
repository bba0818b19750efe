#pragma once

#include "recovery/RecoveryFileUtil.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace ect {

// The order in which the library closed the files of the closed folder,
// kept as their names, one a line, in a file of its own. The closing dates
// the files carry come from the terminals' clocks, which may lag or be set
// back, so they can't tell which file was closed first.
class RecoveryClosingOrder {
public:
    RecoveryClosingOrder(const QString& path, const QString& closedFolder);

    // Puts the name last, before a file is moved there, and forgets the
    // names no longer in the closed folder. False, with a warning, when the
    // order can't be written.
    bool add(const QString& closedName) const;
    // The file closed first among those given (not empty): files the order
    // doesn't know (closed by an earlier version) before all others, by
    // closing date, then the known ones in their order.
    std::shared_ptr<ZUVARecoveryFileImpl> first(const RecoveryFileUtil::StoredFiles& closed) const;

private:
    QStringList names() const;

    const QString path_;
    const QString closedFolder_;
};

} // namespace ect
