#include "delivery/paste/KeyCodeChoice.h"

#include <algorithm>

namespace korvane {

unsigned chooseKeyCode(const std::vector<KeyLevels>& keys, std::uint32_t keysym, unsigned fallback)
{
    const auto firstWhere = [&keys](auto produces) {
        return std::find_if(keys.begin(), keys.end(),
                            [&](const KeyLevels& key) { return key.keyCode != 0 && produces(key); });
    };
    if (keysym == 0) {  // "no keysym" is produced by every empty level
        return fallback != 0 ? fallback : kFallbackKeyCodeForV;
    }
    if (auto key = firstWhere([keysym](const KeyLevels& k) { return k.withControl == keysym; }); key != keys.end()) {
        return key->keyCode;
    }
    if (auto key = firstWhere([keysym](const KeyLevels& k) { return k.base == keysym; }); key != keys.end()) {
        return key->keyCode;
    }
    return fallback != 0 ? fallback : kFallbackKeyCodeForV;
}

}  // namespace korvane
