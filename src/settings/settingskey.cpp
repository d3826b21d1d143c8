#include "settings/settingskey.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace vantry {

SettingsKey::SettingsKey() = default;

SettingsKey::~SettingsKey() {
    close();
}

// CurrentUser is the only root, and it is what the user scope of the store holds.
bool SettingsKey::open([[maybe_unused]] Root root, const std::string& path) {
    close();
    readFailedFlag = false;
    writeFailedFlag = false;

    const QStringList parts =
        QString::fromStdString(path).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3) {
        return false;
    }

    auto candidate = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 parts.at(1), parts.at(2));
    if (candidate->status() != QSettings::NoError) {
        return false;
    }
    const QString group = parts.mid(3).join(QLatin1Char('/'));
    if (!group.isEmpty()) {
        candidate->beginGroup(group);
    }

    settings = std::move(candidate);
    notOpenFlag = false;
    return true;
}

void SettingsKey::close() {
    if (!settings) {
        return;
    }
    settings->sync();
    settings.reset();
    notOpenFlag = true;
}

std::string SettingsKey::read(const std::string& name) {
    if (!settings) {
        readFailedFlag = true;
        return {};
    }
    const QString key = QString::fromStdString(name);
    if (!settings->contains(key)) {
        readFailedFlag = true;
        return {};
    }

    const QVariant value = settings->value(key);
    // An unquoted value containing commas, as a hand-edited file may hold, comes back as a list.
    const QString text = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    std::string result = text.toStdString();
    if (const auto nul = result.find('\0'); nul != std::string::npos) {
        result.resize(nul);
    }

    readFailedFlag = false;
    writeFailedFlag = false;
    return result;
}

void SettingsKey::write(const std::string& name, const std::string& text) {
    if (!settings) {
        return;
    }
    settings->setValue(QString::fromStdString(name), QString::fromStdString(text));
    // Writing through at once is the only way to learn whether this value reached the store.
    settings->sync();
    if (settings->status() != QSettings::NoError || !settings->isWritable()) {
        writeFailedFlag = true;
    }
}

} // namespace vantry
