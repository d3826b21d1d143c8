#include "document/snapshothistory.h"

#include "model/network.h"
#include "model/snapshot.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace vantry {

namespace {

// Pieces are small enough that moving one node recompresses little, and large enough that each
// still compresses well.
constexpr std::size_t kPieceBytes = 64 * 1024;

} // namespace

// zstd's fastest level: the columns of a network compress several times over, and an edit on a
// large network must not wait for the compressor.
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
    SnapshotSections sections = encodeSnapshotSections(network);
    // Each section is cut into pieces of its own, so that a section that grows or shrinks (a
    // node added) leaves the pieces of the others as they were.
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> cuts(sections.ends.size());
    std::size_t start = 0;
    for (std::size_t s = 0; s < sections.ends.size(); ++s) {
        const std::size_t end = sections.ends[s];
        for (std::size_t at = start; at < end; at += kPieceBytes)
            cuts[s].emplace_back(at, std::min(kPieceBytes, end - at));
        start = end;
    }

    Snapshot snapshot;
    std::size_t lastFirst = 0; // index in lastPieces_ of the first piece of section s
    for (std::size_t s = 0; s < cuts.size(); ++s) {
        for (std::size_t k = 0; k < cuts[s].size(); ++k) {
            const auto [at, size] = cuts[s][k];
            const char* raw = sections.bytes.data() + at;
            if (s < lastCuts_.size() && k < lastCuts_[s].size() && lastCuts_[s][k].second == size &&
                std::memcmp(lastBytes_.data() + lastCuts_[s][k].first, raw, size) == 0) {
                snapshot.push_back(lastPieces_[lastFirst + k]);
                continue;
            }
            auto piece = std::make_shared<Piece>();
            piece->size = size;
            std::string packed(ZSTD_compressBound(size), '\0');
            const std::size_t used =
                compressor_->context
                    ? ZSTD_compressCCtx(compressor_->context, packed.data(), packed.size(), raw,
                                        size, Compressor::kLevel)
                    : ZSTD_compress(packed.data(), packed.size(), raw, size, Compressor::kLevel);
            // A piece that would not get smaller is kept as it is; its stored length then equals
            // its size, which is how unpack tells the two apart.
            if (!ZSTD_isError(used) && used < size) {
                packed.resize(used);
                packed.shrink_to_fit();
                piece->bytes = std::move(packed);
            } else {
                piece->bytes.assign(raw, size);
            }
            snapshot.push_back(std::move(piece));
        }
        if (s < lastCuts_.size())
            lastFirst += lastCuts_[s].size();
    }
    lastBytes_ = std::move(sections.bytes);
    lastCuts_ = std::move(cuts);
    lastPieces_ = snapshot;
    lastOffsets_.clear();
    std::size_t i = 0;
    for (const auto& sectionCuts : lastCuts_)
        for (const auto& cut : sectionCuts)
            lastOffsets_.emplace(lastPieces_[i++].get(), cut.first);
    return snapshot;
}

bool SnapshotHistory::unpack(const Snapshot& snapshot, std::string& bytes, std::string* why) {
    std::size_t total = 0;
    for (const auto& piece : snapshot)
        total += piece->size;
    bytes.resize(total);
    char* out = bytes.data();
    for (const auto& piece : snapshot) {
        // A piece shared with the last snapshot packed is copied from its bytes rather than
        // decompressed: undoing a small edit then decompresses only what the edit changed.
        const auto known = lastOffsets_.find(piece.get());
        if (known != lastOffsets_.end()) {
            std::memcpy(out, lastBytes_.data() + known->second, piece->size);
        } else if (piece->bytes.size() == piece->size) {
            std::memcpy(out, piece->bytes.data(), piece->size);
        } else {
            const std::size_t got =
                compressor_->decompressor
                    ? ZSTD_decompressDCtx(compressor_->decompressor, out, piece->size,
                                          piece->bytes.data(), piece->bytes.size())
                    : ZSTD_decompress(out, piece->size, piece->bytes.data(), piece->bytes.size());
            if (ZSTD_isError(got) || got != piece->size) {
                if (why)
                    *why = "the kept copy of the network is damaged";
                return false;
            }
        }
        out += piece->size;
    }
    return true;
}

void SnapshotHistory::take(const Network& network, std::string name) {
    Step s{pack(network), std::move(name)};
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
    std::string bytes;
    if (!unpack(undo_.back().snapshot, bytes, why) || !restoreSnapshot(bytes, network, why))
        return false;
    cancel();
    return true;
}

bool SnapshotHistory::step(std::deque<Step>& from, std::deque<Step>& to, Network& network,
                           std::string* why, RestoreChanges* changes) {
    if (from.empty())
        return false;
    // The kept state is unpacked and checked whole before anything changes: if it cannot be
    // restored, the network and both stacks stay as they are. The network is packed first, so
    // that what it shares with the kept state need not be decompressed.
    Snapshot current = pack(network);
    std::string bytes;
    if (!unpack(from.back().snapshot, bytes, why) || !restoreSnapshot(bytes, network, why, changes))
        return false;
    // The step keeps its name on the other stack: Redo redoes what Undo undid.
    to.push_back({std::move(current), std::move(from.back().name)});
    from.pop_back();
    return true;
}

bool SnapshotHistory::undo(Network& network, std::string* why, RestoreChanges* changes) {
    return step(undo_, redo_, network, why, changes);
}

bool SnapshotHistory::redo(Network& network, std::string* why, RestoreChanges* changes) {
    return step(redo_, undo_, network, why, changes);
}

void SnapshotHistory::clear() {
    undo_.clear();
    redo_.clear();
    redoBackup_.clear();
    savedDepth_ = 0;
    savedDepthBackup_ = 0;
}

void SnapshotHistory::clearUnsaved() {
    clear();
    savedDepth_ = -1;
    savedDepthBackup_ = -1;
}

void SnapshotHistory::markSaved() {
    savedDepth_ = static_cast<long>(undo_.size());
}

const std::string& SnapshotHistory::undoName() const {
    static const std::string none;
    return undo_.empty() ? none : undo_.back().name;
}

const std::string& SnapshotHistory::redoName() const {
    static const std::string none;
    return redo_.empty() ? none : redo_.back().name;
}

bool SnapshotHistory::isAtSavedState() const {
    return static_cast<long>(undo_.size()) == savedDepth_;
}

std::size_t SnapshotHistory::memoryBytes() const {
    std::unordered_set<const Piece*> counted;
    std::size_t total = lastBytes_.capacity();
    for (const auto* stack : {&undo_, &redo_, &redoBackup_})
        for (const Step& s : *stack)
            for (const auto& piece : s.snapshot)
                if (counted.insert(piece.get()).second)
                    total += piece->bytes.capacity() + sizeof(Piece);
    return total;
}

} // namespace vantry
