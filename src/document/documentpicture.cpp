// The document's background picture: Load Bitmap, and keeping the picture shown the one the
// network names through opening, editing, undo and redo.
#include "document/vantrydoc.h"

#include "base/files.h"
#include "document/picturefile.h"
#include "picture/relativepath.h"

#include <algorithm>
#include <cmath>

namespace vantry {

bool CVantryDoc::followBackground(const std::string& path, WorldRect rect) {
    if (network_.bitmapPath() == path && network_.bitmapRect() == rect)
        return false;
    // What the user sees must be what a save writes: a picture that cannot be read now is told
    // and shown as missing, as it would be when the saved network is opened.
    std::shared_ptr<const BackgroundImage> picture;
    if (!network_.bitmapPath().empty())
        picture = readBackground(network_.bitmapPath(), bitmapBase_);
    showBackground(std::move(picture), network_.bitmapRect());
    return true;
}

void CVantryDoc::OnLoadBitmap(const std::string& picture) {
    if (!prompter_)
        return;
    PictureChoice initial;
    initial.georeference = network_.georeference();
    std::string current;
    if (!network_.bitmapPath().empty()) {
        const WorldRect r = network_.bitmapRect();
        // The dialog opens the picture to show it, so it gets the path the loader would use,
        // not one relative to whatever the current folder is.
        current = NativePath(ResolvePath(StoredPath(bitmapBase_), network_.bitmapPath()));
        initial.path = current;
        initial.worldWidth = r.right - r.left;
        initial.left = r.left;
        initial.bottom = r.bottom;
    }
    if (!picture.empty())
        initial.path = picture;
    const auto choice = prompter_->choosePicture(initial);
    if (!choice)
        return;
    if (!choice->path.empty()) {
        // Kept relative to the file the network came from, like a path read with it; a path
        // the user left as it was keeps its stored form.
        const std::string stored =
            !current.empty() && choice->path == current
                ? network_.bitmapPath()
                : MakeRelativePath(StoredPath(bitmapBase_), StoredPath(absolutePath(choice->path)));
        WorldRect rect;
        rect.left = choice->left;
        rect.bottom = choice->bottom;
        rect.right = choice->left + choice->worldWidth;
        // The rounded ratio places the top; when it rounds to nothing (fewer pixels than miles)
        // the picture's own proportions do, so that the rectangle keeps a height.
        if (choice->ratio > 0)
            rect.top = choice->bottom +
                       static_cast<float>(choice->height) / static_cast<float>(choice->ratio);
        else if (choice->width > 0)
            rect.top = choice->bottom + static_cast<float>(static_cast<double>(choice->height) *
                                                           choice->worldWidth / choice->width);
        else
            rect.top = choice->bottom;
        // Read before anything changes: a picture that cannot be shown leaves the network, the
        // picture shown and the history as they were. Holding it makes the edit's own reading
        // of the picture find it decoded.
        std::shared_ptr<const BackgroundImage> loaded = readBackground(stored, bitmapBase_);
        if (!loaded)
            return;
        placeBackground(stored, rect);
    } else {
        placeBackground(std::string(), WorldRect{});
    }
}

bool CVantryDoc::placeBackground(const std::string& stored, WorldRect rect) {
    // The same picture at the same place is no change and no undo step.
    return edit("Load Bitmap", [&](Network& net) {
        if (net.bitmapPath() == stored && net.bitmapRect() == rect)
            return false;
        net.setBitmap(stored, rect);
        net.recomputeBounds();
        return true;
    });
}

const BackgroundImage& CVantryDoc::background() const {
    static const BackgroundImage none;
    return background_ ? *background_ : none;
}

std::shared_ptr<const BackgroundImage>
CVantryDoc::readBackground(const std::string& storedPath, const std::string& documentPath) const {
    // The picture is named as this system writes its paths.
    const std::string native = NativePath(ResolvePath(StoredPath(documentPath), storedPath));
    std::string why;
    std::shared_ptr<const BackgroundImage> picture = loadPicture(native, why);
    if (!picture)
        tell(why);
    return picture;
}

void CVantryDoc::showBackground(std::shared_ptr<const BackgroundImage> picture, WorldRect rect) {
    background_ = std::move(picture);
    pixelsPerMile_ = 0;
    const float worldWidth = rect.right - rect.left;
    // Whole pixels per mile, cut toward zero; a rectangle without width draws nothing.
    if (background_ && worldWidth > 0.0f && std::isfinite(worldWidth))
        pixelsPerMile_ = static_cast<std::int32_t>(
            std::min(static_cast<double>(background_->width) / worldWidth, 2.0e9));
    // The picture shown before may now be held by the kept pictures alone.
    trimPictureCache();
}

bool CVantryDoc::loadBackground(const std::string& storedPath, WorldRect rect,
                                const std::string& documentPath) {
    std::shared_ptr<const BackgroundImage> picture = readBackground(storedPath, documentPath);
    const bool loaded = picture != nullptr;
    showBackground(std::move(picture), rect);
    if (!loaded)
        return false;
    network_.setBitmap(storedPath, rect);
    network_.recomputeBounds();
    return true;
}

} // namespace vantry
