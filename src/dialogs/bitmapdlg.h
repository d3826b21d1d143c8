#pragma once

#include "document/prompter.h"
#include "fields/storedtext.h"
#include "picture/backgroundimage.h"

#include <QDialog>
#include <QImage>

#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vantry {

// The Load Bitmap dialog: the picture file with a preview, its size in pixels, the world width
// it spans and the world position of its bottom-left corner, with the pixels per mile that
// follow from them. On a placed network, a picture that says where it lies (a world file, a
// GeoTIFF's tags) fills in the world numbers when it is chosen; the user may still change them.
class CBitmapDlg : public QDialog {
    Q_OBJECT
public:
    CBitmapDlg(const PictureChoice& initial, Prompter& prompter, QWidget* parent = nullptr);

    // What the user settled; meaningful after the dialog was accepted.
    const PictureChoice& choice() const { return choice_; }
    const QImage& preview() const { return preview_; }
    // The rectangle the preview is painted into, in the preview area's pixels.
    QRect previewRect() const;

    // The dialog's steps, callable as the controls call them. Loading tells the user why a
    // file could not be shown and returns false.
    bool loadIntoDialog(const QString& path);
    // Leaving the path box loads a path that was not tried yet.
    void pathEditingFinished();
    void worldWidthEditingFinished();
    void browse();

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showNumbers();
    // Puts the loaded picture where it says it lies, when it says so, and tells the user.
    void placeFromPicture(const std::string& path);
    bool readNumber(QLineEdit* box, const char* name, bool whole, double& value);

    Prompter& prompter_;
    PictureChoice choice_;
    // The bytes of the path the box was last filled with, behind the characters it shows.
    StoredText pathText_;
    // The decoded picture, which the preview draws from without a copy of its own; the same
    // the document shows once the dialog is accepted.
    std::shared_ptr<const BackgroundImage> picture_;
    QImage preview_;
    std::int32_t bitmapWidth_ = 0;
    // The path box's text when a file was last loaded or tried, so that leaving the box or
    // pressing OK does not load, or complain about, the same file again.
    QString triedPath_;
    QLineEdit* path_;
    QLineEdit* width_;
    QLineEdit* height_;
    QLineEdit* worldWidth_;
    QLineEdit* ratio_;
    QLineEdit* left_;
    QLineEdit* bottom_;
    QPushButton* browse_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QWidget* previewArea_;
    // Where the world numbers came from, or why the picture could not be placed.
    QLabel* placementNote_;
    // Off while the picture the dialog opened with is loaded with numbers of its own.
    bool placeOnLoad_ = true;
};

} // namespace vantry
