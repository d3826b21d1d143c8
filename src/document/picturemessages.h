#pragma once

// The sentences that refuse a background picture, each naming the file, shared by the checks
// made before a picture is decoded and by the decoding itself.

#include <QSize>

#include <string>

namespace vantry {

// Puts text in why and returns false, so that a refusal is one statement.
bool refusePicture(std::string& why, std::string text);

// The file's name as messages show it, in double quotes.
std::string quotedPicture(const std::string& path);

// "The picture "path" is cut short: ...".
std::string pictureCutShort(const std::string& path);

// "The picture "path" is damaged: reason."
std::string pictureDamaged(const std::string& path, const std::string& reason);

// "The file "path" could not be read."
std::string pictureUnreadable(const std::string& path);

// "There is not enough memory to show the picture "path" (W x H pixels)."
std::string pictureOutOfMemory(const std::string& path, QSize size);

// True, with the reason in why, for a picture of a size beyond what is shown: more than
// kMaxPictureSide pixels a side or kMaxPicturePixels altogether, whatever kind of file it is.
bool pictureTooLarge(QSize size, const std::string& path, std::string& why);

} // namespace vantry
