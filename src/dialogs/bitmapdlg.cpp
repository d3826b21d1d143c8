#include "dialogs/bitmapdlg.h"

#include "base/files.h"
#include "dialogs/fieldinput.h"
#include "dialogs/help.h"
#include "document/picturefile.h"
#include "geo/pictureplacement.h"

#include <QApplication>

#include <QDialogButtonBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vantry {

namespace {

constexpr int kPreviewSide = 310;
constexpr int kPreviewMargin = 15;

QString general(double v) {
    return formatSignificant(v, 6);
}

// Enough digits for the box to read back as the same float, so that a picture placed from what
// it says of itself lands exactly there.
QString exact(double v) {
    return formatSignificant(v, 9);
}

// Pixels per mile as the dialog shows it: rounded to the nearest whole number.
std::int32_t roundedRatio(std::int32_t pixels, double miles) {
    const double ratio = pixels / miles + 0.5;
    if (!std::isfinite(ratio) || ratio < 0 || ratio > 2.0e9)
        return 0;
    return static_cast<std::int32_t>(ratio);
}

// Paints the dialog's picture into the preview rectangle.
class PreviewArea : public QWidget {
public:
    explicit PreviewArea(const CBitmapDlg& dialog) : dialog_(dialog) {
        setFixedSize(kPreviewSide + kPreviewMargin, kPreviewSide + kPreviewMargin);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect r = dialog_.previewRect();
        if (dialog_.preview().isNull() || r.isEmpty())
            return;
        painter.drawImage(r, dialog_.preview());
        painter.setPen(palette().dark().color());
        painter.drawRect(r.adjusted(-1, -1, 0, 0));
    }

private:
    const CBitmapDlg& dialog_;
};

} // namespace

CBitmapDlg::CBitmapDlg(const PictureChoice& initial, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), choice_(initial), pathText_(initial.path) {
    setWindowTitle(QStringLiteral("Load Bitmap"));
    path_ = new QLineEdit(pathText_.text());
    path_->setObjectName(QStringLiteral("path"));
    browse_ = new QPushButton(QStringLiteral("&Browse..."));
    width_ = new QLineEdit;
    width_->setObjectName(QStringLiteral("bitmapWidth"));
    height_ = new QLineEdit;
    height_->setObjectName(QStringLiteral("bitmapHeight"));
    worldWidth_ = new QLineEdit;
    worldWidth_->setObjectName(QStringLiteral("worldWidth"));
    ratio_ = new QLineEdit;
    ratio_->setObjectName(QStringLiteral("ratio"));
    left_ = new QLineEdit;
    left_->setObjectName(QStringLiteral("left"));
    bottom_ = new QLineEdit;
    bottom_->setObjectName(QStringLiteral("bottom"));
    for (QLineEdit* computed : {width_, height_, ratio_})
        computed->setEnabled(false);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Help);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CBitmapDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CBitmapDlg::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [] { showGuide(HelpRequest::Context, 35); });
    connect(browse_, &QPushButton::clicked, this, &CBitmapDlg::browse);
    connect(worldWidth_, &QLineEdit::editingFinished, this, &CBitmapDlg::worldWidthEditingFinished);
    // The path box loads when the focus leaves it, unless a click on a button took the focus.
    path_->installEventFilter(this);

    auto* form = new QFormLayout;
    auto* pathLabel = new QLabel(QStringLiteral("Set the Bitmap Background file path:"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    form->addRow(pathLabel);
    form->addRow(pathRow);
    form->addRow(QStringLiteral("Bitmap Width (pixels):"), width_);
    form->addRow(QStringLiteral("Bitmap Height (pixels):"), height_);
    form->addRow(new QLabel(QStringLiteral("Set the real world width, in miles, represented by "
                                           "the bitmap.")));
    form->addRow(QStringLiteral("&World Width (miles):"), worldWidth_);
    form->addRow(QStringLiteral("Bitmap to World Ratio:"), ratio_);
    form->addRow(
        new QLabel(QStringLiteral("Set the real world bottom left corner of represented area.")));
    form->addRow(QStringLiteral("&Left side alignment (miles):"), left_);
    form->addRow(QStringLiteral("B&ottom side alignment (miles):"), bottom_);
    for (QLabel* l : findChildren<QLabel*>())
        l->setWordWrap(true);
    placementNote_ = new QLabel;
    placementNote_->setObjectName(QStringLiteral("placementNote"));
    placementNote_->setTextFormat(Qt::PlainText);
    placementNote_->setWordWrap(true);
    placementNote_->hide();

    previewArea_ = new PreviewArea(*this);
    auto* columns = new QHBoxLayout;
    columns->addWidget(previewArea_, 0, Qt::AlignTop);
    columns->addLayout(form, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(placementNote_);
    layout->addWidget(buttons);

    showNumbers();
    // A picture already placed by the user keeps the user's numbers.
    placeOnLoad_ = initial.worldWidth == 0;
    if (!initial.path.empty())
        loadIntoDialog(path_->text());
    placeOnLoad_ = true;
}

QRect CBitmapDlg::previewRect() const {
    if (preview_.isNull() || preview_.height() == 0)
        return {};
    const double r = static_cast<double>(preview_.width()) / preview_.height();
    const int right =
        preview_.width() > preview_.height() ? kPreviewSide : static_cast<int>(r * kPreviewSide);
    const int bottom =
        preview_.width() < preview_.height() ? kPreviewSide : static_cast<int>(kPreviewSide / r);
    return QRect(QPoint(kPreviewMargin, kPreviewMargin), QPoint(right - 1, bottom - 1));
}

void CBitmapDlg::showNumbers() {
    width_->setText(QString::number(bitmapWidth_));
    height_->setText(QString::number(choice_.height));
    worldWidth_->setText(general(choice_.worldWidth));
    ratio_->setText(QString::number(choice_.ratio));
    left_->setText(general(choice_.left));
    bottom_->setText(general(choice_.bottom));
}

bool CBitmapDlg::loadIntoDialog(const QString& path) {
    triedPath_ = path.trimmed();
    const std::string p = pathText_.encode(path);
    std::string why;
    preview_ = QImage();
    picture_ = loadPicture(p, why);
    if (!picture_) {
        // Nothing of the picture tried before may stay to be taken for this one's.
        bitmapWidth_ = 0;
        choice_.height = 0;
        choice_.ratio = 0;
        width_->setText(QString::number(0));
        height_->setText(QString::number(0));
        ratio_->setText(QString::number(0));
        previewArea_->update();
        placementNote_->hide();
        // The message names the file itself.
        prompter_.showMessage(why, Prompter::Icon::Exclamation);
        return false;
    }
    bitmapWidth_ = picture_->width;
    choice_.height = picture_->height;
    // A copy would double the memory a large picture takes, and could fail where decoding did not.
    preview_ = QImage(reinterpret_cast<const uchar*>(picture_->pixels.data()), bitmapWidth_,
                      choice_.height, bitmapWidth_ * 4, QImage::Format_RGB32);
    // Without a world width the picture starts at one pixel per mile.
    const double typed = parseLeadingNumber(worldWidth_->text()).value_or(0.0);
    choice_.worldWidth = static_cast<float>(typed == 0.0 ? bitmapWidth_ : typed);
    if (bitmapWidth_ != 0)
        choice_.ratio = roundedRatio(bitmapWidth_, choice_.worldWidth);
    width_->setText(QString::number(bitmapWidth_));
    height_->setText(QString::number(choice_.height));
    worldWidth_->setText(general(choice_.worldWidth));
    ratio_->setText(QString::number(choice_.ratio));
    previewArea_->update();
    if (placeOnLoad_)
        placeFromPicture(p);
    return true;
}

void CBitmapDlg::placeFromPicture(const std::string& path) {
    const PicturePlacement placed =
        placePicture(path, bitmapWidth_, choice_.height, choice_.georeference);
    QString note = QString::fromStdString(placed.note);
    if (placed.kind == PicturePlacement::Kind::Placed) {
        choice_.worldWidth = static_cast<float>(placed.right - placed.left);
        choice_.left = static_cast<float>(placed.left);
        choice_.bottom = static_cast<float>(placed.bottom);
        choice_.ratio = roundedRatio(bitmapWidth_, choice_.worldWidth);
        worldWidth_->setText(exact(choice_.worldWidth));
        ratio_->setText(QString::number(choice_.ratio));
        left_->setText(exact(choice_.left));
        bottom_->setText(exact(choice_.bottom));
        // The picture's height follows from its width, as the network keeps it: pixels that are
        // not square where it lies (a picture in degrees, say) make it cover other miles up.
        const double height = placed.top - placed.bottom;
        const double shown = choice_.ratio > 0 ? static_cast<double>(choice_.height) / choice_.ratio
                                               : static_cast<double>(choice_.height) *
                                                     choice_.worldWidth / bitmapWidth_;
        if (std::abs(shown - height) > 0.01 * height)
            note += QStringLiteral("; its pixels are not square on the network, so it covers "
                                   "%1 miles up, not %2")
                        .arg(general(shown), general(height));
    }
    placementNote_->setText(note);
    placementNote_->setVisible(!note.isEmpty());
}

void CBitmapDlg::pathEditingFinished() {
    if (!path_->text().isEmpty() && path_->text().trimmed() != triedPath_)
        loadIntoDialog(path_->text());
}

void CBitmapDlg::worldWidthEditingFinished() {
    const double miles = parseLeadingNumber(worldWidth_->text()).value_or(0.0);
    choice_.worldWidth = static_cast<float>(miles);
    const int pixels = parseIntegerText(width_->text()).value_or(0);
    if (pixels != 0) {
        choice_.ratio = roundedRatio(pixels, miles);
        ratio_->setText(QString::number(choice_.ratio));
    }
}

void CBitmapDlg::browse() {
    const auto chosen = prompter_.choosePictureFile();
    if (!chosen)
        return;
    pathText_ = StoredText(*chosen);
    path_->setText(pathText_.text());
    loadIntoDialog(path_->text());
    worldWidth_->setFocus();
    worldWidth_->selectAll();
}

bool CBitmapDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == path_ && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The focus has already moved on. A click on a button acts on its own: Cancel and Browse
        // have no use for the typed file, and OK loads it itself. A message box or another
        // window taking the focus for a while is not leaving the box.
        const QWidget* next = QApplication::focusWidget();
        const bool clickedButton =
            reason == Qt::MouseFocusReason && (next == ok_ || next == cancel_ || next == browse_);
        if (!clickedButton && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            pathEditingFinished();
    }
    return QDialog::eventFilter(watched, event);
}

bool CBitmapDlg::readNumber(QLineEdit* box, const char* name, bool whole, double& value) {
    std::optional<double> read;
    if (whole) {
        if (const auto n = parseIntegerText(box->text()))
            read = *n;
    } else {
        read = parseNumberText(box->text());
    }
    if (!read || !std::isfinite(*read)) {
        refuseField(box, prompter_, QStringLiteral("Please enter a number for %1.").arg(name));
        return false;
    }
    value = *read;
    return true;
}

void CBitmapDlg::accept() {
    // A path typed and not yet tried is loaded now, once: the numbers below must be its own.
    const QString typed = path_->text().trimmed();
    if (!typed.isEmpty() && typed != triedPath_ && !loadIntoDialog(typed)) {
        path_->setFocus(Qt::OtherFocusReason);
        return;
    }
    double width = 0, height = 0, ratio = 0, world = 0, left = 0, bottom = 0;
    if (!readNumber(width_, "Bitmap Width", true, width) ||
        !readNumber(height_, "Bitmap Height", true, height) ||
        !readNumber(ratio_, "Bitmap to World Ratio", true, ratio) ||
        !readNumber(worldWidth_, "World Width", false, world) ||
        !readNumber(left_, "Left side alignment", false, left) ||
        !readNumber(bottom_, "Bottom side alignment", false, bottom))
        return;
    choice_.path = pathText_.encode(path_->text().trimmed());
    choice_.width = static_cast<std::int32_t>(width);
    choice_.height = static_cast<std::int32_t>(height);
    choice_.ratio = static_cast<std::int32_t>(ratio);
    choice_.worldWidth = static_cast<float>(world);
    choice_.left = static_cast<float>(left);
    choice_.bottom = static_cast<float>(bottom);
    QDialog::accept();
}

} // namespace vantry
