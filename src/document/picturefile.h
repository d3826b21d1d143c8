#pragma once

#include "picture/backgroundimage.h"

#include <cstddef>
#include <istream>
#include <memory>
#include <string>

namespace vantry {

// Reads a background picture into `image`, from `file`, already open, whose path is `path`
// (UTF-8, also the name messages give it). A file named .bmp or starting with "BM" goes through
// the program's own bitmap reader; any other is read by the toolkit's image readers (PNG, JPEG,
// GIF, TIFF, WebP), which are asked for the picture's size first so that one beyond the bitmap
// limits is refused before memory is taken for it. Transparent pixels are laid over white.
// Returns false, leaving `image` empty and a sentence naming the file in `why`, for a file that
// is not a picture, is damaged or cut short, is too large or does not fit in memory.
bool ReadPictureFile(std::istream& file, const std::string& path, BackgroundImage& image,
                     std::string& why);

// How many pictures are kept for reuse, and how many bytes of pixels those no document shows
// may take.
inline constexpr std::size_t kPictureCacheCount = 8;
inline constexpr std::size_t kPictureCacheBytes = std::size_t{512} << 20;

// The background picture in the file at `path` (UTF-8, this system's form), read as
// ReadPictureFile reads it, or nothing with a message naming the file in `why`. A pipe, a device
// or a folder is refused before it is opened. Pictures are kept for reuse, known by their path
// and by the file's identity, size and times, so that showing a picture again (after Undo, say)
// costs nothing, and a file changed since is read anew; those no document holds any longer go
// first, least recently used first, once the limits are passed. Safe on any thread.
std::shared_ptr<const BackgroundImage> loadPicture(const std::string& path, std::string& why);

// Lets go of kept pictures beyond the limit, once a document has let go of its own.
void trimPictureCache();

} // namespace vantry
