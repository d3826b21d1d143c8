#pragma once

// The reasons in words that the file layer's readers and writers give, to be put after a file's
// name.

#include <string>
#include <system_error>

namespace vantry {

inline constexpr const char* kFolderReason = "it is a folder, not a file";
inline constexpr const char* kPipeReason = "it is a pipe, not a file";
inline constexpr const char* kSocketReason = "it is a socket, not a file";
inline constexpr const char* kDeviceReason = "it is a device, not a file";
inline constexpr const char* kOtherReason = "it is not an ordinary file";

// The system's message for an error, starting in lower case so that it can follow a comma.
std::string reasonOf(const std::error_code& ec);
std::string reasonOf(int err);

} // namespace vantry
