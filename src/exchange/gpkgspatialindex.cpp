#include "exchange/gpkgspatialindex.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>

namespace vantry {

namespace {

// A box as the R*-tree keeps it: 32-bit floats rounded outward, so that it holds the geometry.
struct Box {
    float minX, maxX, minY, maxY;
};

float down(double v) {
    float f = static_cast<float>(v);
    return f > v ? std::nextafter(f, -std::numeric_limits<float>::infinity()) : f;
}

float up(double v) {
    float f = static_cast<float>(v);
    return f < v ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

Box unite(const Box& a, const Box& b) {
    return {std::min(a.minX, b.minX), std::max(a.maxX, b.maxX), std::min(a.minY, b.minY),
            std::max(a.maxY, b.maxY)};
}

// The position of a cell of a 65536 by 65536 grid along the Hilbert curve that fills it.
std::uint64_t hilbert(std::uint32_t x, std::uint32_t y) {
    constexpr std::uint32_t n = 1u << 16;
    std::uint64_t d = 0;
    for (std::uint32_t s = n / 2; s > 0; s /= 2) {
        const std::uint32_t rx = (x & s) ? 1 : 0;
        const std::uint32_t ry = (y & s) ? 1 : 0;
        d += std::uint64_t(s) * s * ((3 * rx) ^ ry);
        if (ry == 0) {
            if (rx == 1) {
                x = n - 1 - x;
                y = n - 1 - y;
            }
            std::swap(x, y);
        }
    }
    return d;
}

void putBig(unsigned char* at, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(v & 0xff);
        v >>= 8;
    }
}

void putFloat(unsigned char* at, float f) {
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof f);
    std::memcpy(&bits, &f, sizeof f);
    putBig(at, bits, 4);
}

struct Entry {
    std::int64_t id; // the feature's id in a leaf, the child node's number above
    Box box;
};

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string literal(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + '\'';
}

class IndexWriter {
public:
    IndexWriter(sqlite3* db, std::string& why) : db_(db), why_(why) {}

    bool run(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        why_ = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }
    bool run(const std::string& sql) { return run(sql.c_str()); }

    Statement prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            why_ = sqlite3_errmsg(db_);
        return Statement(statement);
    }

    bool step(sqlite3_stmt* statement) {
        const int done = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (done == SQLITE_DONE)
            return true;
        why_ = sqlite3_errmsg(db_);
        return false;
    }

    bool fill(const std::string& table, const FeatureTable& features);

private:
    bool writeTree(const std::string& rtree, std::vector<Entry> level, std::size_t nodeSize);

    sqlite3* db_;
    std::string& why_;
};

bool IndexWriter::writeTree(const std::string& rtree, std::vector<Entry> level,
                            std::size_t nodeSize) {
    const std::size_t perNode = (nodeSize - 4) / 24;
    Statement node = prepare("INSERT OR REPLACE INTO " + quoted(rtree + "_node") + " VALUES(?, ?)");
    Statement rowid = prepare("INSERT INTO " + quoted(rtree + "_rowid") + " VALUES(?, ?)");
    Statement parent = prepare("INSERT INTO " + quoted(rtree + "_parent") + " VALUES(?, ?)");
    if (!node || !rowid || !parent)
        return false;
    // Levels of nodes are numbered from 2 up as they are made; the root is always node 1.
    std::int64_t next = 2;
    int depth = 0;
    std::vector<unsigned char> blob(nodeSize);
    const auto writeNode = [&](std::int64_t number, const Entry* cells, std::size_t count,
                               int nodeDepth) {
        std::fill(blob.begin(), blob.end(), 0);
        putBig(blob.data(), static_cast<std::uint64_t>(nodeDepth), 2);
        putBig(blob.data() + 2, count, 2);
        for (std::size_t c = 0; c < count; ++c) {
            unsigned char* at = blob.data() + 4 + 24 * c;
            putBig(at, static_cast<std::uint64_t>(cells[c].id), 8);
            putFloat(at + 8, cells[c].box.minX);
            putFloat(at + 12, cells[c].box.maxX);
            putFloat(at + 16, cells[c].box.minY);
            putFloat(at + 20, cells[c].box.maxY);
        }
        sqlite3_bind_int64(node.get(), 1, number);
        sqlite3_bind_blob(node.get(), 2, blob.data(), static_cast<int>(nodeSize), SQLITE_STATIC);
        return step(node.get());
    };
    const auto link = [&](sqlite3_stmt* statement, std::int64_t child, std::int64_t owner) {
        sqlite3_bind_int64(statement, 1, child);
        sqlite3_bind_int64(statement, 2, owner);
        return step(statement);
    };
    for (bool leaves = true;; leaves = false) {
        if (level.size() <= perNode) {
            // The root: the leaves' parent, or a leaf itself.
            for (const Entry& e : level)
                if (!link(leaves ? rowid.get() : parent.get(), e.id, 1))
                    return false;
            return writeNode(1, level.data(), level.size(), depth);
        }
        std::vector<Entry> above;
        above.reserve(level.size() / perNode + 1);
        for (std::size_t first = 0; first < level.size(); first += perNode) {
            const std::size_t count = std::min(perNode, level.size() - first);
            const std::int64_t number = next++;
            Box box = level[first].box;
            for (std::size_t c = 0; c < count; ++c) {
                box = unite(box, level[first + c].box);
                if (!link(leaves ? rowid.get() : parent.get(), level[first + c].id, number))
                    return false;
            }
            if (!writeNode(number, level.data() + first, count, 0))
                return false;
            above.push_back({number, box});
        }
        level = std::move(above);
        ++depth;
    }
}

bool IndexWriter::fill(const std::string& table, const FeatureTable& features) {
    std::vector<Entry> entries;
    entries.reserve(features.rows());
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (std::size_t row = 0; row < features.rows(); ++row) {
        const std::size_t first = features.starts[row], end = features.starts[row + 1];
        if (first == end)
            continue;
        double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
        for (std::size_t p = first; p < end; ++p) {
            x0 = std::min(x0, features.xy[2 * p]);
            x1 = std::max(x1, features.xy[2 * p]);
            y0 = std::min(y0, features.xy[2 * p + 1]);
            y1 = std::max(y1, features.xy[2 * p + 1]);
        }
        entries.push_back(
            {static_cast<std::int64_t>(row + 1), {down(x0), up(x1), down(y0), up(y1)}});
        minX = std::min(minX, x0);
        maxX = std::max(maxX, x1);
        minY = std::min(minY, y0);
        maxY = std::max(maxY, y1);
    }
    // Neighbours on the map become neighbours in the leaves.
    const double spanX = maxX > minX ? maxX - minX : 1.0;
    const double spanY = maxY > minY ? maxY - minY : 1.0;
    std::vector<std::uint64_t> keys(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Box& b = entries[i].box;
        const double cx = (0.5 * (double(b.minX) + b.maxX) - minX) / spanX;
        const double cy = (0.5 * (double(b.minY) + b.maxY) - minY) / spanY;
        keys[i] = hilbert(static_cast<std::uint32_t>(std::clamp(cx, 0.0, 1.0) * 65535.0),
                          static_cast<std::uint32_t>(std::clamp(cy, 0.0, 1.0) * 65535.0));
    }
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (const std::size_t i : order)
        sorted.push_back(entries[i]);

    const std::string rtree = "rtree_" + table + "_geom";
    // The node size SQLite chose for the page size, from the root it made.
    Statement root =
        prepare("SELECT length(data) FROM " + quoted(rtree + "_node") + " WHERE nodeno = 1");
    if (!root || sqlite3_step(root.get()) != SQLITE_ROW) {
        why_ = "the spatial index of " + table + " has no root";
        return false;
    }
    const auto nodeSize = static_cast<std::size_t>(sqlite3_column_int(root.get(), 0));
    root.reset();
    if (nodeSize < 4 + 24 * 4) {
        why_ = "the spatial index of " + table + " has nodes too small";
        return false;
    }
    return writeTree(rtree, std::move(sorted), nodeSize);
}

// GeoPackage's triggers that keep the index of a table up to date when it is edited.
std::string triggers(const std::string& table) {
    const std::string t = quoted(table);
    const std::string r = quoted("rtree_" + table + "_geom");
    const std::string insert = "INSERT OR REPLACE INTO " + r +
                               " VALUES (NEW.\"fid\",ST_MinX(NEW.\"geom\"), "
                               "ST_MaxX(NEW.\"geom\"),ST_MinY(NEW.\"geom\"), "
                               "ST_MaxY(NEW.\"geom\"));";
    const auto name = [&table](const char* suffix) {
        return quoted("rtree_" + table + "_geom_" + suffix);
    };
    return "CREATE TRIGGER " + name("insert") + " AFTER INSERT ON " + t +
           " WHEN (new.\"geom\" NOT NULL AND NOT ST_IsEmpty(NEW.\"geom\")) BEGIN " + insert +
           " END;"
           "CREATE TRIGGER " +
           name("update1") + " AFTER UPDATE OF \"geom\" ON " + t +
           " WHEN OLD.\"fid\" = NEW.\"fid\" AND (NEW.\"geom\" NOTNULL AND NOT "
           "ST_IsEmpty(NEW.\"geom\")) BEGIN " +
           insert +
           " END;"
           "CREATE TRIGGER " +
           name("update2") + " AFTER UPDATE OF \"geom\" ON " + t +
           " WHEN OLD.\"fid\" = NEW.\"fid\" AND (NEW.\"geom\" ISNULL OR "
           "ST_IsEmpty(NEW.\"geom\")) BEGIN DELETE FROM " +
           r +
           " WHERE id = OLD.\"fid\"; END;"
           "CREATE TRIGGER " +
           name("update3") + " AFTER UPDATE ON " + t +
           " WHEN OLD.\"fid\" != NEW.\"fid\" AND (NEW.\"geom\" NOTNULL AND NOT "
           "ST_IsEmpty(NEW.\"geom\")) BEGIN DELETE FROM " +
           r + " WHERE id = OLD.\"fid\"; " + insert +
           " END;"
           "CREATE TRIGGER " +
           name("update4") + " AFTER UPDATE ON " + t +
           " WHEN OLD.\"fid\" != NEW.\"fid\" AND (NEW.\"geom\" ISNULL OR "
           "ST_IsEmpty(NEW.\"geom\")) BEGIN DELETE FROM " +
           r +
           " WHERE id IN (OLD.\"fid\", NEW.\"fid\"); END;"
           "CREATE TRIGGER " +
           name("delete") + " AFTER DELETE ON " + t +
           " WHEN old.\"geom\" NOT NULL BEGIN DELETE FROM " + r + " WHERE id = OLD.\"fid\"; END;";
}

} // namespace

bool buildGeoPackageIndexes(const std::string& path, const std::vector<FeatureTable>& tables,
                            std::string& why) {
    // The tables are made in a connection of their own: the R*-tree module keeps what it read of
    // a table it made, which the packed nodes then replace.
    for (int pass = 0; pass < 2; ++pass) {
        sqlite3* opened = nullptr;
        const int status = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
        Database db(opened);
        if (status != SQLITE_OK) {
            why = opened ? sqlite3_errmsg(opened) : "it cannot be opened";
            return false;
        }
        IndexWriter writer(db.get(), why);
        if (!writer.run("BEGIN"))
            return false;
        if (pass == 0) {
            if (!writer.run("CREATE TABLE IF NOT EXISTS gpkg_extensions (table_name TEXT, "
                            "column_name TEXT, extension_name TEXT NOT NULL, definition TEXT NOT "
                            "NULL, scope TEXT NOT NULL, CONSTRAINT ge_tce UNIQUE (table_name, "
                            "column_name, extension_name))"))
                return false;
            for (const FeatureTable& table : tables)
                if (!writer.run("CREATE VIRTUAL TABLE " + quoted("rtree_" + table.name + "_geom") +
                                " USING rtree(id, minx, maxx, miny, maxy)") ||
                    !writer.run(triggers(table.name)) ||
                    !writer.run("INSERT INTO gpkg_extensions (table_name, column_name, "
                                "extension_name, definition, scope) VALUES (" +
                                literal(table.name) +
                                ", 'geom', 'gpkg_rtree_index', "
                                "'http://www.geopackage.org/spec120/#extension_rtree', "
                                "'write-only')"))
                    return false;
        } else {
            for (const FeatureTable& table : tables)
                if (!writer.fill(table.name, table))
                    return false;
        }
        if (!writer.run("COMMIT"))
            return false;
    }
    return true;
}

} // namespace vantry
