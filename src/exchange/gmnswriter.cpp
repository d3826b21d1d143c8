#include "exchange/gmnswriter.h"

#include "exchange/exchangefields.h"
#include "exchange/stagedfiles.h"
#include "model/georeference.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// The bytes of one file, handed to the disk a few megabytes at a time.
class CsvFile {
public:
    explicit CsvFile(const fs::path& path) : file_(std::fopen(path.c_str(), "wb")) {
        if (!file_)
            error_ = errno;
        line_.reserve(kChunk + 4096);
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    ~CsvFile() {
        if (file_)
            std::fclose(file_);
    }
    std::string& text() { return line_; }
    void endLine() {
        line_ += '\n';
        if (line_.size() >= kChunk)
            flush();
    }
    // False, with the system's error, when anything could not be written.
    bool close(int& error) {
        flush();
        if (file_ && std::fclose(file_) != 0 && error_ == 0)
            error_ = errno;
        file_ = nullptr;
        error = error_;
        return error_ == 0;
    }

private:
    static constexpr std::size_t kChunk = 1 << 22;
    void flush() {
        if (file_ && error_ == 0 && !line_.empty() &&
            std::fwrite(line_.data(), 1, line_.size(), file_) != line_.size())
            error_ = errno ? errno : EIO;
        line_.clear();
    }
    std::FILE* file_;
    int error_ = 0;
    std::string line_;
};

void appendNumber(std::string& out, std::int64_t value) {
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void appendNumber(std::string& out, double value) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

void appendHeader(std::string& out, const FeatureTable& table) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            out += ',';
        appendCsvField(out, table.columns[c].name);
    }
}

void appendValue(std::string& out, const TableColumn& column, std::size_t row) {
    if (column.isNull(row))
        return;
    switch (column.kind) {
    case FieldKind::Integer:
        // GMNS's directed is a boolean, which its readers take as true or false.
        if (column.name == linkfield::kDirected)
            out += column.integers[row] != 0 ? "true" : "false";
        else
            appendNumber(out, column.integers[row]);
        break;
    case FieldKind::Real:
        appendNumber(out, column.reals[row]);
        break;
    case FieldKind::Text:
        appendCsvField(out, column.texts[row]);
        break;
    }
}

void writeLinks(CsvFile& file, const FeatureTable& links) {
    std::string& out = file.text();
    appendHeader(out, links);
    file.endLine();
    for (std::size_t row = 0; row < links.rows(); ++row) {
        for (std::size_t c = 0; c < links.columns.size(); ++c) {
            if (c > 0)
                out += ',';
            appendValue(out, links.columns[c], row);
        }
        file.endLine();
    }
}

void writeNodes(CsvFile& file, const FeatureTable& nodes) {
    std::string& out = file.text();
    appendHeader(out, nodes);
    out += ',';
    out += nodefield::kXCoord;
    out += ',';
    out += nodefield::kYCoord;
    file.endLine();
    for (std::size_t row = 0; row < nodes.rows(); ++row) {
        for (const TableColumn& column : nodes.columns) {
            appendValue(out, column, row);
            out += ',';
        }
        appendNumber(out, nodes.xy[2 * nodes.starts[row]]);
        out += ',';
        appendNumber(out, nodes.xy[2 * nodes.starts[row] + 1]);
        file.endLine();
    }
}

void writeConfig(CsvFile& file, const ExportTables& tables, const Georeference& georeference,
                 const std::string& name) {
    std::string& out = file.text();
    out += "dataset_name,long_length,speed,crs,id_type";
    if (georeference.placed()) {
        out += ',';
        out += kGeoreferenceColumn;
    }
    file.endLine();
    appendCsvField(out, name);
    out += ",miles,mph,";
    appendCsvField(out, tables.crs);
    out += ",integer";
    if (georeference.placed()) {
        out += ',';
        appendCsvField(out, formatGeoreference(georeference));
    }
    file.endLine();
}

std::string reasonOfError(int error) {
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

} // namespace

void appendCsvField(std::string& out, std::string_view field) {
    const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quoted) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

bool writeGmns(const ExportTables& tables, const Georeference& georeference,
               const std::string& folder, std::vector<std::string>& files, std::string& why,
               const ExchangeProgress& progress) {
    const fs::path target = fs::path(folder).lexically_normal();
    StagedFiles staged;
    std::string reason;
    if (!staged.begin(target, reason)) {
        why = "Cannot write \"" + folder + "\": " + reason + ".";
        return false;
    }
    const std::string name = (target.has_filename() ? target : target.parent_path()).filename();
    struct Part {
        const char* file;
        int which;
    };
    for (const Part part : {Part{"node.csv", 0}, Part{"link.csv", 1}, Part{"config.csv", 2}}) {
        const std::string shown = (fs::path(folder) / part.file).string();
        CsvFile file(staged.staged(part.file));
        if (part.which == 0)
            writeNodes(file, tables.nodes);
        else if (part.which == 1)
            writeLinks(file, tables.links);
        else
            writeConfig(file, tables, georeference, name);
        int error = 0;
        if (!file.close(error)) {
            why = "Cannot write \"" + shown + "\": " + reasonOfError(error) + ".";
            return false;
        }
        if (progress && !progress((part.which + 1) / 3.0)) {
            why = "Cannot write \"" + folder + "\": the export was cancelled.";
            return false;
        }
    }
    if (!staged.commit(reason)) {
        why = "Cannot write \"" + folder + "\": " + reason + ".";
        return false;
    }
    files = {(fs::path(folder) / "node.csv").string(), (fs::path(folder) / "link.csv").string(),
             (fs::path(folder) / "config.csv").string()};
    return true;
}

} // namespace vantry
