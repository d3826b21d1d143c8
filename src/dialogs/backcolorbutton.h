#pragma once

#include <QPushButton>

#include <cstdint>

namespace vantry {

// A push button that shows a colour instead of a caption: the background colour of the map,
// chosen by clicking it.
class CBackColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CBackColorButton(QWidget* parent = nullptr);

    // Colours are 0x00BBGGRR values. Setting one repaints the button at once.
    std::uint32_t colour() const { return colour_; }
    void setColour(std::uint32_t colour);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t colour_ = 0xFFFFFF;
};

} // namespace vantry
