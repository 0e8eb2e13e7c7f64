#include "model/NetworkInfo.h"

namespace trovimo {

std::string NetworkInfo::detailText() const {
    std::string text = wifiGeneration ? *wifiGeneration : displayName;
    if (ssid) {
        text += " \u00B7 ";
        text += *ssid;
    }
    return text;
}

} // namespace trovimo
