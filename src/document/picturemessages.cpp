#include "document/picturemessages.h"

#include "picture/packedbitmap.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace vantry {

bool refusePicture(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

std::string quotedPicture(const std::string& path) {
    return "\"" + path + "\"";
}

std::string pictureCutShort(const std::string& path) {
    return "The picture " + quotedPicture(path) +
           " is cut short: the file ends before the picture does.";
}

std::string pictureDamaged(const std::string& path, const std::string& reason) {
    return "The picture " + quotedPicture(path) + " is damaged: " + reason + ".";
}

std::string pictureUnreadable(const std::string& path) {
    return "The file " + quotedPicture(path) + " could not be read.";
}

std::string pictureOutOfMemory(const std::string& path, QSize size) {
    return "There is not enough memory to show the picture " + quotedPicture(path) + " (" +
           std::to_string(size.width()) + " x " + std::to_string(size.height()) + " pixels).";
}

bool pictureTooLarge(QSize size, const std::string& path, std::string& why) {
    const std::uint64_t w = static_cast<std::uint64_t>(std::max(size.width(), 0));
    const std::uint64_t h = static_cast<std::uint64_t>(std::max(size.height(), 0));
    const std::string dims = std::to_string(w) + " x " + std::to_string(h);
    if (w > static_cast<std::uint64_t>(kMaxPictureSide) ||
        h > static_cast<std::uint64_t>(kMaxPictureSide))
        return !refusePicture(why, "The picture " + quotedPicture(path) + " is too large: " + dims +
                                       " pixels, at most " + std::to_string(kMaxPictureSide) +
                                       " x " + std::to_string(kMaxPictureSide) + " are shown.");
    if (w * h > kMaxPicturePixels)
        return !refusePicture(why, "The picture " + quotedPicture(path) + " is too large: " + dims +
                                       " are " + std::to_string(w * h) + " pixels, at most " +
                                       std::to_string(kMaxPicturePixels) + " (" +
                                       std::to_string(kMaxPicturePixels >> 20) +
                                       " megapixels) are shown.");
    return false;
}

} // namespace vantry
