#include "dialogs/linkdlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/fieldinput.h"
#include "dialogs/help.h"
#include "dialogs/integeredit.h"
#include "fields/linkfields.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <initializer_list>
#include <tuple>

namespace vantry {

namespace {

constexpr long kLinkHelpContext = 15;

} // namespace

CLinkDlg::CLinkDlg(const std::vector<Link*>& links, Prompter& prompter, QWidget* parent)
    : QDialog(parent), links_(links), prompter_(prompter), single_(links.size() == 1) {
    fillFromLinks();
    buildControls();
    load();
}

void CLinkDlg::fillFromLinks() {
    if (links_.empty()) {
        flags_ = {false, false, false, false, false, false};
        return;
    }
    data_ = links_.front()->attributes();
    if (single_)
        return;

    for (const Link* link : links_) {
        flags_.numLanes = flags_.numLanes && link->numLanes() == data_.numLanes;
        flags_.capacity = flags_.capacity && link->capacity() == data_.capacity;
        flags_.ffSpeed = flags_.ffSpeed && link->ffSpeed() == data_.ffSpeed;
        flags_.jamDensity = flags_.jamDensity && link->jamDensity() == data_.jamDensity;
        flags_.direction =
            flags_.direction && static_cast<std::int32_t>(link->direction()) == data_.direction;
        flags_.type = flags_.type && static_cast<std::int32_t>(link->type()) == data_.type;
    }
    if (!flags_.numLanes)
        data_.numLanes = 0;
    if (!flags_.capacity)
        data_.capacity = 0;
    if (!flags_.ffSpeed)
        data_.ffSpeed = 0;
    if (!flags_.jamDensity)
        data_.jamDensity = 0;
    data_.length = 0.0f;
    data_.description.clear();
    data_.link = nullptr;
}

void CLinkDlg::buildControls() {
    setWindowTitle(single_ ? QStringLiteral("Link %1 Properties").arg(links_.front()->id())
                           : QStringLiteral("Multiple Link Properties"));

    // Widgets are created in reading order, which is also the order Tab visits them.
    auto* fields = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* field, const QString& unit) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(field);
        fields->addWidget(caption, row, 0);
        fields->addWidget(field, row, 1);
        if (!unit.isEmpty())
            fields->addWidget(new QLabel(unit, this), row, 2);
        ++row;
    };
    auto addInteger = [&](const QString& label, LinkField field, const char* objectName,
                          int maximum, const QString& unit) {
        auto* edit = new CIntegerEdit(linkFieldName(field), 0, maximum, this);
        edit->setObjectName(QLatin1String(objectName));
        addRow(label, edit, unit);
        return edit;
    };

    numLanesEdit_ =
        addInteger(QStringLiteral("&Number of Lanes"), LinkField::NumLanes, "numLanes", 10, {});
    capacityEdit_ = addInteger(QStringLiteral("&Capacity"), LinkField::Capacity, "capacity", 10000,
                               QStringLiteral("Vehicles per lane per hour"));
    lengthEdit_ = new QLineEdit(this);
    lengthEdit_->setObjectName(QStringLiteral("length"));
    lengthEdit_->setAlignment(Qt::AlignRight);
    lengthEdit_->setAccessibleName(QStringLiteral("Length"));
    resetLengthButton_ = new QPushButton(QStringLiteral("Re&set Length"), this);
    resetLengthButton_->setObjectName(QStringLiteral("resetLength"));
    resetLengthButton_->setAutoDefault(false);
    fields->addWidget(resetLengthButton_, row, 3);
    addRow(QStringLiteral("&Length"), lengthEdit_, QStringLiteral("Miles"));
    ffSpeedEdit_ = addInteger(QStringLiteral("&Free-flow Speed"), LinkField::FFSpeed, "ffSpeed",
                              100, QStringLiteral("Miles per hour"));
    jamDensityEdit_ = addInteger(QStringLiteral("&Jam Density"), LinkField::JamDensity,
                                 "jamDensity", 1000, QStringLiteral("Vehicles per lane per mile"));
    connect(resetLengthButton_, &QPushButton::clicked, this, &CLinkDlg::resetLength);

    // Button ids are the LinkDirection and LinkType values.
    auto addRadios = [this](const QString& title, QButtonGroup*& group,
                            std::initializer_list<std::tuple<const char*, const char*, int>> items,
                            int columns) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        group = new QButtonGroup(this);
        int index = 0;
        for (const auto& [text, objectName, id] : items) {
            auto* radio = new QRadioButton(QString::fromLatin1(text), box);
            radio->setObjectName(QLatin1String(objectName));
            group->addButton(radio, id);
            grid->addWidget(radio, index / columns, index % columns);
            ++index;
        }
        return box;
    };
    QGroupBox* directionBox =
        addRadios(QStringLiteral("Direction"), directionGroup_,
                  {{"&Inbound", "inbound", static_cast<int>(LinkDirection::Inbound)},
                   {"&Outbound", "outbound", static_cast<int>(LinkDirection::Outbound)}},
                  1);
    QGroupBox* typeBox = addRadios(QStringLiteral("Type"), typeGroup_,
                                   {{"&Mainline", "mainline", static_cast<int>(LinkType::Mainline)},
                                    {"&Workzone", "workzone", static_cast<int>(LinkType::Workzone)},
                                    {"Detour&1", "detour1", static_cast<int>(LinkType::Detour1)},
                                    {"Detour&2", "detour2", static_cast<int>(LinkType::Detour2)},
                                    {"&Ramp", "ramp", static_cast<int>(LinkType::Ramp)},
                                    {"Non&e", "none", static_cast<int>(LinkType::None)}},
                                   2);

    auto* descriptionLabel = new QLabel(QStringLiteral("&Description"), this);
    descriptionEdit_ = new QPlainTextEdit(this);
    descriptionEdit_->setObjectName(QStringLiteral("description"));
    descriptionEdit_->setAccessibleName(QStringLiteral("Description"));
    descriptionEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab must leave the box for the buttons, or the dialog could not be used from the keyboard.
    descriptionEdit_->setTabChangesFocus(true);
    descriptionEdit_->setFixedHeight(descriptionEdit_->fontMetrics().lineSpacing() * 4 + 12);
    descriptionLabel->setBuddy(descriptionEdit_);

    auto* buttons =
        createDialogButtons(this, [this] { showGuide(HelpRequest::Context, kLinkHelpContext); });

    auto* choices = new QHBoxLayout;
    choices->addWidget(directionBox);
    choices->addWidget(typeBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(choices);
    layout->addWidget(descriptionLabel);
    layout->addWidget(descriptionEdit_);
    layout->addWidget(buttons);
}

void CLinkDlg::load() {
    auto loadInteger = [this](CIntegerEdit* edit, std::int32_t value, bool shown) {
        if (single_ || shown)
            edit->setInteger(value);
        else
            edit->setText(QString());
    };
    loadInteger(numLanesEdit_, data_.numLanes, flags_.numLanes);
    loadInteger(capacityEdit_, data_.capacity, flags_.capacity);
    loadInteger(ffSpeedEdit_, data_.ffSpeed, flags_.ffSpeed);
    loadInteger(jamDensityEdit_, data_.jamDensity, flags_.jamDensity);
    if (QAbstractButton* b = directionGroup_->button(data_.direction); b && flags_.direction)
        b->setChecked(true);
    if (QAbstractButton* b = typeGroup_->button(data_.type); b && flags_.type)
        b->setChecked(true);

    if (!single_) {
        lengthEdit_->setEnabled(false);
        resetLengthButton_->setEnabled(false);
        descriptionEdit_->setEnabled(false);
        return;
    }
    shownLength_ = formatFixed(data_.length, 3);
    lengthEdit_->setText(shownLength_);
    const Link* link = links_.front();
    unchangedLength_ = link->hasAutomaticLength() ? -1.0f : data_.length;
    description_ = StoredText(data_.description);
    descriptionEdit_->setPlainText(description_.text());
    // Compared on OK with what the box returns then, so that only a real edit rewrites the
    // stored bytes, and an edit only those of the characters it changed.
    shownDescription_ = descriptionEdit_->toPlainText();
    description_.alignTo(singleLine(shownDescription_));
}

void CLinkDlg::resetLength() {
    const double rounded = std::floor(links_.front()->automaticLength() * 1000.0 + 0.5) * 0.001;
    shownLength_ = formatFixed(rounded, 3);
    lengthEdit_->setText(shownLength_);
    // The rounded figure stands for "follow the nodes": left as it is, it makes the length
    // automatic again instead of freezing the rounded value.
    unchangedLength_ = -1.0f;
}

bool CLinkDlg::exchange() {
    // Read into copies, so that a refused field leaves the dialog's state as it was.
    LinkAttributes next = data_;
    ApplyFlags nextFlags = flags_;

    auto readInteger = [&](CIntegerEdit* edit, std::int32_t& value, bool& flag) {
        if (!single_ && edit->isBlank()) {
            flag = false;
            return true;
        }
        const std::optional<std::int32_t> v = edit->read(prompter_);
        if (!v)
            return false;
        value = *v;
        flag = true;
        return true;
    };
    if (!readInteger(numLanesEdit_, next.numLanes, nextFlags.numLanes) ||
        !readInteger(capacityEdit_, next.capacity, nextFlags.capacity))
        return false;

    if (single_) {
        const QString text = lengthEdit_->text();
        if (text == shownLength_) {
            next.length = unchangedLength_;
        } else {
            // Only the leading number counts ("1.5 mi" is 1.5), but text that is no length at
            // all is refused rather than turned into a length of 0.
            QString why;
            const std::optional<float> v = readLinkLength(text, &why);
            if (!v) {
                refuseField(lengthEdit_, prompter_, why);
                return false;
            }
            next.length = *v;
        }
    }

    if (!readInteger(ffSpeedEdit_, next.ffSpeed, nextFlags.ffSpeed) ||
        !readInteger(jamDensityEdit_, next.jamDensity, nextFlags.jamDensity))
        return false;

    nextFlags.direction = directionGroup_->checkedId() >= 0;
    if (nextFlags.direction)
        next.direction = directionGroup_->checkedId();
    nextFlags.type = typeGroup_->checkedId() >= 0;
    if (nextFlags.type)
        next.type = typeGroup_->checkedId();

    if (single_) {
        const QString description = descriptionEdit_->toPlainText();
        if (description != shownDescription_)
            next.description = description_.encode(singleLine(description));
    }

    data_ = std::move(next);
    flags_ = nextFlags;
    return true;
}

void CLinkDlg::accept() {
    if (exchange())
        QDialog::accept();
}

void CLinkDlg::apply() {
    if (result() != QDialog::Accepted)
        return;
    if (single_) {
        links_.front()->setAttributes(data_);
        return;
    }
    for (Link* link : links_) {
        if (flags_.numLanes)
            link->setNumLanes(data_.numLanes);
        if (flags_.capacity)
            link->setCapacity(data_.capacity);
        if (flags_.ffSpeed)
            link->setFFSpeed(data_.ffSpeed);
        if (flags_.jamDensity)
            link->setJamDensity(data_.jamDensity);
        if (flags_.direction)
            link->setDirection(static_cast<LinkDirection>(data_.direction));
        if (flags_.type)
            link->setType(static_cast<LinkType>(data_.type));
    }
}

} // namespace vantry
