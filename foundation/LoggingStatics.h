#pragma once

namespace vorsam {

// Makes what Qt makes for the first message a thread logs (its default
// category, the rules it reads and what reading them needs, the pattern its
// own handler formats messages after), which would otherwise be made on the
// first library thread that logs: the exit destroys statics in the reverse
// order of their making.
void buildLoggingStatics();

} // namespace vorsam
