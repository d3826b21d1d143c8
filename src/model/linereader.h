#pragma once

#include <cstddef>
#include <string_view>

namespace vantry {

// Splits text into lines, accepting both LF and CRLF line ends; a final line without a line end
// still counts. Every reader of the line-oriented network text (files, clipboard fragments)
// takes its lines from here, so that they all agree on where a line ends.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', pos_);
        const bool hasEnd = end != std::string_view::npos;
        if (!hasEnd)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos_ = hasEnd ? end + 1 : end;
        ++number_;
        return true;
    }

    // The number of the line next() gave last, from 1.
    std::size_t lineNumber() const { return number_; }
    std::string_view rest() const { return text_.substr(pos_); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

} // namespace vantry
