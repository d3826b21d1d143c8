#include "excel/compoundfile.h"
#include "excel/documentproperties.h"

#include <gtest/gtest.h>

#include <string>

namespace vantry {
namespace {

const std::string kData = std::string(VANTRY_TEST_DATA) + "/excel/";
constexpr const char* kName = "VantryGeoreference";

// The property survives the file's bytes being built and read again, is replaced rather than
// doubled, and is removed without touching the summary's other properties.
TEST(DocumentPropertiesTest, SetReplaceAndRemoveSurviveTheFileBytes) {
    for (const char* source : {"written_by_libreoffice.xls", "written_by_gnumeric.xls"}) {
        SCOPED_TRACE(source);
        CompoundFile file = readCompoundFile(kData + source);
        EXPECT_FALSE(customProperty(file, kName));
        setCustomProperty(file, kName, "12.5 -3 EPSG:2263");
        setCustomProperty(file, "Other", "kept");
        setCustomProperty(file, kName, "1 2 +proj=utm +zone=18 +datum=WGS84");
        CompoundFile reread = parseCompoundFile(buildCompoundFile(file), source);
        EXPECT_EQ(customProperty(reread, kName), "1 2 +proj=utm +zone=18 +datum=WGS84");
        setCustomProperty(reread, kName, std::nullopt);
        CompoundFile removed = parseCompoundFile(buildCompoundFile(reread), source);
        EXPECT_FALSE(customProperty(removed, kName));
        EXPECT_EQ(customProperty(removed, "Other"), "kept");
    }
}

TEST(DocumentPropertiesTest, RemovingAnAbsentPropertyLeavesTheFileAlone) {
    const CompoundFile original = readCompoundFile(kData + "written_by_libreoffice.xls");
    CompoundFile file = original;
    setCustomProperty(file, kName, std::nullopt);
    EXPECT_EQ(buildCompoundFile(file), buildCompoundFile(original));
}

} // namespace
} // namespace vantry
