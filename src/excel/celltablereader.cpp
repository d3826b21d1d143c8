// Decoding a worksheet's cell table: its cell records become cells, its other records are kept
// in place, and formulas keep the records they are written back with.

#include "excel/biffsheet.h"
#include "excel/unicode.h"
#include "excel/workbookerror.h"

#include <algorithm>

namespace vantry {

namespace biff {

namespace {

bool isCellTableRecord(std::uint16_t type) {
    switch (type) {
    case kRow:
    case kDbCell:
    case kBlank:
    case kMulBlank:
    case kNumber:
    case kRk:
    case kMulRk:
    case kLabel:
    case kLabelSst:
    case kRString:
    case kBoolErr:
    case kFormula:
    case kString:
    case kShrFmla:
    case kArray:
    case kTable:
        return true;
    default:
        return false;
    }
}

CellValue cachedResult(std::span<const std::uint8_t> result) {
    if (getU16(result.data() + 6) != 0xFFFF)
        return CellValue::number(getF64(result.data()));
    switch (result[0]) {
    case 1:
        return CellValue::boolean(result[2] != 0);
    case 2:
        return CellValue::error(result[2]);
    default: // a text (from the STRING record after it), the empty text, or nothing
        return {};
    }
}

} // namespace

std::unique_ptr<CellTable> parseCellTable(const std::vector<Record>& records,
                                          const std::vector<SstString>& sst) {
    auto table = std::make_unique<CellTable>();

    // Each record with its CONTINUE records, and the substream depth it lies at.
    std::vector<std::vector<Record>> groups;
    std::vector<int> depths;
    int depth = 0;
    for (const Record& r : records) {
        if (r.type == kContinue && !groups.empty()) {
            groups.back().push_back(r);
            continue;
        }
        if (isBofRecord(r.type))
            ++depth;
        groups.push_back({r});
        depths.push_back(depth);
        if (r.type == kEof)
            --depth;
    }
    const auto atTop = [&](std::size_t i) { return depths[i] == 1; };
    std::optional<std::size_t> first;
    std::size_t last = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (atTop(i) && isCellTableRecord(groups[i][0].type)) {
            if (!first)
                first = i;
            last = i;
        }
    }
    // A sheet without cells gets its cell table where one belongs: after DIMENSIONS, or else
    // before WINDOW2 or the final EOF.
    std::size_t tableStart = groups.size() - 1;
    if (first) {
        tableStart = *first;
    } else {
        std::optional<std::size_t> dims, window;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (atTop(i) && groups[i][0].type == kDimensions)
                dims = i;
            if (atTop(i) && groups[i][0].type == kWindow2 && !window)
                window = i;
        }
        tableStart = dims ? *dims + 1 : window ? *window : groups.size() - 1;
        last = tableStart - 1;
    }

    // The key of the FORMULA record just read, or none. (No cell key reaches the sentinel; an
    // optional here trips GCC 12's maybe-uninitialized warning.)
    constexpr std::uint32_t kNoFormula = 0xFFFFFFFF;
    std::uint32_t pendingFormula = kNoFormula;
    const auto put = [&](int row, int column, Cell cell) {
        if (column > kLastColumn)
            damaged("a cell lies outside the worksheet");
        table->cells[cellKey(row, column)] = std::move(cell);
    };

    for (std::size_t i = 0; i < groups.size(); ++i) {
        std::vector<Record>& group = groups[i];
        const Record& r = group[0];
        const bool inside = i >= tableStart && i <= last && first.has_value();
        if (!inside || !atTop(i) || !isCellTableRecord(r.type)) {
            if (atTop(i) && (r.type == kIndex || r.type == kDbCell))
                continue;
            if (atTop(i) && r.type == kDimensions)
                table->hasDimensions = true;
            if (atTop(i) && r.type == kDefaultRowHeight && r.data.size() >= 4)
                table->defaultRowHeight = getU16(r.data.data() + 2);
            auto& target = i < tableStart ? table->before : inside ? table->inTable : table->after;
            target.insert(target.end(), group.begin(), group.end());
            if (inside)
                pendingFormula = kNoFormula;
            continue;
        }

        ByteReader in(r.data, "cell");
        const auto continuesFormula =
            r.type == kString || r.type == kShrFmla || r.type == kArray || r.type == kTable;
        if (continuesFormula) {
            // Only meaningful right after the FORMULA record they belong to.
            if (pendingFormula != kNoFormula) {
                Cell& f = table->cells[pendingFormula];
                if (r.type == kString) {
                    ContinuedReader text(continuedSegments(group, 0), "formula result");
                    if (f.value.isEmpty())
                        f.value = CellValue::text(utf16ToUtf8(readUnicodeString(text)));
                } else {
                    f.groupType = r.type;
                }
                f.kept.insert(f.kept.end(), group.begin(), group.end());
            }
            continue;
        }
        pendingFormula = kNoFormula;

        switch (r.type) {
        case kRow: {
            if (r.data.size() < 16)
                damaged("a ROW record is too short");
            table->rows[getU16(r.data.data())] = r.data;
            break;
        }
        case kBlank: {
            const int row = in.u16(), column = in.u16();
            put(row, column, formatted(in.u16()));
            break;
        }
        case kMulBlank: {
            const int row = in.u16(), column = in.u16();
            if (in.remaining() < 2 || in.remaining() % 2 != 0)
                damaged("a MULBLANK record has a wrong length");
            const std::size_t count = (in.remaining() - 2) / 2;
            for (std::size_t k = 0; k < count; ++k)
                put(row, column + static_cast<int>(k), formatted(in.u16()));
            break;
        }
        case kNumber: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = CellValue::number(in.f64());
            put(row, column, std::move(c));
            break;
        }
        case kRk: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = CellValue::number(decodeRk(in.u32()));
            put(row, column, std::move(c));
            break;
        }
        case kMulRk: {
            const int row = in.u16(), column = in.u16();
            if (in.remaining() < 2 || (in.remaining() - 2) % 6 != 0)
                damaged("a MULRK record has a wrong length");
            const std::size_t count = (in.remaining() - 2) / 6;
            for (std::size_t k = 0; k < count; ++k) {
                Cell c = formatted(in.u16());
                c.value = CellValue::number(decodeRk(in.u32()));
                put(row, column + static_cast<int>(k), std::move(c));
            }
            break;
        }
        case kLabelSst: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            const std::uint32_t index = in.u32();
            if (index >= sst.size())
                damaged("a cell refers to a shared string that does not exist");
            c.sst = index;
            c.value = CellValue::text(utf16ToUtf8(sst[index].text));
            put(row, column, std::move(c));
            break;
        }
        case kLabel:
        case kRString: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            auto segments = continuedSegments(group, 0);
            segments[0] = segments[0].subspan(6);
            ContinuedReader text(std::move(segments), "text cell");
            c.value = CellValue::text(utf16ToUtf8(readUnicodeString(text)));
            c.kept = group;
            put(row, column, std::move(c));
            break;
        }
        case kBoolErr: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            const std::uint8_t value = in.u8();
            c.value = in.u8() ? CellValue::error(value) : CellValue::boolean(value != 0);
            put(row, column, std::move(c));
            break;
        }
        case kFormula: {
            const int row = in.u16(), column = in.u16();
            Cell c = formatted(in.u16());
            c.value = cachedResult(in.bytes(8));
            in.skip(2 + 4); // options and the unused chain field
            const std::uint16_t size = in.u16();
            const auto tokens = in.bytes(size);
            // A formula that is only a reference to a shared, array or table formula.
            if (size >= 5 && (tokens[0] == 0x01 || tokens[0] == 0x02))
                c.anchor = cellKey(getU16(tokens.data() + 1), getU16(tokens.data() + 3) & 0xFF);
            c.kept = group;
            put(row, column, std::move(c));
            pendingFormula = cellKey(row, column);
            break;
        }
        default: // DBCELL
            break;
        }
    }
    return table;
}

} // namespace biff

} // namespace vantry
