#include "settings/registrykey.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace {

const QString organisation = QStringLiteral("Kestrin");
const QString application = QStringLiteral("Vantry");
const QString group = QStringLiteral("Settings");

// Gives every test a settings store of its own in a fresh folder, so that no test sees another
// test's values or the real user's.
class TempStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        ASSERT_TRUE(storeFileName().startsWith(dir.path())) << storeFileName().toStdString();
    }

    static QString storeFileName() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, organisation, application)
            .fileName();
    }

    // Looks at the store the way a later run of the program would, bypassing RegistryKey.
    static std::optional<std::string> stored(const QString& name) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
        store.beginGroup(group);
        if (!store.contains(name)) {
            return std::nullopt;
        }
        return store.value(name).toString().toStdString();
    }

    static void store(const QString& name, const QString& text) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
        store.beginGroup(group);
        store.setValue(name, text);
    }

    // Puts a file where the organisation folder belongs, so nothing can be written below it.
    void blockStore() {
        QFile blocker(QDir(dir.path()).filePath(organisation));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir;
};

// ---------------------------------------------------------------------------------------------
// UserDefinedSettings

using UserSettingsTest = TempStoreTest;

TEST_F(UserSettingsTest, EmptyStoreGivesDefaultsAndDestructionStoresAllSevenAsDecimalText) {
    {
        UserDefinedSettings settings;
        EXPECT_EQ(settings.defaultNumLanes.value, 2);
        EXPECT_EQ(settings.defaultCapacity.value, 1400);
        EXPECT_EQ(settings.defaultFFSpeed.value, 50);
        EXPECT_EQ(settings.defaultJamDensity.value, 190);
        EXPECT_EQ(settings.gridPixels.value, 50);
        EXPECT_EQ(settings.backColor.value, 16777215u);
        EXPECT_EQ(settings.precision.value, 3);
        EXPECT_FALSE(stored("GridPixels")) << "loading must not write";
    }

    const std::pair<QString, std::string> expected[] = {
        {"DefaultNumLanes", "2"}, {"DefaultCapacity", "1400"},
        {"DefaultFFSpeed", "50"}, {"DefaultJamDensity", "190"},
        {"GridPixels", "50"},     {"BackColor", "16777215"},
        {"Precision", "3"}};
    for (const auto& [name, text] : expected) {
        EXPECT_EQ(stored(name), text) << name.toStdString();
    }
}

TEST_F(UserSettingsTest, EachStoredValueLoadsIntoItsOwnEntryWithoutRangeChecks) {
    store("DefaultNumLanes", "3");
    store("DefaultCapacity", "1800");
    store("DefaultFFSpeed", "65");
    store("DefaultJamDensity", "210");
    store("GridPixels", "-20");
    store("BackColor", "255");
    store("Precision", "99");

    UserDefinedSettings settings;
    settings.persistOnExit = false;
    EXPECT_EQ(settings.defaultNumLanes.value, 3);
    EXPECT_EQ(settings.defaultCapacity.value, 1800);
    EXPECT_EQ(settings.defaultFFSpeed.value, 65);
    EXPECT_EQ(settings.defaultJamDensity.value, 210);
    EXPECT_EQ(settings.gridPixels.value, -20);
    EXPECT_EQ(settings.backColor.value, 255u);
    EXPECT_EQ(settings.precision.value, 99);
}

TEST_F(UserSettingsTest, UnusableValuesKeepTheirDefaultsWithoutDisturbingOthers) {
    store("DefaultCapacity", "abc");
    store("DefaultFFSpeed", "99999999999");
    store("GridPixels", " 75abc");
    store("BackColor", "-1");
    store("Precision", "");

    UserDefinedSettings settings;
    settings.persistOnExit = false;
    EXPECT_EQ(settings.defaultNumLanes.value, 2);
    EXPECT_EQ(settings.defaultCapacity.value, 1400);
    EXPECT_EQ(settings.defaultFFSpeed.value, 50);
    EXPECT_EQ(settings.defaultJamDensity.value, 190);
    EXPECT_EQ(settings.gridPixels.value, 75);
    EXPECT_EQ(settings.backColor.value, 16777215u);
    EXPECT_EQ(settings.precision.value, 3);
}

TEST_F(UserSettingsTest, ExtremeValuesSurviveARestart) {
    {
        UserDefinedSettings settings;
        settings.defaultCapacity.value = std::numeric_limits<std::int32_t>::min();
        settings.defaultFFSpeed.value = std::numeric_limits<std::int32_t>::max();
        settings.backColor.value = std::numeric_limits<std::uint32_t>::max();
        settings.precision.value = 0;
    }
    EXPECT_EQ(stored("DefaultCapacity"), "-2147483648");
    EXPECT_EQ(stored("BackColor"), "4294967295");

    UserDefinedSettings settings;
    settings.persistOnExit = false;
    EXPECT_EQ(settings.defaultCapacity.value, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(settings.defaultFFSpeed.value, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(settings.backColor.value, std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(settings.precision.value, 0);
}

TEST_F(UserSettingsTest, BackColorIsStoredAsUnsignedDecimalColourValue) {
    const std::pair<std::uint32_t, std::string> colours[] = {{0x000000FFu, "255"},
                                                             {0x00FF0000u, "16711680"}};
    for (const auto& [colour, text] : colours) {
        {
            UserDefinedSettings settings;
            settings.backColor.value = colour;
        }
        EXPECT_EQ(stored("BackColor"), text);
    }
}

TEST_F(UserSettingsTest, ClearingPersistOnExitLeavesTheStoreUntouched) {
    store("GridPixels", "30");
    {
        UserDefinedSettings settings;
        settings.persistOnExit = false;
        settings.gridPixels.value = 80;
        settings.precision.value = 6;
    }
    EXPECT_EQ(stored("GridPixels"), "30");
    EXPECT_FALSE(stored("Precision"));
}

TEST_F(UserSettingsTest, ChangesStayInMemoryUntilSaved) {
    { UserDefinedSettings normalRun; }
    UserDefinedSettings settings;
    settings.gridPixels.value = 20;
    // A process killed at this point never runs the destructor, so this is what it leaves.
    EXPECT_EQ(stored("GridPixels"), "50");

    settings.save();
    EXPECT_EQ(stored("GridPixels"), "20");
    settings.persistOnExit = false;
}

// ---------------------------------------------------------------------------------------------
// Parsing stored text

struct ParseCase {
    const char* text;
    bool backColor;                       // the unsigned entry; otherwise the signed GridPixels
    std::optional<std::int64_t> expected; // nullopt: rejected, the value stays as it was
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << (c.backColor ? "BackColor \"" : "GridPixels \"") << c.text << '"';
}

constexpr std::int64_t gridDefault = 50;
constexpr std::int64_t backColorDefault = 16777215;

class ParseTableTest : public TempStoreTest, public ::testing::WithParamInterface<ParseCase> {
protected:
    std::int64_t expectedValue() const {
        const ParseCase& c = GetParam();
        return c.expected.value_or(c.backColor ? backColorDefault : gridDefault);
    }
};

TEST_P(ParseTableTest, ParsesOrKeepsThePreviousValue) {
    const ParseCase& c = GetParam();
    if (c.backColor) {
        std::uint32_t value = backColorDefault;
        EXPECT_EQ(parseSettingText(c.text, value), c.expected.has_value());
        EXPECT_EQ(value, expectedValue());
    } else {
        std::int32_t value = gridDefault;
        EXPECT_EQ(parseSettingText(c.text, value), c.expected.has_value());
        EXPECT_EQ(value, expectedValue());
    }
}

// The text also has to come through the store unchanged, white space and all.
TEST_P(ParseTableTest, LoadsTheSameThroughTheStore) {
    const ParseCase& c = GetParam();
    store(c.backColor ? "BackColor" : "GridPixels", QString::fromUtf8(c.text));
    UserDefinedSettings settings;
    settings.persistOnExit = false;
    if (c.backColor) {
        EXPECT_EQ(settings.backColor.value, expectedValue());
    } else {
        EXPECT_EQ(settings.gridPixels.value, expectedValue());
    }
}

INSTANTIATE_TEST_SUITE_P(
    SignedAndUnsigned, ParseTableTest,
    ::testing::Values(
        ParseCase{" 75abc", false, 75}, ParseCase{"abc", false, std::nullopt},
        ParseCase{"", false, std::nullopt}, ParseCase{"+12", false, 12}, ParseCase{"-5", false, -5},
        ParseCase{"  \t42", false, 42}, ParseCase{"\n\r\v\f8", false, 8},
        ParseCase{"0075", false, 75}, ParseCase{"12 34", false, 12},
        ParseCase{"-", false, std::nullopt}, ParseCase{"+-3", false, std::nullopt},
        ParseCase{"- 3", false, std::nullopt}, ParseCase{"2147483647", false, 2147483647},
        ParseCase{"-2147483648", false, -2147483648}, ParseCase{"2147483648", false, std::nullopt},
        ParseCase{"99999999999", false, std::nullopt}, ParseCase{"-1", true, std::nullopt},
        ParseCase{"-0", true, 0}, ParseCase{"+255", true, 255},
        ParseCase{"16711680 blue", true, 16711680}, ParseCase{"4294967295", true, 4294967295},
        ParseCase{"4294967296", true, std::nullopt}));

// ---------------------------------------------------------------------------------------------
// SingletonPtr

struct Counted {
    Counted() { ++constructed; }
    ~Counted() { ++destroyed; }
    int value = 0;
    inline static int constructed = 0;
    inline static int destroyed = 0;
};

struct Unallocatable {
    static void* operator new(std::size_t, const std::nothrow_t&) noexcept { return nullptr; }
};

struct FailsOnRequest {
    FailsOnRequest() {
        if (failNext) {
            failNext = false;
            throw std::runtime_error("construction failed");
        }
    }
    inline static bool failNext = false;
};

class SingletonPtrTest : public TempStoreTest {
protected:
    void SetUp() override {
        TempStoreTest::SetUp();
        Counted::constructed = 0;
        Counted::destroyed = 0;
    }
};

TEST_F(SingletonPtrTest, HoldersShareOneObjectThatTheLastHolderDestroys) {
    EXPECT_THROW(SingletonPtr<Counted>::instance(), SingletonPtr<Counted>::AccessError);
    {
        SingletonPtr<Counted> first;
        {
            SingletonPtr<Counted> second;
            EXPECT_EQ(&*first, &*second);
            second->value = 7;
        }
        EXPECT_EQ(Counted::destroyed, 0);
        EXPECT_EQ(SingletonPtr<Counted>::instance().value, 7);
    }
    EXPECT_EQ(Counted::constructed, 1);
    EXPECT_EQ(Counted::destroyed, 1);
    EXPECT_THROW(SingletonPtr<Counted>::instance(), SingletonPtr<Counted>::AccessError);

    SingletonPtr<Counted> again;
    EXPECT_EQ(Counted::constructed, 2);
    EXPECT_EQ(again->value, 0);
}

TEST_F(SingletonPtrTest, FailedAllocationMakesEveryAccessThrow) {
    SingletonPtr<Unallocatable> holder;
    using AccessError = SingletonPtr<Unallocatable>::AccessError;
    EXPECT_THROW(SingletonPtr<Unallocatable>::instance(), AccessError);
    EXPECT_THROW(*holder, AccessError);
    EXPECT_THROW(holder.operator->(), AccessError);
}

TEST_F(SingletonPtrTest, ThrowingConstructorDoesNotLeaveTheCountRaised) {
    FailsOnRequest::failNext = true;
    EXPECT_THROW(SingletonPtr<FailsOnRequest>{}, std::runtime_error);
    SingletonPtr<FailsOnRequest> holder;
    EXPECT_NO_THROW(SingletonPtr<FailsOnRequest>::instance());
}

TEST_F(SingletonPtrTest, LastSettingsHolderSavesTheSettings) {
    using Holder = SingletonPtr<UserDefinedSettings>;
    {
        Holder first;
        {
            Holder second;
            second->gridPixels.value = 25;
        }
        EXPECT_FALSE(stored("GridPixels"));
        EXPECT_EQ(Holder::instance().gridPixels.value, 25);
    }
    EXPECT_EQ(stored("GridPixels"), "25");
    EXPECT_THROW(Holder::instance(), Holder::AccessError);
}

// ---------------------------------------------------------------------------------------------
// RegistryKey

using RegistryKeyTest = TempStoreTest;

TEST_F(RegistryKeyTest, MissingValueMarksReadFailureUntilASuccessfulRead) {
    store("Present", "1400");
    RegistryKey key;
    ASSERT_TRUE(key.open(RegistryKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    EXPECT_FALSE(key.notOpen());

    EXPECT_EQ(key.read("Absent"), "");
    EXPECT_TRUE(key.readFailed());
    EXPECT_EQ(key.read("Present"), "1400");
    EXPECT_FALSE(key.readFailed());
}

TEST_F(RegistryKeyTest, PathWithTooFewComponentsIsNotOpenAndNeitherReadsNorWrites) {
    for (const char* path : {"", "Software", "Software\\Kestrin", "\\\\Kestrin\\"}) {
        RegistryKey key;
        EXPECT_FALSE(key.open(RegistryKey::Root::CurrentUser, path)) << path;
        EXPECT_TRUE(key.notOpen());
        EXPECT_EQ(key.read("GridPixels"), "");
        EXPECT_TRUE(key.readFailed());
        key.write("GridPixels", "20");
        key.close();
    }
    EXPECT_FALSE(QDir(dir.path()).exists(organisation));
}

TEST_F(RegistryKeyTest, PathNamesOrganisationApplicationAndNestedGroup) {
    {
        RegistryKey key;
        ASSERT_TRUE(key.open(RegistryKey::Root::CurrentUser, "Software\\Acme\\Tool\\Outer\\Inner"));
        key.write("Name", "value");
        EXPECT_FALSE(key.writeFailed());
    }
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Acme", "Tool");
    EXPECT_EQ(store.value("Outer/Inner/Name").toString(), "value");
}

TEST_F(RegistryKeyTest, TextsComeBackAsUtf8AndEndAtTheFirstNul) {
    store("Utf8", QStringLiteral("Gr\u00FC\u00DFe"));
    store("Nul", QStringLiteral("12") + QChar(0) + QStringLiteral("34"));
    RegistryKey key;
    ASSERT_TRUE(key.open(RegistryKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    EXPECT_EQ(key.read("Utf8"), "Gr\xC3\xBC\xC3\x9F"
                                "e");
    EXPECT_EQ(key.read("Nul"), "12");
}

TEST_F(RegistryKeyTest, HandEditedValueWithCommasReadsAsWritten) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(organisation));
    QFile file(storeFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nDefaultCapacity=1,400\n");
    file.close();

    RegistryKey key;
    ASSERT_TRUE(key.open(RegistryKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    EXPECT_EQ(key.read("DefaultCapacity"), "1,400");
}

TEST_F(RegistryKeyTest, WriteToUnwritableStoreMarksWriteFailure) {
    blockStore();
    RegistryKey key;
    ASSERT_TRUE(key.open(RegistryKey::Root::CurrentUser, UserDefinedSettings::registryPath));
    key.write("GridPixels", "20");
    EXPECT_TRUE(key.writeFailed());
}

} // namespace
