#include "document/fileio.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path toPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string describe(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string lastSystemError(const char* fallback) {
    if (errno == 0)
        return fallback;
    return describe(std::error_code(errno, std::generic_category()));
}

} // namespace

bool readWholeFile(const std::string& path, std::string& contents, std::string& why) {
    const fs::path p = toPath(path);
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
        why = "it is a folder, not a file";
        return false;
    }
    errno = 0;
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        why = lastSystemError("it cannot be opened for reading");
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    contents.clear();
    if (size > 0) {
        contents.resize(static_cast<std::size_t>(size));
        in.read(contents.data(), size);
    }
    if (in.bad() || (size > 0 && in.gcount() != size)) {
        why = "it could not be read completely";
        return false;
    }
    return true;
}

bool writeFileSafely(const std::string& path, const std::string& contents, std::string& why) {
    fs::path target = toPath(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    if (fs::is_directory(target, ec)) {
        why = "it is a folder, not a file";
        return false;
    }

    fs::path temporary;
    for (int attempt = 0;; ++attempt) {
        std::string suffix = ".vantry-save";
        if (attempt > 0)
            suffix += "-" + std::to_string(attempt);
        temporary = target;
        temporary += suffix;
        if (!fs::exists(temporary, ec))
            break;
        if (attempt == 100) {
            why = "no temporary file could be made beside it";
            return false;
        }
    }

    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        why = lastSystemError("its folder cannot be written to");
        return false;
    }
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.flush();
    const bool written = static_cast<bool>(out);
    out.close();
    if (!written || out.fail()) {
        why = lastSystemError("it could not be written completely (is the disk full?)");
        fs::remove(temporary, ec);
        return false;
    }

    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old))
        fs::permissions(temporary, old.permissions(), ec);

    fs::rename(temporary, target, ec);
    if (ec) {
        why = describe(ec);
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

bool isWritableFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(toPath(path), ec);
    if (ec || !fs::is_regular_file(st))
        return false;
    const auto writeBits =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (st.permissions() & writeBits) != fs::perms::none;
}

std::string absolutePath(const std::string& path) {
    if (path.empty())
        return path;
    std::error_code ec;
    fs::path p = fs::absolute(toPath(path), ec);
    if (ec)
        p = toPath(path);
    const std::u8string text = p.lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}
