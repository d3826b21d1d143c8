#pragma once

#include <memory>
#include <string>

class QSettings;

namespace vantry {

// One key of the current user's persistent settings store, addressed by a backslash-separated
// path such as "Software\\Kestrin\\Vantry\\Settings", holding named text values. It keeps a small
// failure state instead of reporting errors, so callers can fall back to defaults quietly.
class SettingsKey {
public:
    enum class Root { CurrentUser };

    SettingsKey();
    ~SettingsKey();

    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // The path's second component names the organisation, the third the application and any
    // further ones the group inside it. The key is created on first write if it does not exist.
    bool open(Root root, const std::string& path);
    void close();

    std::string read(const std::string& name);
    void write(const std::string& name, const std::string& text);

    bool isOpen() const { return !notOpenFlag; }
    bool notOpen() const { return notOpenFlag; }
    bool readFailed() const { return readFailedFlag; }
    bool writeFailed() const { return writeFailedFlag; }

private:
    std::unique_ptr<QSettings> settings;
    bool notOpenFlag = true;
    bool readFailedFlag = false;
    bool writeFailedFlag = false;
};

} // namespace vantry
