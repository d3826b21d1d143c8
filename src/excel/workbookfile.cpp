#include "excel/workbookfile.h"

#include "excel/biffrecords.h"
#include "excel/biffworkbook.h"
#include "excel/compoundfile.h"
#include "excel/documentproperties.h"
#include "excel/unicode.h"

#include <optional>

namespace vantry {

namespace {

using Code = WorkbookError::Code;

// The class of an Excel 97-2003 workbook, {00020820-0000-0000-C000-000000000046}.
constexpr ClassId kExcelWorkbookClass = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr const char* kWorkbookStream = "Workbook";
constexpr std::size_t kMaxSheetName = 31;

void checkCell(int row, int column) {
    if (row < 0 || row > biff::kLastRow || column < 0 || column > biff::kLastColumn)
        throw WorkbookError(Code::BadCell,
                            (row >= 0 && column >= 0 ? "Cell " + cellAddress(row, column)
                                                     : std::string("The cell")) +
                                " lies outside the worksheet, which ends at row 65536 and "
                                "column IV.");
}

} // namespace

struct WorkbookFile::State {
    std::optional<biff::BiffWorkbook> workbook;
    // The file's other streams and storages, written back around the new workbook stream.
    CompoundFile container;
    std::string path;
    std::optional<std::size_t> worksheet;
    std::set<std::string> sheetNames;

    biff::BiffWorkbook& book() {
        if (!workbook)
            throw WorkbookError(Code::NoWorkbook, "No workbook is open.");
        return *workbook;
    }
    std::size_t sheet() {
        book();
        if (!worksheet)
            throw WorkbookError(Code::NoWorksheet, "No worksheet is selected.");
        return *worksheet;
    }
    void refreshSheetNames() {
        sheetNames.clear();
        for (std::size_t i = 0; i < workbook->sheetCount(); ++i)
            if (workbook->isWorksheet(i))
                sheetNames.insert(utf16ToUtf8(workbook->sheetName(i)));
    }
};

WorkbookFile::WorkbookFile() : state_(std::make_unique<State>()) {}

WorkbookFile::~WorkbookFile() = default;

void WorkbookFile::open(const std::string& fileName) {
    CompoundFile file = readCompoundFile(fileName);
    CompoundEntry* stream = file.findStream(kWorkbookStream);
    if (!stream) {
        if (file.findStream("Book"))
            throw WorkbookError(Code::UnsupportedFormat,
                                "The file \"" + fileName +
                                    "\" was saved in the Excel 5.0/95 format, which Vantry "
                                    "cannot read. Save it as an Excel 97-2003 workbook (.xls) and "
                                    "try again.");
        if (file.findStream("EncryptedPackage"))
            throw WorkbookError(Code::UnsupportedFormat,
                                "The file \"" + fileName +
                                    "\" is a password-protected Excel 2007 or later workbook. "
                                    "Vantry reads only Excel 97-2003 workbooks without a "
                                    "password.");
        throw WorkbookError(Code::NotAWorkbook,
                            "The file \"" + fileName +
                                "\" is an Office document that holds no workbook.");
    }
    biff::BiffWorkbook book = biff::BiffWorkbook::parse(stream->data);
    // Only the workbook stream is rewritten; an old Excel 5.0 copy beside it would be stale.
    stream->data.clear();
    std::erase_if(file.entries,
                  [](const CompoundEntry& e) { return !e.storage && e.name == "Book"; });

    state_->workbook = std::move(book);
    state_->container = std::move(file);
    state_->path = fileName;
    state_->worksheet.reset();
    state_->refreshSheetNames();
}

void WorkbookFile::create(const std::string& fileName) {
    startNew(fileName);
    save();
}

void WorkbookFile::startNew(const std::string& fileName) {
    state_->workbook = biff::BiffWorkbook::createNew(u"Sheet1");
    state_->container = CompoundFile{kExcelWorkbookClass, {}};
    state_->container.entries.push_back(CompoundEntry{kWorkbookStream, false, {}, {}, {}});
    state_->path = fileName;
    state_->worksheet.reset();
    state_->refreshSheetNames();
}

void WorkbookFile::selectSheet(const std::string& sheetName) {
    biff::BiffWorkbook& book = state_->book();
    const std::string cut = cutToUtf16Units(sheetName, kMaxSheetName);
    const std::u16string name = utf8ToUtf16(cut);
    if (const auto found = book.findSheet(name)) {
        if (!book.isWorksheet(*found))
            throw WorkbookError(Code::BadSheetName,
                                "The sheet \"" + cut + "\" is not a worksheet.");
        state_->worksheet = *found;
        return;
    }
    state_->worksheet = book.addWorksheet(name);
    state_->sheetNames.insert(cut);
}

CellValue WorkbookFile::cell(int row, int column) const {
    checkCell(row, column);
    const std::size_t sheet = state_->sheet();
    return state_->workbook->cell(sheet, row, column);
}

void WorkbookFile::setCell(int row, int column, const CellValue& value) {
    checkCell(row, column);
    const std::size_t sheet = state_->sheet();
    state_->workbook->setCell(sheet, row, column, value);
}

void WorkbookFile::setNumberFormat(int row, int column, const std::string& format) {
    checkCell(row, column);
    const std::size_t sheet = state_->sheet();
    state_->workbook->setCellNumberFormat(sheet, row, column, utf8ToUtf16(format));
}

std::string WorkbookFile::numberFormat(int row, int column) const {
    checkCell(row, column);
    const std::size_t sheet = state_->sheet();
    biff::BiffWorkbook& book = *state_->workbook;
    const auto xf = book.cellFormat(sheet, row, column);
    return utf16ToUtf8(book.numberFormatOf(xf ? *xf : book.defaultCellFormat()));
}

void WorkbookFile::clearRange(int row1, int column1, int row2, int column2) {
    checkCell(row1, column1);
    checkCell(row2, column2);
    const std::size_t sheet = state_->sheet();
    state_->workbook->clearRange(sheet, row1, column1, row2, column2);
}

void WorkbookFile::save(ReadOnlyFiles readOnly) {
    biff::BiffWorkbook& book = state_->book();
    CompoundEntry* stream = state_->container.findStream(kWorkbookStream);
    stream->data = book.serialize();
    try {
        const std::vector<std::uint8_t> bytes = buildCompoundFile(state_->container);
        stream->data.clear();
        replaceFile(state_->path, bytes, readOnly);
    } catch (...) {
        stream->data.clear();
        throw;
    }
}

void WorkbookFile::close() {
    state_->book();
    state_->workbook.reset();
    state_->container = {};
    state_->worksheet.reset();
    state_->path.clear();
}

const std::set<std::string>& WorkbookFile::sheetNames() const {
    return state_->sheetNames;
}

std::string cellAddress(int row, int column) {
    if (row < 0 || column < 0)
        throw WorkbookError(Code::BadCell, "A cell address needs a row and a column of 0 or more.");
    std::string letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

std::optional<std::string> WorkbookFile::customProperty(const std::string& name) const {
    return vantry::customProperty(state_->container, name);
}

void WorkbookFile::setCustomProperty(const std::string& name,
                                     const std::optional<std::string>& text) {
    vantry::setCustomProperty(state_->container, name, text);
}

} // namespace vantry
