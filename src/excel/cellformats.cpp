// Cell formats and number formats: the default format, the formats new cells take, and number
// formats added to the workbook on demand.

#include "excel/biffsheet.h"
#include "excel/workbookerror.h"

#include <algorithm>

namespace vantry {

namespace biff {

void BiffWorkbook::chooseDefaultCellFormat() {
    // Excel's default cell format is 15; other writers may put it elsewhere.
    if (xfIsStyle_.size() > 15 && !xfIsStyle_[15]) {
        defaultXf_ = 15;
        return;
    }
    for (std::size_t i = 0; i < xfIsStyle_.size(); ++i) {
        if (!xfIsStyle_[i]) {
            defaultXf_ = static_cast<std::uint16_t>(i);
            return;
        }
    }
    // Only styles: add a cell format based on the Normal style after the last format.
    auto lastXf = std::find_if(globals_.rbegin(), globals_.rend(),
                               [](const Record& r) { return r.type == kXf; });
    if (lastXf == globals_.rend())
        damaged("it has no cell formats");
    auto firstXf = std::find_if(globals_.begin(), globals_.end(),
                                [](const Record& r) { return r.type == kXf; });
    Record cellXf = *firstXf;
    if (cellXf.data.size() >= 6)
        setU16(cellXf.data.data() + 4, 0x0001);
    globals_.insert(lastXf.base(), std::move(cellXf));
    defaultXf_ = static_cast<std::uint16_t>(xfIsStyle_.size());
    xfIsStyle_.push_back(false);
}

std::uint16_t BiffWorkbook::newCellFormat(const CellTable& t, int row, int column) const {
    // A new cell takes the format of its row, or else of its column, as in a spreadsheet.
    const auto usable = [&](std::uint16_t xf) { return xf < xfIsStyle_.size() && !xfIsStyle_[xf]; };
    const auto rowRecord = t.rows.find(static_cast<std::uint16_t>(row));
    if (rowRecord != t.rows.end() && (getU16(rowRecord->second.data() + 12) & 0x0080)) {
        const auto rowXf =
            static_cast<std::uint16_t>(getU16(rowRecord->second.data() + 14) & 0x0FFF);
        if (usable(rowXf))
            return rowXf;
    }
    for (const Record& r : t.before) {
        if (r.type != kColInfo || r.data.size() < 8)
            continue;
        if (getU16(r.data.data()) <= column && column <= getU16(r.data.data() + 2) &&
            usable(getU16(r.data.data() + 6)))
            return getU16(r.data.data() + 6);
    }
    return defaultXf_;
}

namespace {

// The number formats every spreadsheet knows by index without a FORMAT record.
constexpr std::pair<std::uint16_t, std::u16string_view> kBuiltInFormats[] = {
    {0, u"General"}, {1, u"0"},      {2, u"0.00"},      {3, u"#,##0"}, {4, u"#,##0.00"},
    {9, u"0%"},      {10, u"0.00%"}, {11, u"0.00E+00"}, {49, u"@"}};

// The index and code of a FORMAT record; nothing when the record is damaged.
std::optional<std::pair<std::uint16_t, std::u16string>> formatRecord(const Record& r) {
    if (r.type != kFormat || r.data.size() < 5)
        return std::nullopt;
    try {
        ContinuedReader in({std::span<const std::uint8_t>(r.data).subspan(2)}, "number format");
        return std::pair{getU16(r.data.data()), readUnicodeString(in)};
    } catch (const WorkbookError&) {
        return std::nullopt;
    }
}

} // namespace

std::u16string BiffWorkbook::numberFormatOf(std::uint16_t xf) const {
    std::uint16_t k = 0;
    for (const Record& r : globals_) {
        if (r.type != kXf || k++ != xf)
            continue;
        const std::uint16_t format = getU16(r.data.data() + 2);
        for (const Record& f : globals_)
            if (const auto defined = formatRecord(f); defined && defined->first == format)
                return defined->second;
        for (const auto& [index, code] : kBuiltInFormats)
            if (index == format)
                return std::u16string(code);
        return {};
    }
    return {};
}

std::uint16_t BiffWorkbook::numberFormatIndex(std::u16string_view code) {
    std::uint16_t next = 164; // the first index of a workbook's own formats
    std::optional<std::size_t> lastFormat;
    for (std::size_t i = 0; i < globals_.size(); ++i) {
        const auto defined = formatRecord(globals_[i]);
        if (!defined)
            continue;
        if (defined->second == code)
            return defined->first;
        next = std::max<std::uint16_t>(next, static_cast<std::uint16_t>(defined->first + 1));
        lastFormat = i;
    }
    for (const auto& [index, builtIn] : kBuiltInFormats)
        if (builtIn == code)
            return index;
    // A FORMAT record holds at most 255 characters.
    if (code.empty() || code.size() > 255)
        throw WorkbookError(WorkbookError::Code::TooLarge,
                            "A number format must have 1 to 255 characters.");
    Record r{kFormat, {}};
    putU16(r.data, next);
    appendUnicodeString(r.data, code);
    // Number formats go after the fonts and before the cell formats.
    const auto firstXf = std::find_if(globals_.begin(), globals_.end(),
                                      [](const Record& g) { return g.type == kXf; });
    globals_.insert(lastFormat ? globals_.begin() + static_cast<std::ptrdiff_t>(*lastFormat + 1)
                               : firstXf,
                    std::move(r));
    return next;
}

std::uint16_t BiffWorkbook::cellFormatWithNumberFormat(std::uint16_t xf, std::uint16_t format) {
    std::vector<std::size_t> xfs; // where each cell format's record lies
    for (std::size_t i = 0; i < globals_.size(); ++i)
        if (globals_[i].type == kXf)
            xfs.push_back(i);
    if (xf >= xfs.size())
        xf = defaultXf_;
    Record wanted = globals_[xfs.at(xf)];
    // A cell format record shorter than the format's 20 bytes reads as if zeros followed.
    if (wanted.data.size() < 20)
        wanted.data.resize(20, 0);
    setU16(wanted.data.data() + 2, format);
    wanted.data[9] |= 0x04; // the number format is this cell format's own, not its style's
    for (std::size_t k = 0; k < xfs.size(); ++k)
        if (!xfIsStyle_[k] && globals_[xfs[k]] == wanted)
            return static_cast<std::uint16_t>(k);
    // Excel reads at most 4050 cell formats.
    if (xfs.size() >= 4050)
        throw WorkbookError(WorkbookError::Code::TooLarge,
                            "The workbook has as many cell formats as a workbook can hold.");
    globals_.insert(globals_.begin() + static_cast<std::ptrdiff_t>(xfs.back() + 1),
                    std::move(wanted));
    xfIsStyle_.push_back(false);
    return static_cast<std::uint16_t>(xfs.size());
}

void BiffWorkbook::setCellNumberFormat(std::size_t sheet, int row, int column,
                                       std::u16string_view code) {
    checkCell(row, column);
    Sheet& s = worksheet(sheet);
    CellTable& t = *s.table;
    const std::uint32_t key = cellKey(row, column);
    auto it = t.cells.find(key);
    const std::uint16_t from = it != t.cells.end() ? it->second.xf : newCellFormat(t, row, column);
    // Saving a network formats hundreds of cells alike; the lookups need not be repeated.
    const auto cached = numberFormatXfs_.find({from, std::u16string(code)});
    const std::uint16_t xf = cached != numberFormatXfs_.end()
                                 ? cached->second
                                 : numberFormatXfs_[{from, std::u16string(code)}] =
                                       cellFormatWithNumberFormat(from, numberFormatIndex(code));
    if (it == t.cells.end())
        it = t.cells.emplace(key, formatted(xf)).first;
    Cell& cell = it->second;
    cell.xf = xf;
    // Formulas and inline texts are written back from their records, which carry the format.
    if (!cell.kept.empty() && cell.kept[0].data.size() >= 6)
        setU16(cell.kept[0].data.data() + 4, xf);
    s.changed = true;
}

} // namespace biff

} // namespace vantry
