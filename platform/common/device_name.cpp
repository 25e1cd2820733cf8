#include "platform/kxr_path.h"

#include <cctype>
#include <string>

namespace kxr::platform {

bool IsReservedDeviceName(std::string_view name) {
    if (name == "CONIN$" || name == "CONOUT$")
        return true;
    // The device is meant whatever extension follows the name.
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL")
        return true;
    return upper.size() == 4 &&
           (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

} // namespace kxr::platform
