#include "excel/documentproperties.h"

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-msole-utils.h>

#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace vantry {
namespace {

constexpr const char* kSummaryStream = "\005DocumentSummaryInformation";

struct Unref {
    void operator()(gpointer object) const {
        if (object)
            g_object_unref(object);
    }
};
template <class T> using GsfPtr = std::unique_ptr<T, Unref>;

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

const CompoundEntry* summaryStream(const CompoundFile& file) {
    for (const CompoundEntry& entry : file.entries)
        if (!entry.storage && entry.name == kSummaryStream)
            return &entry;
    return nullptr;
}

// The properties of the stream; empty ones when it is missing or cannot be read, since a
// damaged summary must not cost the user the workbook.
GsfPtr<GsfDocMetaData> readSummary(const CompoundEntry* stream) {
    initialise();
    GsfPtr<GsfDocMetaData> meta(gsf_doc_meta_data_new());
    if (!stream || stream->data.empty())
        return meta;
    GsfPtr<GsfInput> input(gsf_input_memory_new(
        stream->data.data(), static_cast<gsf_off_t>(stream->data.size()), FALSE));
    if (GError* error = gsf_doc_meta_data_read_from_msole(meta.get(), input.get())) {
        g_error_free(error);
        meta.reset(gsf_doc_meta_data_new());
    }
    return meta;
}

} // namespace

std::optional<std::string> customProperty(const CompoundFile& file, const std::string& name) {
    const CompoundEntry* stream = summaryStream(file);
    if (!stream)
        return std::nullopt;
    GsfPtr<GsfDocMetaData> meta = readSummary(stream);
    GsfDocProp* prop = gsf_doc_meta_data_lookup(meta.get(), name.c_str());
    if (!prop)
        return std::nullopt;
    const GValue* value = gsf_doc_prop_get_val(prop);
    if (!value || !G_VALUE_HOLDS_STRING(value) || !g_value_get_string(value))
        return std::nullopt;
    return std::string(g_value_get_string(value));
}

void setCustomProperty(CompoundFile& file, const std::string& name,
                       const std::optional<std::string>& text) {
    const CompoundEntry* stream = summaryStream(file);
    GsfPtr<GsfDocMetaData> meta = readSummary(stream);
    const bool had = gsf_doc_meta_data_lookup(meta.get(), name.c_str()) != nullptr;
    if (!text && !had)
        return;
    if (text) {
        GValue* value = g_new0(GValue, 1);
        g_value_init(value, G_TYPE_STRING);
        g_value_set_string(value, text->c_str());
        gsf_doc_meta_data_insert(meta.get(), g_strdup(name.c_str()), value);
    } else {
        gsf_doc_meta_data_remove(meta.get(), name.c_str());
    }
    GsfPtr<GsfOutput> sink(gsf_output_memory_new());
    gsf_doc_meta_data_write_to_msole(meta.get(), sink.get(), TRUE);
    gsf_output_close(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    const auto size = static_cast<std::size_t>(gsf_output_size(sink.get()));
    CompoundEntry fresh;
    fresh.name = kSummaryStream;
    fresh.data.assign(bytes, bytes + size);
    auto old = std::find_if(file.entries.begin(), file.entries.end(), [](const CompoundEntry& e) {
        return !e.storage && e.name == kSummaryStream;
    });
    if (old != file.entries.end())
        *old = std::move(fresh);
    else
        file.entries.push_back(std::move(fresh));
}

} // namespace vantry
