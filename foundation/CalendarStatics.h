#pragma once

namespace vorsam {

// Makes what Qt makes for the first date a thread writes as text (its
// calendars), which would otherwise be made on the first library thread that
// records a sale: the exit destroys statics in the reverse order of their
// making.
void buildCalendarStatics();

} // namespace vorsam
