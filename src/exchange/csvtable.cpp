#include "exchange/csvtable.h"

#include "base/files.h"
#include "exchange/fieldmatch.h"

#include <filesystem>

namespace vantry {

int CsvTable::column(std::string_view name) const {
    for (std::size_t i = 0; i < header.size(); ++i)
        if (sameFieldName(header[i], name))
            return static_cast<int>(i);
    return -1;
}

namespace {

class CsvParser {
public:
    CsvParser(std::string_view text, const std::string& fileName, CsvTable& table)
        : text_(text), fileName_(fileName), table_(table) {}

    bool parse(bool headerOnly, std::string& why) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        std::vector<std::string> record;
        while (pos_ < text_.size()) {
            const std::size_t recordRow = row_;
            record.clear();
            if (!readRecord(record, why))
                return false;
            // Blank lines hold no record: spreadsheets and scripts often leave one at the end.
            if (record.size() == 1 && record[0].empty() && !quotedSeen_)
                continue;
            if (!headerRead_) {
                table_.header = record;
                headerRead_ = true;
                if (headerOnly)
                    return true;
            } else {
                table_.rows.push_back(std::move(record));
                record = {};
                table_.rowNumbers.push_back(recordRow);
            }
        }
        return true;
    }

private:
    bool readRecord(std::vector<std::string>& record, std::string& why) {
        quotedSeen_ = false;
        std::string field;
        for (;;) {
            if (pos_ < text_.size() && text_[pos_] == '"') {
                quotedSeen_ = true;
                if (!readQuoted(field, why))
                    return false;
            } else {
                while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n' &&
                       text_[pos_] != '\r') {
                    if (text_[pos_] == '"')
                        return fail(why, "a quote stands inside a field that does not start with "
                                         "one");
                    field += text_[pos_++];
                }
            }
            record.push_back(std::move(field));
            field.clear();
            if (pos_ >= text_.size())
                return true;
            const char c = text_[pos_++];
            if (c == ',')
                continue;
            if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n')
                ++pos_;
            ++row_;
            return true;
        }
    }

    bool readQuoted(std::string& field, std::string& why) {
        const std::size_t startRow = row_;
        ++pos_;
        for (;;) {
            const std::size_t close = text_.find('"', pos_);
            if (close == std::string_view::npos) {
                row_ = startRow;
                return fail(why, "a quoted field is never closed");
            }
            const std::string_view part = text_.substr(pos_, close - pos_);
            for (char c : part)
                if (c == '\n')
                    ++row_;
            field.append(part);
            pos_ = close + 1;
            if (pos_ < text_.size() && text_[pos_] == '"') {
                field += '"';
                ++pos_;
                continue;
            }
            break;
        }
        if (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n' && text_[pos_] != '\r')
            return fail(why, "text follows the closing quote of a field");
        return true;
    }

    bool fail(std::string& why, const std::string& what) const {
        why = fileName_ + " row " + std::to_string(row_) + ": " + what + ".";
        return false;
    }

    std::string_view text_;
    const std::string& fileName_;
    CsvTable& table_;
    std::size_t pos_ = 0;
    std::size_t row_ = 1;
    bool quotedSeen_ = false;
    bool headerRead_ = false;
};

} // namespace

bool parseCsv(std::string_view text, const std::string& fileName, CsvTable& table, std::string& why,
              bool headerOnly) {
    table = CsvTable{};
    return CsvParser(text, fileName, table).parse(headerOnly, why);
}

bool readCsvFile(const std::string& path, CsvTable& table, std::string& why, bool headerOnly) {
    std::string text;
    if (!readWholeFile(path, text, why))
        return false;
    return parseCsv(text, utf8FromPath(pathFromUtf8(path).filename()), table, why, headerOnly);
}

} // namespace vantry
