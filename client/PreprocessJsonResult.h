#pragma once

#include "common/ECTError.h"

#include <boost/optional.hpp>
#include <json/value.h>

#include <string>

namespace ect {

// Parses a result text of the C interface into document. True when it holds an
// object "result" and no object "error". Otherwise false with error set: the
// error the object "error" describes, or code 2 cause 16 for a text that is no
// JSON, has neither object, or carries an error member that cannot be read.
// name (the service) does not change the outcome. Never throws.
bool PreprocessJsonResult(const std::string& name, const std::string& text, Json::Value& document,
                          boost::optional<ECTError>& error);

// The error described by document's object "error": an incident code wins
// over a rejection code, which wins over "code"/"causeCode"; a repeated
// extra-information key keeps its first value. Throws the JSON library's
// exception for a member of a type it cannot convert.
ECTError MakeErrorFromJson(const Json::Value& document);

} // namespace ect
