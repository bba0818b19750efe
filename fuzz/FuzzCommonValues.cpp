// Feeds arbitrary text to the common value types that read host or terminal
// data: none of them may crash, whatever they are given.
#include "common/Amount.h"
#include "common/ECTError.h"
#include "common/ECTFinancialCounterInfo.h"
#include "common/ECTTerminalEvent.h"
#include "common/HexToBytes.h"
#include "common/ResultsToJson.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string const text(reinterpret_cast<char const*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        ect::ECTFinancialCounterInfo const info(text);
        info.accountedServicesDescription();
        info.cardBrandName();
        break;
    }
    case 1:
        try {
            ect::Amount(text).toString();
        } catch (std::invalid_argument const&) {
        } catch (std::out_of_range const&) {
        }
        break;
    case 2:
        ect::ECTTerminalEvent("T", text).description();
        break;
    default: {
        ect::ECTError error(ect::ECTErrorCode::Rejected, {{"saleSystemActionIdentifier", text}, {"reason", text}});
        oxa::jsonFromError(error);
        try {
            error.originalSaleSystemActionIdentifier();
        } catch (ect::ECTError const&) {
        }
        ect::HexToBytes(text);
        break;
    }
    }
    return 0;
}
