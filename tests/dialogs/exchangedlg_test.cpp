#include "dialogs/georeferencedlg.h"
#include "dialogs/importmappingdlg.h"
#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <stdexcept>
#include <string>

namespace vantry {

namespace {

void choose(QComboBox* box, const char* text) {
    const int index = box->findText(QLatin1String(text));
    ASSERT_GE(index, 0) << text;
    box->setCurrentIndex(index);
}

class ExchangeDialogs : public WithToolkit, public ::testing::Test {};

// ---- Georeference dialog -------------------------------------------------------------------

TEST_F(ExchangeDialogs, GeoreferenceRefusesWhatPROJRefusesAndStaysOpenUntilItIsMended) {
    CGeoreferenceDlg dlg(Georeference{});
    EXPECT_TRUE(child<QRadioButton>(dlg, "unplaced")->isChecked());
    QTest::keyClicks(child<QLineEdit>(dlg, "originY"), "215000");
    EXPECT_TRUE(child<QRadioButton>(dlg, "placed")->isChecked()) << "typing a place places it";

    const struct {
        const char* crs;
        const char* x;
        QString problem;
    } refused[] = {
        {"", "1", "Type the CRS: an EPSG code such as EPSG:2263, or a PROJ string."},
        {"EPSG:999999", "1", "PROJ does not know the CRS \"EPSG:999999\"."},
        {"EPSG:2263", "12 feet", "Origin X must be a number."},
        {"EPSG:2263", "inf", "Origin X must be a number."},
    };
    for (const auto& r : refused) {
        child<QLineEdit>(dlg, "crs")->setText(QLatin1String(r.crs));
        child<QLineEdit>(dlg, "originX")->setText(QLatin1String(r.x));
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << r.crs << " " << r.x;
        EXPECT_EQ(dlg.problem(), r.problem);
    }
    child<QLineEdit>(dlg, "crs")->setText(QStringLiteral("EPSG:4326"));
    child<QLineEdit>(dlg, "originX")->setText(QStringLiteral("0"));
    dlg.accept();
    EXPECT_TRUE(dlg.problem().contains(QStringLiteral("geographic")))
        << dlg.problem().toStdString();

    child<QLineEdit>(dlg, "crs")->setText(QStringLiteral("  EPSG:2263 "));
    child<QLineEdit>(dlg, "originX")->setText(QStringLiteral(" 988000.5"));
    child<QLineEdit>(dlg, "originY")->setText(QStringLiteral("-2.5e3"));
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.choice(), (Georeference{"EPSG:2263", 988000.5, -2500.0}));
}

TEST_F(ExchangeDialogs, GeoreferenceLeftAsShownGivesBackTheSameNumbersOrNoPlace) {
    // Origins that no short decimal writes exactly still come back bit for bit, so that OK on
    // an untouched dialog is no change.
    const Georeference g{"+proj=utm +zone=18 +datum=WGS84", 583960.1 + 0.2, 1.0 / 3.0};
    CGeoreferenceDlg same(g);
    EXPECT_TRUE(child<QRadioButton>(same, "placed")->isChecked());
    same.accept();
    ASSERT_EQ(same.result(), QDialog::Accepted) << same.problem().toStdString();
    EXPECT_EQ(same.choice(), g);

    CGeoreferenceDlg cleared(g);
    child<QRadioButton>(cleared, "unplaced")->setChecked(true);
    cleared.accept();
    EXPECT_EQ(cleared.result(), QDialog::Accepted);
    EXPECT_FALSE(cleared.choice().placed());
}

// ---- Import field mapping ------------------------------------------------------------------

TEST_F(ExchangeDialogs, TheMappingShowsTheChosenFieldsAndAsksForAnUnstatedUnit) {
    ImportSource source;
    source.path = "/data/city/link.csv";
    source.gmns = true;
    source.fields = {"link_id", "from_node_id", "to_node_id", "LANES", "vdf_speed"};
    source.mapping[static_cast<std::size_t>(ImportField::LinkId)] = "link_id";
    source.mapping[static_cast<std::size_t>(ImportField::FromNode)] = "from_node_id";
    source.mapping[static_cast<std::size_t>(ImportField::ToNode)] = "to_node_id";
    source.mapping[static_cast<std::size_t>(ImportField::Lanes)] = "LANES";
    source.lengthUnit = LengthUnit::Feet;

    CImportMappingDlg dlg(source);
    EXPECT_EQ(dlg.fieldBox(ImportField::Lanes)->currentText(), "LANES");
    EXPECT_EQ(dlg.fieldBox(ImportField::Capacity)->currentText(), "(not read)");
    EXPECT_EQ(dlg.fieldBox(ImportField::Capacity)->count(), 6) << "(not read) and five fields";
    EXPECT_EQ(dlg.lengthUnitBox()->currentText(), "feet");
    EXPECT_EQ(dlg.lengthUnitBox()->findText(QStringLiteral("(choose)")), -1)
        << "a stated unit needs no answer";
    EXPECT_EQ(dlg.speedUnitBox()->currentText(), "(choose)");

    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.problem(), "The source does not say the unit of its speeds: choose it.");

    choose(dlg.speedUnitBox(), "km/h");
    choose(dlg.fieldBox(ImportField::FreeSpeed), "vdf_speed");
    choose(dlg.fieldBox(ImportField::Lanes), "(not read)");
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const ImportChoices& c = dlg.choices();
    EXPECT_EQ(c.mapping[static_cast<std::size_t>(ImportField::FreeSpeed)], "vdf_speed");
    EXPECT_EQ(c.mapping[static_cast<std::size_t>(ImportField::Lanes)], "");
    EXPECT_EQ(c.mapping[static_cast<std::size_t>(ImportField::ToNode)], "to_node_id");
    EXPECT_EQ(c.lengthUnit, LengthUnit::Feet);
    EXPECT_EQ(c.speedUnit, SpeedUnitOfSource::KilometresPerHour);
}

} // namespace

} // namespace vantry
