#include "dialogs/streetloaddlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>
#include <string_view>

namespace vantry {

namespace {

constexpr long kStreetLoadHelpContext = 37;

enum class Group { Roads, Ramps, Service };

Group groupOf(std::string_view name) {
    if (name.ends_with("_link"))
        return Group::Ramps;
    if (name == "service" || isPrivateServiceKind(name))
        return Group::Service;
    return Group::Roads;
}

} // namespace

CStreetLoadDlg::CStreetLoadDlg(const StreetLoadChoice& initial, QWidget* parent)
    : QDialog(parent), initial_(initial) {
    setWindowTitle(QStringLiteral("Street Data"));

    auto* intro = new QLabel(QStringLiteral("Auto-Populate makes links of the roads of the classes "
                                            "ticked; the others are only drawn."),
                             this);
    intro->setWordWrap(true);

    // Widgets are created in reading order, which is also the order Tab visits them.
    QGroupBox* groups[] = {new QGroupBox(QStringLiteral("Roads"), this),
                           new QGroupBox(QStringLiteral("Ramps"), this),
                           new QGroupBox(QStringLiteral("Service roads"), this)};
    for (QGroupBox* g : groups)
        new QVBoxLayout(g);
    for (const RoadClassInfo& info : roadClassTable()) {
        QGroupBox* group = groups[static_cast<int>(groupOf(info.name))];
        auto* box = new QCheckBox(QString::fromUtf8(info.label), group);
        box->setObjectName(QString::fromUtf8(info.name));
        group->layout()->addWidget(box);
        boxes_.emplace_back(info.name, box);
        connect(box, &QCheckBox::toggled, this, &CStreetLoadDlg::updateControls);
    }
    auto* classes = new QHBoxLayout;
    for (QGroupBox* g : groups) {
        static_cast<QVBoxLayout*>(g->layout())->addStretch(1);
        classes->addWidget(g);
    }

    auto* all = new QPushButton(QStringLiteral("&All"), this);
    all->setObjectName(QStringLiteral("all"));
    auto* standard = new QPushButton(QStringLiteral("&Default"), this);
    standard->setObjectName(QStringLiteral("default"));
    for (QPushButton* b : {all, standard})
        b->setAutoDefault(false);
    connect(all, &QPushButton::clicked, this, &CStreetLoadDlg::tickAll);
    connect(standard, &QPushButton::clicked, this, &CStreetLoadDlg::tickDefault);
    auto* choices = new QHBoxLayout;
    choices->addWidget(all);
    choices->addWidget(standard);
    choices->addStretch(1);

    railways_ = new QCheckBox(QStringLiteral("Draw &railway tracks under the streets"), this);
    railways_->setObjectName(QStringLiteral("railway"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(classes);
    layout->addLayout(choices);
    layout->addWidget(railways_);

    if (initial.askSpeedUnit) {
        speedUnit_ = new QComboBox(this);
        speedUnit_->setObjectName(QStringLiteral("speedUnit"));
        speedUnit_->addItem(QStringLiteral("Guess from the layer"),
                            static_cast<int>(SpeedUnit::Guess));
        speedUnit_->addItem(QStringLiteral("miles per hour"),
                            static_cast<int>(SpeedUnit::MilesPerHour));
        speedUnit_->addItem(QStringLiteral("kilometres per hour"),
                            static_cast<int>(SpeedUnit::KilometresPerHour));
        speedUnit_->setCurrentIndex(speedUnit_->findData(static_cast<int>(initial.speedUnit)));
        auto* caption = new QLabel(QStringLiteral("&Speeds without a unit are in:"), this);
        caption->setBuddy(speedUnit_);
        auto* row = new QHBoxLayout;
        row->addWidget(caption);
        row->addWidget(speedUnit_);
        row->addStretch(1);
        layout->addLayout(row);
    }

    auto* buttons = createDialogButtons(
        this, [this] { showGuide(HelpRequest::Context, kStreetLoadHelpContext); });
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);

    tick(initial.classes);
    railways_->setChecked(initial.classes.railways());
}

void CStreetLoadDlg::tick(const RoadClassChoice& classes) {
    for (const auto& [name, box] : boxes_)
        box->setChecked(classes.contains(name));
    updateControls();
}

void CStreetLoadDlg::tickAll() {
    tick(RoadClassChoice({"all"}));
}

void CStreetLoadDlg::tickDefault() {
    tick(RoadClassChoice());
}

void CStreetLoadDlg::updateControls() {
    // The kinds of service road count only as service roads: without those they mean nothing,
    // and cannot be the whole choice.
    bool service = false, any = false;
    for (const auto& [name, box] : boxes_) {
        if (name == "service")
            service = box->isChecked();
        if (!isPrivateServiceKind(name) && box->isChecked())
            any = true;
    }
    for (const auto& [name, box] : boxes_)
        if (isPrivateServiceKind(name))
            box->setEnabled(service);
    ok_->setEnabled(any);
}

StreetLoadChoice CStreetLoadDlg::choice() const {
    StreetLoadChoice chosen = initial_;
    std::set<std::string> names;
    for (const auto& [name, box] : boxes_)
        if (box->isChecked())
            names.insert(name);
    if (names.size() == boxes_.size())
        names = {"all"};
    if (railways_->isChecked())
        names.insert("railway");
    chosen.classes = RoadClassChoice(std::move(names));
    if (speedUnit_)
        chosen.speedUnit = static_cast<SpeedUnit>(speedUnit_->currentData().toInt());
    return chosen;
}

} // namespace vantry
