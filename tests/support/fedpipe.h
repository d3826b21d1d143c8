#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantry {

// A named pipe with another program waiting to write to it, as a user may leave one where a file
// is expected. A reader that opens it gets `bytes` and then its end, so that a reader which
// wrongly reads a pipe finishes with what it read instead of waiting forever, and the test can
// tell. Whatever the reader did (even moving the pipe away), the writer is let go and waited
// for when this goes away.
class FedPipe {
public:
    FedPipe(const std::string& path, const std::string& bytes) {
        // The pipe has a second name of its own, so that it can still be let go when the code
        // under test has moved or removed it.
        std::string folder =
            std::filesystem::temp_directory_path().string() + "/vantry-pipe-XXXXXX";
        if (!::mkdtemp(folder.data()))
            return;
        folder_ = folder;
        path_ = folder + "/pipe";
        if (::mkfifo(path_.c_str(), 0600) != 0 || ::link(path_.c_str(), path.c_str()) != 0 ||
            ::pipe(opened_) != 0)
            return;
        writer_ = ::fork();
        if (writer_ == 0) {
            ::close(opened_[0]);
            const int fd = ::open(path_.c_str(), O_WRONLY);
            const char mark = 1;
            const bool told = ::write(opened_[1], &mark, 1) == 1;
            // A reader that closes early ends this process with SIGPIPE, which is all the same.
            const bool wrote =
                fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
            _exit(told && wrote ? 0 : 1);
        }
        ::close(opened_[1]);
        opened_[1] = -1;
    }
    FedPipe(const FedPipe&) = delete;
    FedPipe& operator=(const FedPipe&) = delete;
    ~FedPipe() {
        if (writer_ > 0) {
            // With a reader present the writer's open returns, if it has not already; it says so
            // on the other pipe, and only then may this end go.
            const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
            char mark = 0;
            while (::read(opened_[0], &mark, 1) < 0 && errno == EINTR) {
            }
            if (fd >= 0)
                ::close(fd);
            int status = 0;
            ::waitpid(writer_, &status, 0);
        }
        if (opened_[0] >= 0)
            ::close(opened_[0]);
        if (!folder_.empty()) {
            ::unlink(path_.c_str());
            ::rmdir(folder_.c_str());
        }
    }
    bool ready() const { return writer_ > 0; }

private:
    std::string folder_;
    std::string path_;
    int opened_[2] = {-1, -1};
    pid_t writer_ = -1;
};

} // namespace vantry
