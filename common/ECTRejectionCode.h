#pragma once

#include <string>

namespace ect {

// A rejection code as the terminal reported it, unchecked.
class ECTRejectionCode {
public:
    explicit ECTRejectionCode(std::string code);

    std::string code() const;

private:
    std::string code_;
};

} // namespace ect
