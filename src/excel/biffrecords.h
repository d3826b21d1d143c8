#pragma once

// The record layer of the Excel 97-2003 (BIFF8) workbook stream: record types, little-endian
// field access with bounds checks, reading substreams, the RK number encoding, and the shared
// string table with its CONTINUE records.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantry {

namespace biff {

// The record types the engine reads, writes or adjusts.
enum RecordType : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kPrecision = 0x000E,
    kRefMode = 0x000F,
    kDelta = 0x0010,
    kIteration = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kWindowProtect = 0x0019,
    kDateMode = 0x0022,
    kPrintHeaders = 0x002A,
    kPrintGridLines = 0x002B,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kCodepage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kMms = 0x00C1,
    kRString = 0x00D6,
    kDbCell = 0x00D7,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kSupBook = 0x01AE,
    kProt4Rev = 0x01AF,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kRecalcId = 0x01C1,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRow = 0x0208,
    kIndex = 0x020B,
    kArray = 0x0221,
    kDefaultRowHeight = 0x0225,
    kTable = 0x0236,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kShrFmla = 0x04BC,
    kBof = 0x0809,
};

// BOF record versions and substream kinds.
constexpr std::uint16_t kBiff8Version = 0x0600;
constexpr std::uint16_t kBiff5Version = 0x0500;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;
constexpr std::uint16_t kWorksheetSubstream = 0x0010;

// The largest record body Excel writes; longer data goes on in CONTINUE records.
constexpr std::size_t kMaxRecordData = 8224;

// The last row and column of a BIFF8 worksheet, zero-based.
constexpr int kLastRow = 65535;
constexpr int kLastColumn = 255;

struct Record {
    std::uint16_t type = 0;
    std::vector<std::uint8_t> data;

    friend bool operator==(const Record&, const Record&) = default;
};

// Throws WorkbookError(Damaged) saying what is wrong with the workbook.
[[noreturn]] void damaged(const std::string& what);

std::uint16_t getU16(const std::uint8_t* p);
std::uint32_t getU32(const std::uint8_t* p);
double getF64(const std::uint8_t* p);
void setU16(std::uint8_t* p, std::uint16_t v);
void setU32(std::uint8_t* p, std::uint32_t v);

void putU8(std::vector<std::uint8_t>& out, std::uint8_t v);
void putU16(std::vector<std::uint8_t>& out, std::uint16_t v);
void putU32(std::vector<std::uint8_t>& out, std::uint32_t v);
void putF64(std::vector<std::uint8_t>& out, double v);

// Reads the fields of one record body; running past its end is a damaged workbook, never a read
// beyond the data.
class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> data, const char* what) : data_(data), what_(what) {}

    std::size_t remaining() const { return data_.size() - pos_; }
    std::size_t position() const { return pos_; }
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    double f64();
    void skip(std::size_t n);
    std::span<const std::uint8_t> bytes(std::size_t n);

private:
    void need(std::size_t n) const;

    std::span<const std::uint8_t> data_;
    const char* what_;
    std::size_t pos_ = 0;
};

// A BOF record of any version (BIFF2 to BIFF8): each one opens a substream level.
bool isBofRecord(std::uint16_t type);

// The records of the substream that begins with the BOF record at `offset`, up to and including
// the EOF that closes it (nested substreams, such as embedded charts, stay inside).
std::vector<Record> readSubstream(std::span<const std::uint8_t> stream, std::size_t offset);

void appendRecord(std::vector<std::uint8_t>& out, std::uint16_t type,
                  std::span<const std::uint8_t> data);
inline void appendRecord(std::vector<std::uint8_t>& out, const Record& r) {
    appendRecord(out, r.type, r.data);
}

// The 30-bit compressed number of RK and MULRK records.
double decodeRk(std::uint32_t rk);
// False when v has no exact RK form.
bool encodeRk(double v, std::uint32_t& rk);

// A string of the shared string table, with its formatting runs and phonetic data kept as stored
// so that they survive a save.
struct SstString {
    std::u16string text;
    std::vector<std::uint8_t> runs; // 4 bytes per run
    std::vector<std::uint8_t> ext;

    bool isPlain() const { return runs.empty() && ext.empty(); }
    friend bool operator==(const SstString&, const SstString&) = default;
};

// Reads data that a record continues in CONTINUE records. Character data that crosses into the
// next record resumes after a flag byte giving the new character width; other fields cross
// without one.
class ContinuedReader {
public:
    ContinuedReader(std::vector<std::span<const std::uint8_t>> segments, const char* what);

    bool atEnd() const;
    // Moves to the next record when the current one is used up, as a new string's header does.
    void skipFinishedSegment();
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    void bytes(std::size_t n, std::vector<std::uint8_t>& out);
    std::u16string chars(std::size_t count, bool highByte);

private:
    std::size_t leftInSegment() const { return segments_[seg_].size() - pos_; }
    void nextSegment();

    std::vector<std::span<const std::uint8_t>> segments_;
    const char* what_;
    std::size_t seg_ = 0;
    std::size_t pos_ = 0;
};

// A record body followed by the bodies of the CONTINUE records after it.
std::vector<std::span<const std::uint8_t>> continuedSegments(const std::vector<Record>& records,
                                                             std::size_t first);

// The strings of an SST record and its CONTINUE records.
std::vector<SstString> parseSst(std::vector<std::span<const std::uint8_t>> segments);

// A string with a 16-bit length (cell texts, formula results), runs and phonetic data skipped.
std::u16string readUnicodeString(ContinuedReader& in);
// A string with an 8-bit length and the flag byte (sheet names, font names).
std::u16string readShortUnicodeString(ByteReader& in);

void appendUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text);
void appendShortUnicodeString(std::vector<std::uint8_t>& out, std::u16string_view text);

// The SST and CONTINUE records for the strings, and where each string starts (record index and
// offset in its body), for the EXTSST record.
struct SstLayout {
    std::vector<Record> records;
    std::vector<std::pair<std::size_t, std::size_t>> starts;
};
SstLayout buildSst(const std::vector<SstString>& strings, std::uint32_t totalReferences);
// The EXTSST record for an SST layout written from `streamOffset` on.
Record buildExtSst(const SstLayout& layout, std::size_t streamOffset);

} // namespace biff

} // namespace vantry
