#include "foundation/SharedQtLibrary.h"

namespace vorsam {

// Kept apart from its caller so that a host's definition can take its place.
void cleanupQtApp(std::unique_ptr<QCoreApplication>&)
{
}

} // namespace vorsam
