#include "app/key_settings.h"

#include "app/settings_format.h"

KeyRebindings RebindingsFrom(const KeptSettings& settings) {
    KeyRebindings bindings;
    for (const KeySetting& key : KeySettings) {
        const auto chosen = settings.keys.find(key.name);
        bindings.keys.push_back({std::string(key.name), key.gameKey,
                                 chosen == settings.keys.end() ? std::string() : chosen->second});
    }
    bindings.fixedKeys.assign(FixedKeys.begin(), FixedKeys.end());
    return bindings;
}
