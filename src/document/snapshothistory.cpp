#include "document/snapshothistory.h"

#include "model/network.h"
#include "model/snapshot.h"

#include <zstd.h>

// Snapshots are compressed with zstd's fastest levels: the columns of a network compress
// several times over, and an edit on a large network must not wait for the compressor.
struct SnapshotHistory::Compressor {
    static constexpr int kLevel = 1;
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_DCtx* decompressor = ZSTD_createDCtx();
    ~Compressor() {
        ZSTD_freeCCtx(context);
        ZSTD_freeDCtx(decompressor);
    }
};

SnapshotHistory::SnapshotHistory() : compressor_(std::make_unique<Compressor>()) {}

SnapshotHistory::~SnapshotHistory() = default;

SnapshotHistory::Snapshot SnapshotHistory::pack(const Network& network) {
    Snapshot s;
    s.bytes = encodeSnapshot(network);
    s.size = s.bytes.size();
    if (!compressor_->context)
        return s;
    std::string packed(ZSTD_compressBound(s.size), '\0');
    const std::size_t used = ZSTD_compressCCtx(compressor_->context, packed.data(), packed.size(),
                                               s.bytes.data(), s.size, Compressor::kLevel);
    // A snapshot that would not get smaller is kept as it is; its stored size then equals its
    // length, which is how unpack tells the two apart.
    if (!ZSTD_isError(used) && used < s.size) {
        packed.resize(used);
        packed.shrink_to_fit();
        s.bytes = std::move(packed);
    }
    return s;
}

bool SnapshotHistory::unpack(const Snapshot& snapshot, Network& into, std::string* why) {
    if (snapshot.bytes.size() == snapshot.size)
        return decodeSnapshot(snapshot.bytes, into, why);
    std::string raw(snapshot.size, '\0');
    const std::size_t got =
        compressor_->decompressor
            ? ZSTD_decompressDCtx(compressor_->decompressor, raw.data(), raw.size(),
                                  snapshot.bytes.data(), snapshot.bytes.size())
            : ZSTD_decompress(raw.data(), raw.size(), snapshot.bytes.data(), snapshot.bytes.size());
    if (ZSTD_isError(got) || got != raw.size()) {
        if (why)
            *why = "the kept copy of the network is damaged";
        return false;
    }
    return decodeSnapshot(raw, into, why);
}

void SnapshotHistory::take(const Network& network) {
    Snapshot s = pack(network);
    savedDepthBackup_ = savedDepth_;
    // An edit made below the saved state throws away the redo steps that led back to it.
    if (savedDepth_ > static_cast<long>(undo_.size()))
        savedDepth_ = -1;
    undo_.push_back(std::move(s));
    redoBackup_ = std::move(redo_);
    redo_.clear();
}

void SnapshotHistory::cancel() {
    if (undo_.empty())
        return;
    undo_.pop_back();
    redo_ = std::move(redoBackup_);
    redoBackup_.clear();
    savedDepth_ = savedDepthBackup_;
}

bool SnapshotHistory::revert(Network& network, std::string* why) {
    if (undo_.empty())
        return false;
    Network restored;
    if (!unpack(undo_.back(), restored, why))
        return false;
    network.swap(restored);
    cancel();
    return true;
}

bool SnapshotHistory::step(std::deque<Snapshot>& from, std::deque<Snapshot>& to, Network& network,
                           std::string* why) {
    if (from.empty())
        return false;
    // The state is rebuilt aside first: if it cannot be, the network and both stacks stay.
    Network restored;
    if (!unpack(from.back(), restored, why))
        return false;
    to.push_back(pack(network));
    network.swap(restored);
    from.pop_back();
    return true;
}

bool SnapshotHistory::undo(Network& network, std::string* why) {
    return step(undo_, redo_, network, why);
}

bool SnapshotHistory::redo(Network& network, std::string* why) {
    return step(redo_, undo_, network, why);
}

void SnapshotHistory::clear() {
    undo_.clear();
    redo_.clear();
    redoBackup_.clear();
    savedDepth_ = 0;
    savedDepthBackup_ = 0;
}

void SnapshotHistory::markSaved() {
    savedDepth_ = static_cast<long>(undo_.size());
}

bool SnapshotHistory::isAtSavedState() const {
    return static_cast<long>(undo_.size()) == savedDepth_;
}

std::size_t SnapshotHistory::memoryBytes() const {
    std::size_t total = 0;
    for (const auto* stack : {&undo_, &redo_, &redoBackup_})
        for (const Snapshot& s : *stack)
            total += s.bytes.capacity();
    return total;
}
