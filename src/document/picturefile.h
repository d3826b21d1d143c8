#pragma once

#include "document/background.h"

#include <istream>
#include <string>

// Reads a background picture into `image`, from `file`, already open, whose path is `path`
// (UTF-8, also the name messages give it). A file named .bmp or starting with "BM" goes through
// the program's own bitmap reader; any other is read by the toolkit's image readers (PNG, JPEG,
// GIF, TIFF, WebP), which are asked for the picture's size first so that one beyond the bitmap
// limits is refused before memory is taken for it. Transparent pixels are laid over white.
// Returns false, leaving `image` empty and a sentence naming the file in `why`, for a file that
// is not a picture, is damaged or cut short, is too large or does not fit in memory.
bool ReadPictureFile(std::istream& file, const std::string& path, BackgroundImage& image,
                     std::string& why);
