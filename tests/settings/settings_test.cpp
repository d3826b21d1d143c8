#include "settings/settingskey.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "settings/windowplacement.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace vantry {

namespace {

const QString organisation = QStringLiteral("Kestrin");
const QString application = QStringLiteral("Vantry");

// Gives every test a settings store of its own in a fresh folder, so that no test sees another
// test's values or the real user's.
class TempStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        ASSERT_TRUE(storeFile().startsWith(dir.path())) << storeFile().toStdString();
    }
    static QString storeFile() { return group()->fileName(); }
    // The store as a later run of the program sees it, bypassing SettingsKey.
    static std::unique_ptr<QSettings> group() {
        auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 organisation, application);
        store->beginGroup("Settings");
        return store;
    }
    static std::optional<std::string> stored(const QString& name) {
        const auto store = group();
        if (!store->contains(name))
            return std::nullopt;
        return store->value(name).toString().toStdString();
    }
    static void store(const QString& name, const QString& text) { group()->setValue(name, text); }

    QTemporaryDir dir;
};

// ---- UserDefinedSettings ----------------------------------------------------------------------

using UserSettings = TempStoreTest;

auto values(const UserDefinedSettings& s) {
    return std::tuple(s.defaultNumLanes.value, s.defaultCapacity.value, s.defaultFFSpeed.value,
                      s.defaultJamDensity.value, s.gridPixels.value, s.backColor.value,
                      s.precision.value);
}

TEST_F(UserSettings, DefaultsAreStoredAsDecimalTextAndEachValueLoadsIntoItsOwnEntry) {
    {
        UserDefinedSettings firstRun;
        EXPECT_FALSE(stored("GridPixels")) << "loading must not write";
    }
    // {name, the default as the first run stored it, text for the next run}
    const std::tuple<QString, std::string, QString> entries[] = {
        {"DefaultNumLanes", "2", "3"},    {"DefaultCapacity", "1400", "1800"},
        {"DefaultFFSpeed", "50", "fast"}, {"DefaultJamDensity", "190", "210"},
        {"GridPixels", "50", "-20"},      {"BackColor", "16777215", "255"},
        {"Precision", "3", "99"}};
    for (const auto& [name, text, next] : entries) {
        EXPECT_EQ(stored(name), text) << name.toStdString();
        store(name, next);
    }
    UserDefinedSettings s;
    s.persistOnExit = false;
    EXPECT_EQ(values(s), std::tuple(3, 1800, 50, 210, -20, 255u, 99)); // "fast" keeps the default
    for (const auto& [colour, text] : {std::pair{0x000000FFu, "255"}, {0x00FF0000u, "16711680"}}) {
        s.backColor.value = colour; // red, then blue
        s.save();
        EXPECT_EQ(stored("BackColor"), text);
    }
}

TEST_F(UserSettings, ACommitWritesWhatChangedToTheDiskAtOnceAndBatchRunsNeverWrite) {
    store("GridPixels", "30");
    {
        UserDefinedSettings batchRun;
        batchRun.persistOnExit = false;
        batchRun.gridPixels.value = 80;
        batchRun.commit();
        EXPECT_EQ(stored("GridPixels"), "30");
    }
    EXPECT_EQ(stored("GridPixels"), "30");
    EXPECT_FALSE(stored("Precision"));

    UserDefinedSettings s;
    s.gridPixels.value = 20;
    s.autosaveSeconds.value = 300;
    // Assigning alone writes nothing; a process killed here leaves the old values.
    EXPECT_EQ(stored("GridPixels"), "30");
    // Meanwhile another run of the program keeps a value this one never touched.
    store("Precision", "5");
    s.commit();
    // What a later run finds on the disk, as after the program was killed.
    QFile file(storeFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string disk = file.readAll().toStdString();
    EXPECT_NE(disk.find("GridPixels=20"), std::string::npos) << disk;
    EXPECT_NE(disk.find("AutosaveSeconds=300"), std::string::npos) << disk;
    EXPECT_EQ(stored("Precision"), "5") << "an unchanged value is not written over";
    EXPECT_FALSE(stored("DefaultCapacity")) << "nor is a default nobody chose";

    // A value put back as it was stored is written again; one committed twice is not.
    s.gridPixels.value = 30;
    s.commit();
    EXPECT_EQ(stored("GridPixels"), "30");
    store("AutosaveSeconds", "45");
    s.commit();
    EXPECT_EQ(stored("AutosaveSeconds"), "45");
    s.persistOnExit = false;
}

// Every text is parsed directly and loaded through the store, which must pass it on unchanged.
TEST_F(UserSettings, StoredTextIsParsedOrKeepsThePreviousValue) {
    constexpr auto refused = std::numeric_limits<std::int64_t>::min(); // the value stays as it was
    const auto check = [](const char* text, bool isColour, std::int64_t expected) {
        SCOPED_TRACE(text);
        const std::int64_t value = expected != refused ? expected : isColour ? 16777215 : 50;
        std::uint32_t colour = 16777215;
        std::int32_t grid = 50;
        EXPECT_EQ(isColour ? parseSettingText(text, colour) : parseSettingText(text, grid),
                  expected != refused);
        EXPECT_EQ(isColour ? std::int64_t{colour} : std::int64_t{grid}, value);
        store(isColour ? "BackColor" : "GridPixels", QString::fromUtf8(text));
        UserDefinedSettings s;
        s.persistOnExit = false;
        EXPECT_EQ(isColour ? std::int64_t{s.backColor.value} : std::int64_t{s.gridPixels.value},
                  value);
    };
    using Case = std::pair<const char*, std::int64_t>;
    const Case signedCases[] = {{" 75abc", 75},   {"abc", refused}, {"", refused},
                                {"+12", 12},      {"-5", -5},       {"12 34", 12},
                                {"+-3", refused}, {"- 3", refused}, {"2147483648", refused}};
    const Case signedLimits[] = {
        {"\n\r\v\f\t 8", 8}, {"2147483647", 2147483647}, {"-2147483648", -2147483648}};
    const Case unsignedCases[] = {{"-1", refused},         {"-0", 0},
                                  {"+255", 255},           {"16711680 blue", 16711680},
                                  {"4294967296", refused}, {"4294967295", 4294967295}};
    for (const auto& [text, expected] : signedCases)
        check(text, false, expected);
    for (const auto& [text, expected] : signedLimits)
        check(text, false, expected);
    for (const auto& [text, expected] : unsignedCases)
        check(text, true, expected);
}

TEST_F(UserSettings, AnAutosaveIntervalThatMeansNothingFallsBackToTheDefault) {
    {
        UserDefinedSettings firstRun;
        EXPECT_EQ(firstRun.autosaveSeconds.value, 60);
    }
    EXPECT_EQ(stored("AutosaveSeconds"), "60");
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},   {"2", 2},      {" 30s", 30}, {"86400", 86400},
        {"-5", 60}, {"86401", 60}, {"soon", 60}, {"99999999999", 60}};
    for (const auto& [text, expected] : cases) {
        store("AutosaveSeconds", QString::fromLatin1(text));
        UserDefinedSettings s;
        s.persistOnExit = false;
        EXPECT_EQ(s.autosaveSeconds.value, expected) << text;
    }
}

TEST_F(UserSettings, TextSettingsComeBackAsTheyWereWhateverTheyHold) {
    {
        UserDefinedSettings firstRun;
        EXPECT_EQ(firstRun.roadClasses.value, "") << "never chosen";
        EXPECT_EQ(firstRun.roadClassDefaults.value, "");
    }
    EXPECT_EQ(stored("RoadClasses"), "");
    EXPECT_EQ(stored("RoadClassDefaults"), "");
    // Commas, semicolons and equals signs mean something to the store's file; none may be lost.
    const std::string classes = "motorway,primary_link, service ,drive-through";
    const std::string defaults = "motorway=70/3/2300/200; residential=20/1/900/180;=;\\x";
    {
        UserDefinedSettings s;
        s.roadClasses.value = classes;
        s.roadClassDefaults.value = defaults;
    }
    UserDefinedSettings s;
    s.persistOnExit = false;
    EXPECT_EQ(s.roadClasses.value, classes);
    EXPECT_EQ(s.roadClassDefaults.value, defaults);

    // A list typed into the file by hand without quotes reads as the same list.
    QFile file(storeFile());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("[Settings]\nRoadClasses=motorway,trunk\n");
    file.close();
    s.load();
    EXPECT_EQ(s.roadClasses.value, "motorway,trunk");
}

// ---- WindowPlacement --------------------------------------------------------------------------

using WindowPlacementStore = TempStoreTest;

TEST_F(WindowPlacementStore, BlobsComeBackByteForByteAndForeignTextGivesNone) {
    EXPECT_TRUE(loadWindowPlacement().geometry.isEmpty()) << "nothing stored yet";
    EXPECT_TRUE(loadWindowPlacement().statusBar);

    WindowPlacement placement;
    placement.geometry = QByteArray("\x01\xd9\xd0\xcb\0\n=,[Settings]", 18);
    placement.state = QByteArray(300, '\xff');
    placement.statusBar = false;
    saveWindowPlacement(placement);
    const WindowPlacement back = loadWindowPlacement();
    EXPECT_EQ(back.geometry, placement.geometry);
    EXPECT_EQ(back.state, placement.state);
    EXPECT_FALSE(back.statusBar);
    EXPECT_EQ(stored("AutosaveSeconds"), std::nullopt) << "a group of its own";

    QSettings window(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
    window.setValue("Window/Geometry", "not base64 at all!");
    window.sync();
    EXPECT_TRUE(loadWindowPlacement().geometry.isEmpty());
    EXPECT_EQ(loadWindowPlacement().state, placement.state);
}

// ---- SingletonPtr -----------------------------------------------------------------------------

struct Counted {
    Counted() { ++alive; }
    ~Counted() { --alive; }
    int value = 0;
    inline static int alive = 0;
};

struct Unallocatable {
    static void* operator new(std::size_t, const std::nothrow_t&) noexcept { return nullptr; }
};

struct FailsOnce {
    FailsOnce() {
        if (std::exchange(fail, false))
            throw std::runtime_error("construction failed");
    }
    inline static bool fail = true;
};

TEST(SingletonPtr, HoldersShareOneObjectThatTheLastHolderDestroys) {
    using Holder = SingletonPtr<Counted>;
    EXPECT_THROW(Holder::instance(), Holder::AccessError);
    {
        Holder first;
        {
            Holder second;
            EXPECT_EQ(&*first, &*second);
            second->value = 7;
        }
        EXPECT_EQ(std::pair(Counted::alive, Holder::instance().value), std::pair(1, 7));
    }
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_THROW(Holder::instance(), Holder::AccessError);
    Holder again;
    EXPECT_EQ(std::pair(Counted::alive, again->value), std::pair(1, 0));
}

TEST(SingletonPtr, FailedCreationLeavesNeitherAnObjectNorACount) {
    SingletonPtr<Unallocatable> holder;
    using AccessError = SingletonPtr<Unallocatable>::AccessError;
    EXPECT_THROW(*holder, AccessError);
    EXPECT_THROW(holder.operator->(), AccessError);

    EXPECT_THROW(SingletonPtr<FailsOnce>{}, std::runtime_error);
    SingletonPtr<FailsOnce> second;
    EXPECT_NO_THROW(SingletonPtr<FailsOnce>::instance());
}

// ---- SettingsKey ------------------------------------------------------------------------------

using SettingsKeyTest = TempStoreTest;

TEST_F(SettingsKeyTest, PathWithTooFewComponentsIsNotOpenAndNeitherReadsNorWrites) {
    for (const char* path : {"", "Software", "Software\\Kestrin", "\\\\Kestrin\\"}) {
        SettingsKey key;
        EXPECT_FALSE(key.open(SettingsKey::Root::CurrentUser, path)) << path;
        EXPECT_TRUE(key.notOpen());
        EXPECT_EQ(key.read("GridPixels"), "");
        EXPECT_TRUE(key.readFailed());
        key.write("GridPixels", "20");
    }
    EXPECT_FALSE(QDir(dir.path()).exists(organisation));
}

TEST_F(SettingsKeyTest, ReadGivesTheStoredTextAndFlagsAMissingValueUntilTheNextGoodRead) {
    store("Utf8", QStringLiteral("Gr\u00FC\u00DFe"));
    store("Nul", QStringLiteral("12") + QChar(0) + QStringLiteral("34"));
    SettingsKey key;
    ASSERT_TRUE(key.open(SettingsKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    EXPECT_FALSE(key.notOpen());
    EXPECT_EQ(key.read("Absent"), "");
    EXPECT_TRUE(key.readFailed());
    EXPECT_EQ(key.read("Utf8"), "Gr\u00FC\u00DFe"); // as UTF-8
    EXPECT_FALSE(key.readFailed());
    EXPECT_EQ(key.read("Nul"), "12");
}

TEST_F(SettingsKeyTest, WriteReachesTheNestedGroupOrMarksAFailure) {
    {
        SettingsKey key;
        ASSERT_TRUE(key.open(SettingsKey::Root::CurrentUser, "Software\\Acme\\Tool\\Outer\\Inner"));
        key.write("Name", "value");
        EXPECT_FALSE(key.writeFailed());
    }
    QSettings acme(QSettings::NativeFormat, QSettings::UserScope, "Acme", "Tool");
    EXPECT_EQ(acme.value("Outer/Inner/Name").toString(), "value");

    // A file where the organisation folder belongs keeps anything from being written below it.
    QFile blocker(QDir(dir.path()).filePath(organisation));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SettingsKey key;
    ASSERT_TRUE(key.open(SettingsKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    key.write("GridPixels", "20");
    EXPECT_TRUE(key.writeFailed());
}

} // namespace

} // namespace vantry
