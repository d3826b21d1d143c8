#include "dialogs/importmappingdlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace vantry {

namespace {

constexpr long kImportFieldsHelpContext = 61;

const QString kNotRead = QStringLiteral("(not read)");

// A unit box offers "(choose)" first only when the source leaves the unit unstated, so that the
// user cannot take a guess for an answer by pressing Enter.
template <class Unit>
QComboBox* unitBox(QWidget* parent, const char* name,
                   std::initializer_list<std::pair<const char*, Unit>> units, Unit stated) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    if (stated == Unit::Unknown)
        box->addItem(QStringLiteral("(choose)"), static_cast<int>(Unit::Unknown));
    for (const auto& [label, unit] : units)
        box->addItem(QString::fromLatin1(label), static_cast<int>(unit));
    box->setCurrentIndex(box->findData(static_cast<int>(stated)));
    return box;
}

template <class Unit> Unit unitOf(const QComboBox* box) {
    return static_cast<Unit>(box->currentData().toInt());
}

} // namespace

CImportMappingDlg::CImportMappingDlg(const ImportSource& source, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Import Fields"));
    QString what = QFileInfo(QString::fromStdString(source.path)).fileName();
    if (!source.layer.empty())
        what += QStringLiteral(", layer ") + QString::fromStdString(source.layer);
    auto* intro = new QLabel(
        QStringLiteral("Each link attribute is read from the field of %1 chosen here.").arg(what),
        this);
    intro->setWordWrap(true);

    auto* fieldGroup = new QWidget;
    auto* form = new QFormLayout(fieldGroup);
    QStringList names{kNotRead};
    for (const std::string& f : source.fields)
        names << QString::fromStdString(f);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const auto field = static_cast<ImportField>(i);
        auto* box = new QComboBox(fieldGroup);
        box->setObjectName(QStringLiteral("field%1").arg(i));
        box->addItems(names);
        const QString chosen = QString::fromStdString(source.mapping[i]);
        box->setCurrentIndex(
            chosen.isEmpty() ? 0 : std::max(0, static_cast<int>(names.indexOf(chosen, 1))));
        QString label = QString::fromUtf8(importFieldLabel(field));
        if (!label.isEmpty())
            label[0] = label[0].toUpper();
        form->addRow(label + QLatin1Char(':'), box);
        fields_[i] = box;
    }
    // Fifteen rows fit most screens; a scroll bar keeps the buttons in reach on the others.
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(fieldGroup);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    lengthUnit_ = unitBox<LengthUnit>(this, "lengthUnit",
                                      {{"miles", LengthUnit::Miles},
                                       {"feet", LengthUnit::Feet},
                                       {"metres", LengthUnit::Metres},
                                       {"kilometres", LengthUnit::Kilometres}},
                                      source.lengthUnit);
    speedUnit_ = unitBox<SpeedUnitOfSource>(
        this, "speedUnit",
        {{"mph", SpeedUnitOfSource::MilesPerHour}, {"km/h", SpeedUnitOfSource::KilometresPerHour}},
        source.speedUnit);
    auto* units = new QGroupBox(QStringLiteral("Units of the source"), this);
    auto* unitForm = new QFormLayout(units);
    unitForm->addRow(QStringLiteral("&Lengths in:"), lengthUnit_);
    unitForm->addRow(QStringLiteral("&Speeds in:"), speedUnit_);

    problem_ = createProblemLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(scroll, 1);
    layout->addWidget(units);
    layout->addWidget(problem_);
    layout->addWidget(createDialogButtons(
        this, [] { showGuide(HelpRequest::Context, kImportFieldsHelpContext); }));
    resize(460, 620);
}

QString CImportMappingDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CImportMappingDlg::accept() {
    const struct {
        QComboBox* box;
        bool known;
        const char* what;
    } units[] = {{lengthUnit_, unitOf<LengthUnit>(lengthUnit_) != LengthUnit::Unknown, "lengths"},
                 {speedUnit_, unitOf<SpeedUnitOfSource>(speedUnit_) != SpeedUnitOfSource::Unknown,
                  "speeds"}};
    for (const auto& u : units) {
        if (!u.known) {
            problem_->setText(QStringLiteral("The source does not say the unit of its %1: "
                                             "choose it.")
                                  .arg(QLatin1String(u.what)));
            problem_->show();
            u.box->setFocus();
            return;
        }
    }
    for (std::size_t i = 0; i < fields_.size(); ++i)
        choices_.mapping[i] = fields_[i]->currentIndex() == 0
                                  ? std::string()
                                  : fields_[i]->currentText().toStdString();
    choices_.lengthUnit = unitOf<LengthUnit>(lengthUnit_);
    choices_.speedUnit = unitOf<SpeedUnitOfSource>(speedUnit_);
    QDialog::accept();
}

} // namespace vantry
