#pragma once

#include <string>

namespace ect {

// An incident code as the terminal reported it ("0000" and "0001" mean success).
class ECTIncidentCode {
public:
    explicit ECTIncidentCode(std::string code);

    std::string code() const;
    bool isErrorCode() const;
    bool isSuccess() const;

private:
    std::string code_;
};

} // namespace ect
