#include "fields/storedtext.h"

#include "support/bytetext.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace vantry {

namespace {

// ---- Reading bytes ----------------------------------------------------------------------------

TEST(StoredText, ShowsEachByteAsItsCharacterAndGivesTheBytesBackUntouched) {
    struct Reading {
        const char* name;
        std::string bytes;
        std::u16string text;
        bool windows1252;
    };
    const Reading readings[] = {
        {"empty", "", u"", false},
        {"ascii", "Main St", u"Main St", false},
        {"nul", "a\0b"s, u"a\0b"s, false},
        {"utf8", "Caf\xC3\xA9 \xD0\x96 \xE2\x82\xAC \xF0\x9F\x98\x80",
         u"Caf\u00E9 \u0416 \u20AC \U0001F600", false},
        {"cp1252", "Caf\xE9 \x80 \x93quoted\x94 \x85",
         u"Caf\u00E9 \u20AC \u201Cquoted\u201D \u2026", true},
        {"cp1252 undefined bytes", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D", true},
        {"mixed",
         "Caf\xE9 Stra\xC3\x9F"
         "e",
         u"Caf\u00E9 Stra\u00DFe", false},
        {"truncated", "a\xE2\x82", u"a\u00E2\u201A", true},
        {"truncated four",
         "\xF0\x9F\x98"
         "b",
         u"\u00F0\u0178\u02DCb", true},
        {"broken by a lead byte", "\xE2\x82\xC3\xA9", u"\u00E2\u201A\u00E9", false},
        {"overlong", "\xC0\xAF\xE0\x80\xAF", u"\u00C0\u00AF\u00E0\u20AC\u00AF", true},
        {"surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC", true},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC", true},
        {"lone continuation",
         "\x81"
         "a\xBF",
         u"\u0081a\u00BF", true},
        {"never UTF-8", "\xFE\xFF\xF5", u"\u00FE\u00FF\u00F5", true}};
    for (const Reading& r : readings) {
        SCOPED_TRACE(r.name);
        const StoredText stored(r.bytes);
        EXPECT_EQ(stored.text(), u16(r.text));
        EXPECT_EQ(decodeStoredText(r.bytes), u16(r.text));
        EXPECT_EQ(stored.isWindows1252(), r.windows1252);
        EXPECT_EQ(hex(stored.encode(stored.text())), hex(r.bytes));
    }
}

TEST(StoredText, EveryByteOfTheCodePageIsWrittenBackAsTheSameByte) {
    // A Windows-1252 description, each byte in turn added at its end as the character shown for
    // it: the whole code page, its undefined bytes included, both ways.
    const StoredText stored("Caf\xE9");
    ASSERT_TRUE(stored.isWindows1252());
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const QString shown = decodeStoredText(byte);
        ASSERT_EQ(shown.size(), 1) << b;
        EXPECT_EQ(hex(stored.encode(stored.text() + shown)), hex("Caf\xE9" + byte)) << b;
    }
}

// ---- Writing edits ----------------------------------------------------------------------------

TEST(StoredText, AnEditKeepsTheBytesOfUnchangedCharactersAndReadsBackAsEdited) {
    struct Edit {
        const char* name;
        std::string bytes;
        const char16_t* edited;
        std::string expected;
    };
    const Edit edits[] = {
        {"cp1252 middle", "Caf\xE9 \x93Noir\x94 \xE0 Paris",
         u"Caf\u00E9 \u201CBlanc\u201D \u00E0 Paris",
         "Caf\xE9 \x93"
         "Blanc\x94 \xE0 Paris"},
        {"cp1252 start", "Le Caf\xE9", u"L\u00E0 Caf\u00E9", "L\xE0 Caf\xE9"},
        {"cp1252 end", "Caf\xE9", u"Caf\u00E9 \u00BD", "Caf\xE9 \xBD"},
        {"euro into cp1252", "Caf\xE9 5", u"Caf\u00E9 5 \u20AC", "Caf\xE9 5 \x80"},
        {"outside cp1252", "Caf\xE9 5", u"Caf\u00E9 \u0416 5", "Caf\xE9 \xD0\x96 5"},
        {"cp1252 that would read as UTF-8", "x\xA9", u"x\u00C3\u00A9", "x\xC3\x83\xA9"},
        {"cp1252 and its neighbour read as UTF-8",
         "\xC3"
         "A",
         u"\u00C3\u00A9", "\xC3\xC2\xA9"},
        {"utf8", "Caf\xC3\xA9", u"Caf\u00E9 \u00BD", "Caf\xC3\xA9 \xC2\xBD"},
        {"ascii takes UTF-8", "Cafe", u"Caf\u00E9", "Caf\xC3\xA9"},
        {"mixed takes UTF-8",
         "Caf\xE9 Stra\xC3\x9F"
         "e",
         u"Caf\u00E9 Stra\u00DFe \u00FC",
         "Caf\xE9 Stra\xC3\x9F"
         "e \xC3\xBC"},
        {"around invalid sequences", "\xE2\x82 ab \xC0\xAF\x81",
         u"\u00E2\u201A cd \u00C0\u00AF\u0081", "\xE2\x82 cd \xC0\xAF\x81"},
        {"deleted",
         "a\xE9"
         "b\xE8"
         "c",
         u"a\u00E9c",
         "a\xE9"
         "c"},
        {"emptied", "Caf\xE9", u"", ""},
        {"same high surrogate", "\xF0\x9F\x98\x80", u"\U0001F601", "\xF0\x9F\x98\x81"},
        {"same low surrogate", "\xF0\x9F\x98\x80", u"\U0001F200", "\xF0\x9F\x88\x80"}};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.name);
        const std::string written = StoredText(e.bytes).encode(u16(e.edited));
        EXPECT_EQ(hex(written), hex(e.expected));
        EXPECT_EQ(decodeStoredText(written), u16(e.edited));
    }
}

TEST(StoredText, EditsOfWhatABoxGaveBackKeepTheCharactersTheBoxReplaced) {
    // A plain-text box gives CR LF, CR and a no-break space back as one space each (after the
    // dialog's own line-break rule); the bytes behind them stay when the user edits elsewhere.
    StoredText stored("Main St\r\nnorth\xA0of\r5th \xE9");
    stored.alignTo(u16(u"Main St north of 5th \u00E9"));
    EXPECT_EQ(hex(stored.encode(u16(u"Main St north of 6th \u00E9"))),
              hex("Main St\r\nnorth\xA0of\r6th \xE9"));
    EXPECT_EQ(hex(stored.encode(u16(u"Main St north of 5th \u00E9"))),
              hex("Main St\r\nnorth\xA0of\r5th \xE9"));

    // A box text that cannot be lined up with the bytes leaves edits compared with the text.
    StoredText other("Caf\xE9");
    other.alignTo(u16(u"Cafe"));
    EXPECT_EQ(hex(other.encode(u16(u"Caf\u00E9!"))), hex("Caf\xE9!"));
    other.alignTo(u16(u"Caf\u00E9 too long"));
    EXPECT_EQ(hex(other.encode(other.text())), hex("Caf\xE9"));
}

} // namespace

} // namespace vantry
