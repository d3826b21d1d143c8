#include "dialogs/backcolorbutton.h"

#include <QPen>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace vantry {

namespace {

QColor toQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

CBackColorButton::CBackColorButton(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false);
}

void CBackColorButton::setColour(std::uint32_t colour) {
    colour_ = colour;
    update();
}

QSize CBackColorButton::sizeHint() const {
    const int height = QPushButton::sizeHint().height();
    return {height * 3, height};
}

void CBackColorButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    // The bevel alone: the style draws it sunken while the button is held down.
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QColor colour = toQColor(colour_);
    const QRect swatch = rect().adjusted(2, 2, -2, -2);
    painter.setPen(QPen(colour, 1));
    painter.setBrush(colour);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));

    // The swatch hides the style's own focus mark, and without one a keyboard user cannot
    // tell that the button has the focus.
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = swatch.adjusted(3, 3, -3, -3);
        focus.backgroundColor = colour;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace vantry
