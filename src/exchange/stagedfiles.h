#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantry {

// Files written beside their destination and put in its place only once every one of them has
// been written: they go to a hidden folder of their own in the destination's folder (so that
// putting them in place is a rename on the same disk), which is removed with whatever it holds
// unless commit() moved it all out.
class StagedFiles {
public:
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    ~StagedFiles();

    // Makes the hidden folder in `folder`, making `folder` too when it is missing (and removing
    // it again when nothing is committed). False, with the reason, when it cannot be made.
    bool begin(const std::filesystem::path& folder, std::string& why);
    // Where the file that will be `name` in the folder is written meanwhile.
    std::filesystem::path staged(const std::string& name) const;
    // Moves every file written into the folder, replacing files of the same names. False, with
    // the file and the reason, when one cannot be moved.
    bool commit(std::string& why);

private:
    void discard();

    std::filesystem::path folder_;
    std::filesystem::path staging_;
    bool madeFolder_ = false;
};

} // namespace vantry
