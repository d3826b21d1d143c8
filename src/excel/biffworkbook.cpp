// The workbook as a whole: reading its global records and sheets, the list of sheets, and writing
// the stream back with a shared string table rebuilt from the texts still in use.

#include "excel/biffworkbook.h"

#include "excel/biffsheet.h"
#include "excel/unicode.h"
#include "excel/workbookerror.h"

#include <algorithm>
#include <unordered_map>

namespace vantry {

namespace biff {

namespace {

std::u16string foldCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<char16_t>(c - 0x20);
    }
    return out;
}

} // namespace

bool isValidSheetName(std::u16string_view name) {
    if (name.empty() || name.size() > 31 || name.front() == u'\'' || name.back() == u'\'')
        return false;
    return name.find_first_of(u":\\/?*[]") == std::u16string_view::npos;
}

BiffWorkbook::BiffWorkbook() = default;
BiffWorkbook::BiffWorkbook(BiffWorkbook&&) noexcept = default;
BiffWorkbook& BiffWorkbook::operator=(BiffWorkbook&&) noexcept = default;
BiffWorkbook::~BiffWorkbook() = default;

BiffWorkbook BiffWorkbook::createNew(std::u16string_view firstSheet) {
    if (!isValidSheetName(firstSheet))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "\"" + utf16ToUtf8(firstSheet) + "\" cannot be a sheet name.");
    BiffWorkbook wb;
    wb.globals_ = newGlobalsRecords(firstSheet);
    for (const Record& r : wb.globals_)
        if (r.type == kXf)
            wb.xfIsStyle_.push_back((getU16(r.data.data() + 4) & 0x0004) != 0);
    Sheet sheet;
    sheet.name = std::u16string(firstSheet);
    sheet.substream = kWorksheetSubstream;
    sheet.records = newWorksheetRecords(true);
    wb.sheets_.push_back(std::move(sheet));
    wb.defaultXf_ = 15;
    return wb;
}

BiffWorkbook BiffWorkbook::parse(std::span<const std::uint8_t> stream) {
    if (stream.size() < 8)
        damaged("its workbook data is empty");
    const std::uint16_t firstType = getU16(stream.data());
    if (firstType == 0x0009 || firstType == 0x0209 || firstType == 0x0409)
        throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                            "The workbook was saved in the Excel 4.0 format or an earlier one, "
                            "which Vantry cannot read. Save it as an Excel 97-2003 workbook "
                            "(.xls) and try again.");
    if (firstType != kBof || getU16(stream.data() + 2) < 4)
        damaged("its workbook data does not begin with a BOF record");
    const std::uint16_t version = getU16(stream.data() + 4);
    if (version != kBiff8Version)
        throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                            version == kBiff5Version
                                ? "The workbook was saved in the Excel 5.0/95 format, which "
                                  "Vantry cannot read. Save it as an Excel 97-2003 workbook "
                                  "(.xls) and try again."
                                : "The workbook was saved in a version of the Excel format that "
                                  "Vantry cannot read. Save it as an Excel 97-2003 workbook "
                                  "(.xls) and try again.");
    if (getU16(stream.data() + 6) != kGlobalsSubstream)
        damaged("it does not begin with the workbook's global records");

    BiffWorkbook wb;
    std::vector<Record> globals = readSubstream(stream, 0);
    for (std::size_t i = 0; i < globals.size(); ++i) {
        Record& r = globals[i];
        switch (r.type) {
        case kFilePass:
            throw WorkbookError(WorkbookError::Code::UnsupportedFormat,
                                "The workbook is protected with a password. Vantry can read only "
                                "workbooks without one.");
        case kBoundSheet: {
            ByteReader in(r.data, "BOUNDSHEET");
            Sheet sheet;
            sheet.originalOffset = in.u32();
            in.u8();
            sheet.kind = in.u8();
            sheet.name = readShortUnicodeString(in);
            if (sheet.originalOffset >= stream.size())
                damaged("a sheet lies outside the workbook");
            sheet.records = readSubstream(stream, sheet.originalOffset);
            const Record& bof = sheet.records.front();
            sheet.substream = bof.data.size() >= 4 ? getU16(bof.data.data() + 2) : 0;
            wb.sheets_.push_back(std::move(sheet));
            wb.globals_.push_back(std::move(r));
            break;
        }
        case kSst: {
            wb.sst_ = parseSst(continuedSegments(globals, i));
            while (i + 1 < globals.size() && globals[i + 1].type == kContinue)
                ++i;
            wb.globals_.push_back({kSst, {}});
            break;
        }
        case kExtSst:
            while (i + 1 < globals.size() && globals[i + 1].type == kContinue)
                ++i;
            break;
        case kXf:
            if (r.data.size() < 6)
                damaged("a cell format record is too short");
            wb.xfIsStyle_.push_back((getU16(r.data.data() + 4) & 0x0004) != 0);
            wb.globals_.push_back(std::move(r));
            break;
        default:
            wb.globals_.push_back(std::move(r));
            break;
        }
    }
    const bool hasSst = std::any_of(wb.globals_.begin(), wb.globals_.end(),
                                    [](const Record& r) { return r.type == kSst; });
    if (!hasSst)
        wb.globals_.insert(wb.globals_.end() - 1, Record{kSst, {}});
    wb.chooseDefaultCellFormat();
    return wb;
}

std::size_t BiffWorkbook::sheetCount() const {
    return sheets_.size();
}

const std::u16string& BiffWorkbook::sheetName(std::size_t sheet) const {
    return sheets_.at(sheet).name;
}

bool BiffWorkbook::isWorksheet(std::size_t sheet) const {
    const Sheet& s = sheets_.at(sheet);
    return s.kind == 0 && s.substream == kWorksheetSubstream;
}

std::optional<std::size_t> BiffWorkbook::findSheet(std::u16string_view name) const {
    const std::u16string wanted = foldCase(name);
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (foldCase(sheets_[i].name) == wanted)
            return i;
    return std::nullopt;
}

std::size_t BiffWorkbook::addWorksheet(std::u16string_view name) {
    if (!isValidSheetName(name))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "\"" + utf16ToUtf8(name) +
                                "\" cannot be a sheet name: it must have 1 to 31 characters, "
                                "none of : \\ / ? * [ ].");
    if (findSheet(name))
        throw WorkbookError(WorkbookError::Code::BadSheetName,
                            "The workbook already has a sheet named \"" + utf16ToUtf8(name) +
                                "\".");

    auto lastSheet = std::find_if(globals_.rbegin(), globals_.rend(),
                                  [](const Record& r) { return r.type == kBoundSheet; });
    const auto at = lastSheet != globals_.rend() ? lastSheet.base() : globals_.end() - 1;
    globals_.insert(at, boundSheetRecord(name));

    // Keep the sheet count of the records that list the sheets.
    std::uint16_t nextId = 0;
    for (Record& r : globals_) {
        if (r.type == kTabId) {
            for (std::size_t p = 0; p + 2 <= r.data.size(); p += 2)
                nextId = std::max(nextId, getU16(r.data.data() + p));
            putU16(r.data, static_cast<std::uint16_t>(nextId + 1));
        } else if (r.type == kSupBook && r.data.size() >= 4 &&
                   getU16(r.data.data() + 2) == 0x0401) {
            setU16(r.data.data(), static_cast<std::uint16_t>(getU16(r.data.data()) + 1));
        }
    }

    Sheet sheet;
    sheet.name = std::u16string(name);
    sheet.substream = kWorksheetSubstream;
    sheet.records = newWorksheetRecords(false);
    sheets_.push_back(std::move(sheet));
    return sheets_.size() - 1;
}

std::vector<std::uint8_t> BiffWorkbook::serialize() const {
    // The shared string table is rebuilt from the strings still in use, in their old order,
    // followed by the new texts. A workbook that refers to strings it does not have keeps its
    // table as it is, so that nothing is renumbered wrongly.
    const std::size_t oldCount = sst_.size();
    std::vector<std::uint32_t> renumber(oldCount, 0);
    std::vector<bool> used(oldCount, false);
    bool dangling = false;
    bool anyChanged = false;
    const auto useOld = [&](std::uint32_t index) {
        if (index < oldCount)
            used[index] = true;
        else
            dangling = true;
    };
    for (const Sheet& s : sheets_) {
        anyChanged = anyChanged || s.changed;
        if (s.changed) {
            for (const auto& [key, cell] : s.table->cells)
                if (cell.sst && !writesKeptRecords(*s.table, cell))
                    useOld(*cell.sst);
        } else {
            for (const Record& r : s.records)
                if (r.type == kLabelSst && r.data.size() >= 10)
                    useOld(getU32(r.data.data() + 6));
        }
    }
    std::vector<SstString> strings;
    for (std::size_t i = 0; i < oldCount; ++i) {
        if (used[i] || dangling) {
            renumber[i] = static_cast<std::uint32_t>(strings.size());
            strings.push_back(sst_[i]);
        }
    }
    std::unordered_map<std::u16string, std::uint32_t> plain;
    for (std::size_t i = 0; i < strings.size(); ++i)
        if (strings[i].isPlain())
            plain.emplace(strings[i].text, static_cast<std::uint32_t>(i));
    std::uint32_t references = 0;
    for (const Sheet& s : sheets_) {
        if (!s.changed) {
            for (const Record& r : s.records)
                references += r.type == kLabelSst ? 1 : 0;
            continue;
        }
        for (const auto& [key, cell] : s.table->cells) {
            if (cell.value.kind() != CellValue::Kind::Text || writesKeptRecords(*s.table, cell))
                continue;
            ++references;
            if (!cell.sst) {
                std::u16string text = utf8ToUtf16(cell.value.textValue());
                if (plain.emplace(text, static_cast<std::uint32_t>(strings.size())).second)
                    strings.push_back(SstString{std::move(text), {}, {}});
            }
        }
    }
    const auto stringIndex = [&](const Cell& c) {
        return c.sst ? renumber[*c.sst] : plain.at(utf8ToUtf16(c.value.textValue()));
    };

    std::vector<std::vector<std::uint8_t>> sheetBytes;
    std::vector<std::vector<std::size_t>> indexRecords;
    for (const Sheet& s : sheets_) {
        std::vector<std::uint8_t> bytes;
        std::vector<std::size_t> indexes;
        if (s.changed) {
            bytes = writeChangedSheet(*s.table, stringIndex);
        } else {
            for (const Record& r : s.records) {
                if (r.type == kIndex)
                    indexes.push_back(bytes.size() + 4);
                appendRecord(bytes, r);
                if (r.type == kLabelSst && r.data.size() >= 10 && !dangling)
                    setU32(bytes.data() + bytes.size() - r.data.size() + 6,
                           renumber[getU32(r.data.data() + 6)]);
            }
        }
        sheetBytes.push_back(std::move(bytes));
        indexRecords.push_back(std::move(indexes));
    }

    std::vector<std::uint8_t> out;
    std::vector<std::size_t> sheetOffsetFields;
    for (const Record& r : globals_) {
        if (r.type == kBoundSheet) {
            sheetOffsetFields.push_back(out.size() + 4);
            appendRecord(out, r);
        } else if (r.type == kSst) {
            const SstLayout layout = buildSst(strings, references);
            const Record ext = buildExtSst(layout, out.size());
            for (const Record& part : layout.records)
                appendRecord(out, part);
            appendRecord(out, ext);
        } else if (r.type == kRecalcId && anyChanged && r.data.size() >= 8) {
            // Tell spreadsheets that the stored formula results are out of date, so that
            // formulas depending on the changed cells are recalculated when the file is opened.
            Record older = r;
            setU32(older.data.data() + 4, 0);
            appendRecord(out, older);
        } else {
            appendRecord(out, r);
        }
    }

    std::size_t offset = out.size();
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        setU32(out.data() + sheetOffsetFields[k], static_cast<std::uint32_t>(offset));
        const auto delta = static_cast<std::uint32_t>(offset - sheets_[k].originalOffset);
        for (std::size_t at : indexRecords[k])
            shiftIndexRecord(sheetBytes[k].data() + at, getU16(sheetBytes[k].data() + at - 2),
                             delta);
        offset += sheetBytes[k].size();
    }
    for (const auto& bytes : sheetBytes)
        out.insert(out.end(), bytes.begin(), bytes.end());
    // Streams under 4096 bytes would go to the container's small-block area, which some
    // versions of Excel do not accept for the workbook.
    if (out.size() < 4096)
        out.resize(4096, 0);
    return out;
}

} // namespace biff

} // namespace vantry
