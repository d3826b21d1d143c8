#include "excel/compoundfile.h"

#include "base/files.h"
#include "excel/workbookerror.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using Code = WorkbookError::Code;

constexpr std::uint8_t kOleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// Entries nested deeper than this are not a real document but a loop in a damaged one.
constexpr int kMaxStorageDepth = 32;

void ignoreLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void initialiseGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // libgsf complains on standard error about every damaged block it meets, some of it as
        // failed assertions that it survives; the damage is reported to the user once, as a
        // refused workbook.
        const auto levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                                        G_LOG_LEVEL_MESSAGE);
        for (const char* domain : {"libgsf", "libgsf:msole"})
            g_log_set_handler(domain, levels, ignoreLogMessage, nullptr);
    });
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string sentenceOf(const std::error_code& ec) {
    std::string text = ec.message();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// Drops a GObject reference when it goes out of scope.
struct Unref {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <class T> using GsfPtr = std::unique_ptr<T, Unref>;

struct ErrorHolder {
    GError* error = nullptr;
    ~ErrorHolder() {
        if (error)
            g_error_free(error);
    }
    std::string text() const { return error && error->message ? error->message : "unknown error"; }
};

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Says what a file that is not a compound document is, as well as can be told from its start.
[[noreturn]] void notCompound(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.empty())
        throw WorkbookError(Code::NotAWorkbook, "The file " + quoted(name) + " is empty.");
    if (startsWith(bytes, "PK\x03\x04"))
        throw WorkbookError(Code::UnsupportedFormat,
                            "The file " + quoted(name) +
                                " is an Excel 2007 or later workbook (.xlsx) or another zip "
                                "archive, although its name ends in .xls. Vantry reads only Excel "
                                "97-2003 workbooks: save it in that format and try again.");
    if (bytes.size() >= 4 && bytes[0] == 0x09 &&
        (bytes[1] == 0x00 || bytes[1] == 0x02 || bytes[1] == 0x04))
        throw WorkbookError(Code::UnsupportedFormat,
                            "The file " + quoted(name) +
                                " was saved in the Excel 4.0 format or an earlier one, which "
                                "Vantry cannot read. Save it as an Excel 97-2003 workbook (.xls) "
                                "and try again.");
    std::size_t start = startsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0;
    while (start < bytes.size() && std::isspace(bytes[start]))
        ++start;
    if (start < bytes.size() && bytes[start] == '<')
        throw WorkbookError(Code::NotAWorkbook,
                            "The file " + quoted(name) +
                                " is a web page or an XML document, although its name ends in "
                                ".xls. Vantry reads only Excel 97-2003 workbooks.");
    throw WorkbookError(Code::NotAWorkbook,
                        "The file " + quoted(name) + " is not an Excel 97-2003 workbook.");
}

void readEntries(GsfInfile* folder, std::vector<CompoundEntry>& out, std::size_t sizeLimit,
                 const std::string& name, int depth) {
    if (depth > kMaxStorageDepth)
        throw WorkbookError(Code::Damaged, "The file " + quoted(name) +
                                               " is damaged: its folders nest without end.");
    const int count = gsf_infile_num_children(folder);
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(folder, i);
        GsfPtr<GsfInput> child(gsf_infile_child_by_index(folder, i));
        if (!child || !childName)
            throw WorkbookError(Code::Damaged, "The file " + quoted(name) +
                                                   " is damaged: one of its parts cannot be read.");
        CompoundEntry entry;
        entry.name = childName;
        GsfInfile* asFolder = GSF_IS_INFILE(child.get()) ? GSF_INFILE(child.get()) : nullptr;
        if (asFolder && gsf_infile_num_children(asFolder) >= 0) {
            entry.storage = true;
            if (GSF_IS_INFILE_MSOLE(child.get()))
                gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), entry.classId.data());
            readEntries(asFolder, entry.children, sizeLimit, name, depth + 1);
        } else {
            const gsf_off_t size = gsf_input_size(child.get());
            if (size < 0 || static_cast<std::size_t>(size) > sizeLimit)
                throw WorkbookError(Code::Damaged,
                                    "The file " + quoted(name) +
                                        " is damaged: a part claims to be larger than the file.");
            entry.data.resize(static_cast<std::size_t>(size));
            if (size > 0 && !gsf_input_read(child.get(), entry.data.size(), entry.data.data()))
                throw WorkbookError(Code::Damaged,
                                    "The file " + quoted(name) +
                                        " is damaged: one of its parts is cut short.");
        }
        out.push_back(std::move(entry));
    }
}

void writeEntries(GsfOutfile* folder, const std::vector<CompoundEntry>& entries) {
    for (const CompoundEntry& entry : entries) {
        GsfPtr<GsfOutput> child(gsf_outfile_new_child(folder, entry.name.c_str(), entry.storage));
        if (!child)
            throw WorkbookError(Code::WriteFailed,
                                "The workbook's part " + quoted(entry.name) + " cannot be made.");
        if (entry.storage) {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(child.get()), entry.classId.data());
            writeEntries(GSF_OUTFILE(child.get()), entry.children);
        } else if (!entry.data.empty() &&
                   !gsf_output_write(child.get(), entry.data.size(), entry.data.data())) {
            throw WorkbookError(Code::WriteFailed, "The workbook's part " + quoted(entry.name) +
                                                       " cannot be written.");
        }
        gsf_output_close(child.get());
    }
}

} // namespace

CompoundEntry* CompoundFile::findStream(std::string_view name) {
    const auto same = [&](const std::string& other) {
        return other.size() == name.size() &&
               std::equal(other.begin(), other.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    for (CompoundEntry& e : entries)
        if (!e.storage && same(e.name))
            return &e;
    return nullptr;
}

CompoundFile parseCompoundFile(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.size() < sizeof kOleSignature ||
        !std::equal(std::begin(kOleSignature), std::end(kOleSignature), bytes.begin()))
        notCompound(bytes, name);
    initialiseGsf();
    GsfPtr<GsfInput> input(
        gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
    ErrorHolder error;
    GsfPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &error.error));
    if (!root)
        throw WorkbookError(Code::Damaged, "The file " + quoted(name) +
                                               " is damaged: its structure cannot be read (" +
                                               error.text() + ").");
    CompoundFile file;
    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root.get()), file.classId.data());
    readEntries(root.get(), file.entries, bytes.size(), name, 0);
    return file;
}

CompoundFile readCompoundFile(const std::string& path) {
    const fs::path p = pathFromUtf8(path);
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    if (status.type() == fs::file_type::not_found)
        throw WorkbookError(Code::FileNotFound, "The file " + quoted(path) + " does not exist.");
    if (fs::is_directory(status))
        throw WorkbookError(Code::NotAWorkbook, quoted(path) + " is a folder, not a workbook.");
    errno = 0;
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        const int err = errno;
        throw WorkbookError(
            Code::AccessDenied,
            "The file " + quoted(path) + " cannot be opened" +
                (err ? ": " + sentenceOf(std::error_code(err, std::generic_category()))
                     : std::string()) +
                ".");
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad())
        throw WorkbookError(Code::AccessDenied,
                            "The file " + quoted(path) + " cannot be read completely.");
    return parseCompoundFile(bytes, path);
}

std::vector<std::uint8_t> buildCompoundFile(const CompoundFile& file) {
    initialiseGsf();
    GsfPtr<GsfOutput> sink(gsf_output_memory_new());
    {
        GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
        if (!root)
            throw WorkbookError(Code::WriteFailed, "The workbook file cannot be made.");
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), file.classId.data());
        writeEntries(root.get(), file.entries);
        if (!gsf_output_close(GSF_OUTPUT(root.get())))
            throw WorkbookError(Code::WriteFailed, "The workbook file cannot be completed.");
    }
    if (!gsf_output_is_closed(sink.get()))
        gsf_output_close(sink.get());
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    const gsf_off_t size = gsf_output_size(sink.get());
    if (!data || size <= 0)
        throw WorkbookError(Code::WriteFailed, "The workbook file came out empty.");
    return std::vector<std::uint8_t>(data, data + size);
}

void replaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string why;
    if (!writeFileSafely(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), why))
        throw WorkbookError(Code::WriteFailed,
                            "The file " + quoted(path) + " cannot be saved: " + why + ".");
}
