#include "dialogs/georeferencedlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "geo/geotransform.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace vantry {

namespace {

constexpr long kGeoreferenceHelpContext = 60;

// The shortest text that reads back as the same number, so that OK on an unchanged dialog
// changes nothing.
QString numberText(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

CGeoreferenceDlg::CGeoreferenceDlg(const Georeference& initial, QWidget* parent)
    : QDialog(parent), choice_(initial) {
    setWindowTitle(QStringLiteral("Georeference"));

    placed_ = new QRadioButton(QStringLiteral("This network is &placed:"), this);
    placed_->setObjectName(QStringLiteral("placed"));
    crs_ = new QLineEdit(QString::fromStdString(initial.crs), this);
    crs_->setObjectName(QStringLiteral("crs"));
    crs_->setPlaceholderText(QStringLiteral("EPSG:2263 or a PROJ string"));
    crs_->setMinimumWidth(320);
    originX_ = new QLineEdit(numberText(initial.originX), this);
    originX_->setObjectName(QStringLiteral("originX"));
    originY_ = new QLineEdit(numberText(initial.originY), this);
    originY_->setObjectName(QStringLiteral("originY"));
    unplaced_ = new QRadioButton(QStringLiteral("This network is &not placed"), this);
    unplaced_->setObjectName(QStringLiteral("unplaced"));
    (initial.placed() ? placed_ : unplaced_)->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&CRS:"), crs_);
    form->addRow(QStringLiteral("Origin &X:"), originX_);
    form->addRow(QStringLiteral("Origin &Y:"), originY_);
    auto* note = new QLabel(
        QStringLiteral("The origin is the point 0,0 of the network in the CRS's own units."), this);
    note->setWordWrap(true);

    problem_ = createProblemLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(placed_);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(unplaced_);
    layout->addWidget(problem_);
    layout->addWidget(createDialogButtons(
        this, [] { showGuide(HelpRequest::Context, kGeoreferenceHelpContext); }));

    // Typing where the network lies says that it is placed: the fields stay open to the
    // keyboard whichever choice is made.
    for (QLineEdit* field : {crs_, originX_, originY_})
        connect(field, &QLineEdit::textEdited, placed_, [this] { placed_->setChecked(true); });
    crs_->setFocus();
}

QString CGeoreferenceDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CGeoreferenceDlg::refuse(const QString& why, QLineEdit* field) {
    problem_->setText(why);
    problem_->show();
    field->setFocus();
    field->selectAll();
}

void CGeoreferenceDlg::accept() {
    if (unplaced_->isChecked()) {
        choice_ = Georeference{};
        QDialog::accept();
        return;
    }
    Georeference g;
    g.crs = crs_->text().trimmed().toStdString();
    if (g.crs.empty())
        return refuse(QStringLiteral("Type the CRS: an EPSG code such as EPSG:2263, or a PROJ "
                                     "string."),
                      crs_);
    const struct {
        QLineEdit* field;
        double* value;
        const char* name;
    } origin[] = {{originX_, &g.originX, "X"}, {originY_, &g.originY, "Y"}};
    for (const auto& o : origin) {
        bool ok = false;
        // Numbers are read with a point for the decimals, whatever the user's language.
        *o.value = QLocale::c().toDouble(o.field->text().trimmed(), &ok);
        if (!ok || !std::isfinite(*o.value))
            return refuse(QStringLiteral("Origin %1 must be a number.").arg(QLatin1String(o.name)),
                          o.field);
    }
    std::string why;
    if (!checkGeoreference(g, &why) || !GeoTransform::make(g, why))
        return refuse(QString::fromStdString(why) + QLatin1Char('.'), crs_);
    choice_ = std::move(g);
    QDialog::accept();
}

} // namespace vantry
