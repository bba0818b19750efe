#include "client/TakeText.h"

#include "engine/service/oxazuva.h"

#include <memory>

namespace ect {

boost::optional<std::string> takeText(char* text)
{
    const std::unique_ptr<char, void (*)(void*)> owned(text, &zuva_free);
    if (!owned)
        return boost::none;
    return std::string(owned.get());
}

} // namespace ect
