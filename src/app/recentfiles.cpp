#include "app/recentfiles.h"

#include "base/files.h"

#include <QSettings>

#include <algorithm>

namespace vantry {

namespace {

// The list sits where the settings of the framework the program began on kept it.
QSettings frameworkSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrin"),
                     QStringLiteral("Vantry"));
}

const QString kGroup = QStringLiteral("Recent File List");

} // namespace

RecentFiles::RecentFiles(std::function<void(const std::vector<std::string>&)> shown)
    : shown_(std::move(shown)) {}

void RecentFiles::load() {
    QSettings s = frameworkSettings();
    s.beginGroup(kGroup);
    paths_.clear();
    for (std::size_t i = 1; i <= kCount; ++i) {
        const QString path = s.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty())
            paths_.push_back(absolutePath(path.toStdString()));
    }
    shown_(paths_);
}

void RecentFiles::add(const std::string& path) {
    if (path.empty())
        return;
    const std::string absolute = absolutePath(path);
    paths_.erase(std::remove(paths_.begin(), paths_.end(), absolute), paths_.end());
    paths_.insert(paths_.begin(), absolute);
    if (paths_.size() > kCount)
        paths_.resize(kCount);
    store();
    shown_(paths_);
}

void RecentFiles::remove(const std::string& path) {
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
    store();
    shown_(paths_);
}

void RecentFiles::store() const {
    QSettings s = frameworkSettings();
    s.remove(kGroup);
    s.beginGroup(kGroup);
    for (std::size_t i = 0; i < paths_.size(); ++i)
        s.setValue(QStringLiteral("File%1").arg(i + 1), QString::fromStdString(paths_[i]));
}

} // namespace vantry
