#include "settings/windowplacement.h"

#include "settings/settingskey.h"

namespace vantry {

namespace {

constexpr const char* kWindowPath = "Software\\Kestrin\\Vantry\\Window";

QByteArray fromText(const std::string& text) {
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

} // namespace

WindowPlacement loadWindowPlacement() {
    WindowPlacement placement;
    SettingsKey key;
    if (!key.open(SettingsKey::Root::CurrentUser, kWindowPath))
        return placement;
    placement.geometry = fromText(key.read("Geometry"));
    placement.state = fromText(key.read("State"));
    placement.statusBar = key.read("StatusBar") != "0";
    return placement;
}

void saveWindowPlacement(const WindowPlacement& placement) {
    SettingsKey key;
    if (!key.open(SettingsKey::Root::CurrentUser, kWindowPath))
        return;
    key.write("Geometry", placement.geometry.toBase64().toStdString());
    key.write("State", placement.state.toBase64().toStdString());
    key.write("StatusBar", placement.statusBar ? "1" : "0");
}

} // namespace vantry
