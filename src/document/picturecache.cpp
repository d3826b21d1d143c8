#include "document/picturefile.h"

#include "base/files.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <system_error>

namespace vantry {

namespace {

// A file as it was when its picture was read: a picture is used again only while the same file,
// unchanged, is at the same path.
struct PictureKey {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds

    bool operator==(const PictureKey&) const = default;
};

struct PictureCache {
    std::mutex mutex;
    // Most recently used first.
    std::list<std::pair<PictureKey, std::shared_ptr<const BackgroundImage>>> entries;
};

PictureCache& pictureCache() {
    // Never destroyed: documents kept until the program ends may let go of their pictures after
    // the end of main.
    static PictureCache* const cache = new PictureCache;
    return *cache;
}

std::size_t bytesOf(const BackgroundImage& image) {
    return image.pixels.size() * sizeof(std::uint32_t);
}

// Drops the least recently used pictures that only the cache still holds, until those take at
// most kPictureCacheBytes and there are at most kPictureCacheCount pictures; a picture a
// document shows costs nothing more for being kept, and goes only when the count demands it.
void trim(PictureCache& cache) {
    std::size_t unshared = 0;
    for (const auto& [key, image] : cache.entries)
        if (image.use_count() == 1)
            unshared += bytesOf(*image);
    for (const bool shared : {false, true})
        for (auto it = cache.entries.end(); it != cache.entries.begin();) {
            --it;
            const bool alone = it->second.use_count() == 1;
            const bool over = cache.entries.size() > kPictureCacheCount ||
                              (!shared && unshared > kPictureCacheBytes);
            if (!over || alone == shared)
                continue;
            if (alone)
                unshared -= bytesOf(*it->second);
            it = cache.entries.erase(it);
        }
}

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::string capitalised(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

std::shared_ptr<const BackgroundImage> loadPicture(const std::string& path, std::string& why) {
    const std::filesystem::path native = pathFromUtf8(path);
    const auto cannot = [&](const std::string& reason) {
        why = "Cannot read \"" + path + "\".\n" + (reason.empty() ? "" : reason + "\n");
        return nullptr;
    };
    std::string reason;
    if (!checkReadableFile(path, reason)) {
        std::error_code ec;
        if (!std::filesystem::exists(native, ec) && !std::filesystem::is_symlink(native, ec))
            return cannot("File Not Found.");
        return cannot(capitalised(reason) + ".");
    }
    errno = 0;
    std::ifstream file(native, std::ios::binary);
    struct stat info {};
    if (!file || ::stat(native.c_str(), &info) != 0) {
        const int error = errno;
        return cannot(error != 0 ? std::generic_category().message(error) + "." : std::string());
    }
    const PictureKey key{path,
                         info.st_dev,
                         info.st_ino,
                         info.st_size,
                         nanoseconds(info.st_mtim),
                         nanoseconds(info.st_ctim)};
    PictureCache& cache = pictureCache();
    {
        std::lock_guard lock(cache.mutex);
        for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it)
            if (it->first == key) {
                cache.entries.splice(cache.entries.begin(), cache.entries, it);
                return cache.entries.front().second;
            }
    }
    auto image = std::make_shared<BackgroundImage>();
    if (!ReadPictureFile(file, path, *image, why))
        return nullptr;
    std::lock_guard lock(cache.mutex);
    cache.entries.emplace_front(key, image);
    trim(cache);
    return image;
}

void trimPictureCache() {
    PictureCache& cache = pictureCache();
    std::lock_guard lock(cache.mutex);
    trim(cache);
}

} // namespace vantry
