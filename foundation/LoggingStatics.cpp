#include "foundation/LoggingStatics.h"

#include <QLoggingCategory>

namespace vorsam {

void buildLoggingStatics()
{
    QLoggingCategory::defaultCategory();
}

} // namespace vorsam
