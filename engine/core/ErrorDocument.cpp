#include "engine/core/ErrorDocument.h"

#include "common/ResultsToJson.h"

#include <QByteArray>

#include <string>

namespace oxa {

QJsonDocument errorDocument(ect::ECTError const& error)
{
    const std::string text = jsonFromError(boost::optional<ect::ECTError>(error));
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

} // namespace oxa
