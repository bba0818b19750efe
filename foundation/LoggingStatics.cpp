#include "foundation/LoggingStatics.h"

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

namespace vorsam {

void buildLoggingStatics()
{
    QLoggingCategory::defaultCategory();
    // Qt's own message handler formats each message after a pattern it
    // makes for the first one.
    qFormatLogMessage(QtWarningMsg, QMessageLogContext(), QString());
}

} // namespace vorsam
