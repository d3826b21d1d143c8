#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// The text of bytes that a network holds (many files were written on Windows in code page
// 1252): UTF-8 where the bytes are valid UTF-8, Windows-1252 one byte at a time elsewhere.
// Every byte maps to a character that maps back to that byte, the five bytes the code page
// leaves undefined included (0x81 reads as U+0081).
QString decodeStoredText(std::string_view bytes);

// Stored bytes shown in a text box for editing. Each character shown remembers the bytes it came
// from, so that writing back an edit keeps every byte the user did not touch, whatever its
// encoding, and only the edited characters are encoded anew.
class StoredText {
public:
    explicit StoredText(std::string bytes = {});

    const std::string& bytes() const { return bytes_; }
    // What to show: decodeStoredText of the bytes.
    const QString& text() const { return text_; }
    // Some bytes are not valid UTF-8 and none form a multi-byte UTF-8 character: text written
    // in code page 1252.
    bool isWindows1252() const { return windows1252_; }

    // Edits are compared from now on with `shown`, what a text box gave back after showing
    // text(). Boxes give some characters back as a space or '\n' (a plain-text box does so with
    // a no-break space and line breaks) and CR LF as one character; every other difference
    // leaves edits compared with text() itself, which keeps fewer bytes but loses none.
    void alignTo(const QString& shown);

    // The bytes of `edited`, the compared text as the user left it. The unchanged characters at
    // its start and end keep their bytes; the characters between are written in Windows-1252
    // when the bytes were in that code page, every new character has a place in it and the
    // result reads back as `edited`, and in UTF-8 otherwise. An unchanged text keeps its bytes.
    std::string encode(const QString& edited) const;

private:
    bool isBoundary(qsizetype unit) const;

    std::string bytes_;
    QString text_;
    bool windows1252_ = false;
    // The text edits are compared with, and for each of its UTF-16 units the offset of the
    // first byte of its character, with the number of bytes as a last entry. The two units of a
    // surrogate pair share their offset.
    QString compared_;
    std::vector<std::size_t> begin_;
};

} // namespace vantry
