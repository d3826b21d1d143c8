#include "settings/usersettings.h"

#include "settings/settingskey.h"

#include <locale>
#include <sstream>
#include <type_traits>

namespace vantry {

namespace {

std::ios_base::fmtflags defaultFlags() {
    return std::ios_base::dec | std::ios_base::skipws;
}

template <class V> std::string settingText(const Setting<V>& setting) {
    if constexpr (std::is_same_v<V, std::string>) {
        return setting.value;
    } else {
        std::ostringstream text;
        // The global locale may group digits; the stored text must be plain digits.
        text.imbue(std::locale::classic());
        text.flags(setting.flags);
        text << setting.value;
        return text.str();
    }
}

} // namespace

// One list of the settings keeps loading and saving in the same order.
template <class Self, class F> void UserDefinedSettings::forEachSetting(Self& self, F&& f) {
    f(self.defaultNumLanes);
    f(self.defaultCapacity);
    f(self.defaultFFSpeed);
    f(self.defaultJamDensity);
    f(self.gridPixels);
    f(self.backColor);
    f(self.precision);
    f(self.autosaveSeconds);
    f(self.roadClasses);
    f(self.roadClassDefaults);
}

UserDefinedSettings::UserDefinedSettings()
    : defaultNumLanes{"DefaultNumLanes", 2, defaultFlags()},
      defaultCapacity{"DefaultCapacity", 1400, defaultFlags()}, defaultFFSpeed{"DefaultFFSpeed", 50,
                                                                               defaultFlags()},
      defaultJamDensity{"DefaultJamDensity", 190, defaultFlags()}, gridPixels{"GridPixels", 50,
                                                                              defaultFlags()},
      backColor{"BackColor", 16777215u, defaultFlags()}, precision{"Precision", 3, defaultFlags()},
      autosaveSeconds{"AutosaveSeconds", kDefaultAutosaveSeconds, defaultFlags()},
      roadClasses{"RoadClasses", {}, defaultFlags()}, roadClassDefaults{
                                                          "RoadClassDefaults", {}, defaultFlags()} {
    load();
}

UserDefinedSettings::~UserDefinedSettings() {
    if (!persistOnExit) {
        return;
    }
    // A lost save is better than terminating the program while it shuts down.
    try {
        save();
    } catch (...) {
    }
}

void UserDefinedSettings::load() {
    SettingsKey key;
    if (!key.open(SettingsKey::Root::CurrentUser, registryPath)) {
        return;
    }
    forEachSetting(*this, [&key](auto& setting) {
        const std::string text = key.read(setting.name);
        if (!text.empty()) {
            parseSettingText(text, setting.value);
        }
    });
    autosaveSeconds.value = saneAutosaveSeconds(autosaveSeconds.value);
    // What was not stored, or stored as text that does not read back, counts as stored as it
    // is now: a commit writes only what the user changes.
    forEachSetting(*this,
                   [this](const auto& setting) { stored_[setting.name] = settingText(setting); });
}

std::int32_t UserDefinedSettings::saneAutosaveSeconds(std::int32_t seconds) {
    return seconds < 0 || seconds > kMaxAutosaveSeconds ? kDefaultAutosaveSeconds : seconds;
}

void UserDefinedSettings::save() const {
    SettingsKey key;
    if (!key.open(SettingsKey::Root::CurrentUser, registryPath)) {
        return;
    }
    forEachSetting(*this, [this, &key](const auto& setting) {
        stored_[setting.name] = settingText(setting);
        key.write(setting.name, stored_[setting.name]);
    });
}

void UserDefinedSettings::commit() {
    if (!persistOnExit) {
        return;
    }
    SettingsKey key;
    if (!key.open(SettingsKey::Root::CurrentUser, registryPath)) {
        return;
    }
    forEachSetting(*this, [this, &key](const auto& setting) {
        std::string text = settingText(setting);
        const auto it = stored_.find(setting.name);
        if (it != stored_.end() && it->second == text) {
            return;
        }
        // Each write goes through to the disk before the next.
        key.write(setting.name, text);
        stored_[setting.name] = std::move(text);
    });
}

} // namespace vantry
