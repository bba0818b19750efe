#include "foundation/CalendarStatics.h"

#include <QCalendar>

namespace vorsam {

void buildCalendarStatics()
{
    QCalendar();
}

} // namespace vorsam
