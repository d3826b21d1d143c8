#include "exchange/stagedfiles.h"

#include <cctype>
#include <random>
#include <system_error>

#include <unistd.h>

namespace vantry {

namespace fs = std::filesystem;

namespace {

std::string reasonText(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

StagedFiles::~StagedFiles() {
    discard();
}

bool StagedFiles::begin(const fs::path& folder, std::string& why) {
    discard();
    folder_ = folder.empty() ? fs::path(".") : folder;
    std::error_code ec;
    if (!fs::exists(folder_, ec)) {
        if (!fs::create_directories(folder_, ec)) {
            why = "the folder cannot be made: " + reasonText(ec);
            return false;
        }
        madeFolder_ = true;
    } else if (!fs::is_directory(folder_, ec)) {
        why = "its folder is a file";
        return false;
    }
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = folder_ / (".vantry-export-" + std::to_string(::getpid()) + "-" +
                                              std::to_string(random() % 1000000000u) + ".tmp");
        if (fs::create_directory(candidate, ec)) {
            staging_ = candidate;
            return true;
        }
        if (ec)
            break;
    }
    why = "its folder cannot be written to: " +
          reasonText(ec ? ec : std::make_error_code(std::errc::file_exists));
    discard();
    return false;
}

fs::path StagedFiles::staged(const std::string& name) const {
    return staging_ / name;
}

bool StagedFiles::commit(std::string& why) {
    std::error_code ec;
    std::vector<fs::path> written;
    for (const fs::directory_entry& entry : fs::directory_iterator(staging_, ec))
        written.push_back(entry.path());
    if (ec) {
        why = "the files written cannot be listed: " + reasonText(ec);
        return false;
    }
    for (const fs::path& file : written) {
        fs::rename(file, folder_ / file.filename(), ec);
        if (ec) {
            why = (folder_ / file.filename()).string() + " cannot be replaced: " + reasonText(ec);
            return false;
        }
    }
    fs::remove(staging_, ec);
    staging_.clear();
    madeFolder_ = false;
    return true;
}

void StagedFiles::discard() {
    std::error_code ec;
    if (!staging_.empty())
        fs::remove_all(staging_, ec);
    staging_.clear();
    if (madeFolder_)
        fs::remove(folder_, ec);
    madeFolder_ = false;
}

} // namespace vantry
