#pragma once

#include "client/Settings.h"
#include "client/ZUVATerminalImpl.h"
#include "common/ECTTerminalEvent.h"

#include <memory>
#include <string>

namespace ect {

// The client's objects from the C interface's documents. None throws: a text
// of the wrong shape, or a member of the wrong type, gives an empty result.

// {"environment": {"serviceSettings": {...}}}; keys left out keep their defaults.
std::unique_ptr<Settings> MakeServiceSettingsFromJSon(const std::string& text);
// The settings in force in the library; the defaults when they cannot be read.
Settings getServiceSettings();
// {"terminal": {"terminalIdentifier": ..., ...}}; empty without an identifier.
std::shared_ptr<ZUVATerminalImpl> MakeZUVATerminalFromJSon(const std::string& text);
// {"event": {"terminalIdentifier": ..., "synchronizationState": ...}}.
ECTTerminalEvent MakeTerminalEventFromJSon(const std::string& text);

} // namespace ect
