#include "dialogs/preferencessheet.h"

#include "dialogs/backcolorbutton.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/fieldinput.h"
#include "dialogs/help.h"
#include "dialogs/integeredit.h"
#include "dialogs/roadclasspage.h"
#include "document/prompter.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace vantry {

namespace {

constexpr long kLinkDefaultsHelpContext = 36;
constexpr long kGraphicsHelpContext = 52;
constexpr long kPrecisionHelpContext = 0;

} // namespace

// ---- CPreferencePage --------------------------------------------------------------------------

CPreferencePage::CPreferencePage(long helpContext, QWidget* parent)
    : QWidget(parent), helpContext_(helpContext), grid_(new QGridLayout) {
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid_);
    layout->addStretch(1);
}

CIntegerEdit* CPreferencePage::addIntegerField(const QString& label, const QString& name,
                                               const char* objectName, int minimum, int maximum,
                                               const QString& unit, std::int32_t& value) {
    auto* edit = new CIntegerEdit(name, minimum, maximum, this);
    edit->setObjectName(QLatin1String(objectName));
    edit->setInteger(value);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(edit);
    const int row = grid_->rowCount();
    grid_->addWidget(caption, row, 0);
    grid_->addWidget(edit, row, 1);
    if (!unit.isEmpty())
        grid_->addWidget(new QLabel(unit, this), row, 2);
    fields_.push_back({edit, &value});
    return edit;
}

void CPreferencePage::enforceRange(CIntegerEdit* edit) {
    for (Binding& field : fields_)
        if (field.edit == edit)
            field.inRange = true;
}

bool CPreferencePage::exchange(Prompter& prompter) {
    for (const Binding& field : fields_) {
        const std::optional<std::int32_t> value = field.edit->read(prompter);
        if (!value)
            return false;
        if (field.inRange && (*value < field.edit->minimum() || *value > field.edit->maximum())) {
            refuseField(field.edit, prompter,
                        QStringLiteral("Please enter an integer from %1 to %2 for %3.")
                            .arg(field.edit->minimum())
                            .arg(field.edit->maximum())
                            .arg(field.edit->fieldName()));
            return false;
        }
        *field.value = *value;
    }
    return true;
}

// ---- The pages --------------------------------------------------------------------------------

CLinkPrefsPage::CLinkPrefsPage(PreferenceValues& values, QWidget* parent)
    : CPreferencePage(kLinkDefaultsHelpContext, parent) {
    setObjectName(QStringLiteral("linkDefaults"));
    addIntegerField(QStringLiteral("&Number of Lanes"), QStringLiteral("Number of Lanes"),
                    "numLanes", 0, 10, {}, values.numLanes);
    addIntegerField(QStringLiteral("&Capacity"), QStringLiteral("Capacity"), "capacity", 0, 10000,
                    QStringLiteral("Vehicles per lane per hour"), values.capacity);
    addIntegerField(QStringLiteral("&Free-Flow Speed"), QStringLiteral("Free-Flow Speed"),
                    "ffSpeed", 0, 100, QStringLiteral("Miles per hour"), values.ffSpeed);
    addIntegerField(QStringLiteral("&Jam Density"), QStringLiteral("Jam Density"), "jamDensity", 0,
                    1000, QStringLiteral("Vehicles per lane per mile"), values.jamDensity);
}

CGraphicsPage::CGraphicsPage(PreferenceValues& values, Prompter& prompter, QWidget* parent)
    : CPreferencePage(kGraphicsHelpContext, parent), values_(values), prompter_(prompter) {
    setObjectName(QStringLiteral("graphics"));
    addIntegerField(QStringLiteral("Minimum Grid &Spacing (pixels):"),
                    QStringLiteral("Minimum Grid Spacing"), "gridPixels", 20, 100, {},
                    values.gridPixels);

    colourButton_ = new CBackColorButton(this);
    colourButton_->setObjectName(QStringLiteral("backColor"));
    colourButton_->setAccessibleName(QStringLiteral("Background Color"));
    colourButton_->setColour(values.backColor);
    auto* caption = new QLabel(QStringLiteral("&Background Color:"), this);
    caption->setBuddy(colourButton_);
    const int row = grid()->rowCount();
    grid()->addWidget(caption, row, 0);
    grid()->addWidget(colourButton_, row, 1, Qt::AlignLeft);
    connect(colourButton_, &QPushButton::clicked, this, &CGraphicsPage::chooseColour);
}

void CGraphicsPage::chooseColour() {
    const std::optional<std::uint32_t> chosen = prompter_.pickColour(values_.backColor);
    if (!chosen)
        return;
    values_.backColor = *chosen;
    colourButton_->setColour(*chosen);
}

CPrecisionPrefsPage::CPrecisionPrefsPage(PreferenceValues& values, QWidget* parent)
    : CPreferencePage(kPrecisionHelpContext, parent) {
    setObjectName(QStringLiteral("precisionPage"));
    addIntegerField(QStringLiteral("Floating &Point Precision"),
                    QStringLiteral("Floating Point Precision"), "precision", 0, 10,
                    QStringLiteral("places"), values.precision);
    enforceRange(addIntegerField(QStringLiteral("&Autosave every"), QStringLiteral("Autosave"),
                                 "autosaveSeconds", 0, UserDefinedSettings::kMaxAutosaveSeconds,
                                 QStringLiteral("seconds (0: never)"), values.autosaveSeconds));
}

// ---- CPreferencesSheet ------------------------------------------------------------------------

CPreferencesSheet::CPreferencesSheet(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    const UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    values_ = {settings.defaultNumLanes.value, settings.defaultCapacity.value,
               settings.defaultFFSpeed.value,  settings.defaultJamDensity.value,
               settings.gridPixels.value,      settings.backColor.value,
               settings.precision.value,       settings.autosaveSeconds.value,
               CVantryDoc::roadClassDefaults()};
    backColorBefore_ = values_.backColor;

    setWindowTitle(QStringLiteral("Preferences"));
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("pages"));
    pages_ = {new CLinkPrefsPage(values_), new CGraphicsPage(values_, prompter_),
              new CPrecisionPrefsPage(values_), new CRoadClassPage(values_.roadClassDefaults)};
    tabs_->addTab(pages_[0], QStringLiteral("&Link Defaults"));
    tabs_->addTab(pages_[1], QStringLiteral("&Graphics"));
    tabs_->addTab(pages_[2], QStringLiteral("P&recision"));
    tabs_->addTab(pages_[3], QStringLiteral("R&oad Classes"));
    connect(tabs_, &QTabWidget::currentChanged, this, &CPreferencesSheet::pageChanged);

    auto* buttons = createDialogButtons(this, [this] {
        showGuide(HelpRequest::Context, pages_[tabs_->currentIndex()]->helpContext());
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void CPreferencesSheet::showPage(int index) {
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(index);
    currentPage_ = index;
}

bool CPreferencesSheet::readPage(int index) {
    // A refusal is shown with its page in front, beside the field it names.
    showPage(index);
    return pages_[index]->exchange(prompter_);
}

void CPreferencesSheet::pageChanged(int index) {
    // The tab has already changed; the page the user is leaving is read before it may go.
    if (readPage(currentPage_))
        showPage(index);
}

void CPreferencesSheet::accept() {
    if (!readPage(currentPage_))
        return;
    for (int i = 0; i < static_cast<int>(pages_.size()); ++i)
        if (!readPage(i))
            return;
    QDialog::accept();
}

bool CPreferencesSheet::apply() {
    if (result() != QDialog::Accepted)
        return false;
    UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    settings.defaultNumLanes.value = values_.numLanes;
    settings.defaultCapacity.value = values_.capacity;
    settings.defaultFFSpeed.value = values_.ffSpeed;
    settings.defaultJamDensity.value = values_.jamDensity;
    settings.gridPixels.value = values_.gridPixels;
    settings.backColor.value = values_.backColor;
    settings.precision.value = values_.precision;
    settings.autosaveSeconds.value = values_.autosaveSeconds;
    settings.roadClassDefaults.value = values_.roadClassDefaults.text();
    // Kept at once: the program may not get to end normally.
    settings.commit();
    return values_.backColor != backColorBefore_;
}

} // namespace vantry
