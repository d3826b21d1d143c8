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
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

namespace fs = std::filesystem;

namespace vantry {

namespace {

using Code = WorkbookError::Code;

constexpr std::uint8_t kOleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// The header of a compound document, and the sector sizes it may give (2^9 = 512 bytes in the
// documents of Excel 97-2003, 2^12 in the later form).
constexpr std::size_t kHeaderBytes = 512;
constexpr unsigned kMinSectorShift = 7;
constexpr unsigned kMaxSectorShift = 16;
// A compound document of 512-byte sectors is at most 2 GB.
constexpr std::uint64_t kMaxCompoundBytes = std::uint64_t{1} << 31;
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

// Reads the entries of a folder. `budget` is what is left of the file's size: the streams of a
// sound document lie in sectors of their own, so together they are never larger than the file,
// and a damaged one whose streams share sectors cannot take more memory than that.
void readEntries(GsfInfile* folder, std::vector<CompoundEntry>& out, std::size_t& budget,
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
            readEntries(asFolder, entry.children, budget, name, depth + 1);
        } else {
            const gsf_off_t size = gsf_input_size(child.get());
            if (size < 0 || static_cast<std::uint64_t>(size) > budget)
                throw WorkbookError(Code::Damaged,
                                    "The file " + quoted(name) +
                                        " is damaged: a part claims to be larger than the file.");
            budget -= static_cast<std::size_t>(size);
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
    std::size_t budget = bytes.size();
    readEntries(root.get(), file.entries, budget, name, 0);
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
    InputFile in;
    std::string why;
    if (!in.open(path, why))
        throw WorkbookError(Code::AccessDenied,
                            "The file " + quoted(path) + " cannot be opened: " + why + ".");
    const auto cannotRead = [&] {
        return WorkbookError(Code::AccessDenied,
                             "The file " + quoted(path) + " cannot be read: " + why + ".");
    };

    // The header says how many sectors the document can address at most; nothing after them
    // belongs to it, so a file of any size costs no more than the document it holds.
    std::vector<std::uint8_t> bytes(kHeaderBytes);
    std::size_t got = 0;
    if (!in.readAt(0, reinterpret_cast<char*>(bytes.data()), bytes.size(), got, why))
        throw cannotRead();
    bytes.resize(got);
    if (got < sizeof kOleSignature ||
        !std::equal(std::begin(kOleSignature), std::end(kOleSignature), bytes.begin()))
        notCompound(bytes, path);
    if (got < kHeaderBytes)
        throw WorkbookError(Code::Damaged,
                            "The file " + quoted(path) + " is damaged: its header is cut short.");
    const unsigned sectorShift = bytes[0x1E] | (unsigned{bytes[0x1F]} << 8);
    if (sectorShift < kMinSectorShift || sectorShift > kMaxSectorShift)
        throw WorkbookError(Code::Damaged,
                            "The file " + quoted(path) +
                                " is damaged: its header gives an impossible sector size.");
    const std::uint64_t sectorSize = std::uint64_t{1} << sectorShift;
    const std::uint64_t fatSectors = std::uint64_t{bytes[0x2C]} | std::uint64_t{bytes[0x2D]} << 8 |
                                     std::uint64_t{bytes[0x2E]} << 16 |
                                     std::uint64_t{bytes[0x2F]} << 24;
    // Each sector of the allocation table maps sectorSize / 4 sectors, which follow the header.
    const std::uint64_t addressed = (1 + fatSectors * (sectorSize / 4)) * sectorSize;
    const std::uint64_t wanted = std::min<std::uint64_t>(addressed, in.size());
    if (wanted > kMaxCompoundBytes)
        throw WorkbookError(Code::TooLarge, "The file " + quoted(path) +
                                                " is larger than an Excel 97-2003 workbook can "
                                                "be (2 GB).");
    if (wanted > bytes.size()) {
        const std::size_t had = bytes.size();
        bytes.resize(static_cast<std::size_t>(wanted));
        if (!in.readAt(had, reinterpret_cast<char*>(bytes.data() + had), bytes.size() - had, got,
                       why))
            throw cannotRead();
        bytes.resize(had + got);
    }
    in.close();
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

void replaceFile(const std::string& path, std::span<const std::uint8_t> bytes,
                 ReadOnlyFiles readOnly) {
    std::string why;
    if (!writeFileSafely(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), why,
            readOnly))
        throw WorkbookError(Code::WriteFailed,
                            "The file " + quoted(path) + " cannot be saved: " + why + ".");
}

} // namespace vantry
