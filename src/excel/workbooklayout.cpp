// The Travona workbook layout: which cells of "Sheet1" hold the network, and how.
//
//   A1        the tag "KX101"
//   C1        the background bitmap's path;  D1, E1, F1, G1  its left, top, right, bottom
//   B4:L203   link k in row k + 3: from and to node ids, lanes, capacity, length, free-flow
//             speed, jam density, direction, type, two-way side, description
//   B213:C312 node k in row k + 212: x and y
//
// Everything else on the sheet, and every other sheet, belongs to the user.

#include "excel/workbooklayout.h"

#include "base/files.h"
#include "excel/unicode.h"
#include "excel/workbookfile.h"
#include "model/network.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantry {

namespace {

// Zero-based rows and columns of the layout.
constexpr int kHeaderRow = 0;
constexpr int kFirstLinkRow = 3;   // row 4
constexpr int kLastLinkRow = 202;  // row 203
constexpr int kFirstNodeRow = 212; // row 213
constexpr int kLastNodeRow = 311;  // row 312
constexpr int kColumnA = 0, kColumnB = 1, kColumnC = 2, kColumnD = 3, kColumnE = 4, kColumnF = 5,
              kColumnG = 6, kColumnH = 7, kColumnI = 8, kColumnJ = 9, kColumnK = 10, kColumnL = 11;

// The decimals a plain fixed number format shows every number with: two for "0.00" or
// "#,##0.00". Other formats (General, percentages, scientific, several sections, text) say
// nothing here: 0.
int fixedFormatDecimals(std::string_view format) {
    const std::size_t point = format.find('.');
    const std::string_view whole = format.substr(0, point);
    if (whole.empty() || whole.find_first_not_of("#,0") != std::string_view::npos)
        return 0;
    if (point == std::string_view::npos)
        return 0;
    const std::string_view decimals = format.substr(point + 1);
    if (decimals.find_first_not_of('0') != std::string_view::npos)
        return 0;
    return static_cast<int>(decimals.size());
}

// Reads the cells of the layout, turning a value that cannot be converted into an error that
// names its cell.
class LayoutReader {
public:
    explicit LayoutReader(WorkbookFile& file) : file_(file) {}

    std::int32_t integer(int row, int column) {
        return convert<std::int32_t>(row, column, [](const CellValue& v) { return v.toInt32(); });
    }
    float single(int row, int column) {
        return convert<float>(row, column, [](const CellValue& v) { return v.toSingle(); });
    }
    std::string text(int row, int column) {
        return convert<std::string>(row, column, [](const CellValue& v) { return v.toText(); });
    }
    // Coordinates are read as text and parsed, so that numbers and texts both serve.
    float coordinate(int row, int column, const std::string& text) {
        float v = 0.0f;
        if (!parseNumber(text, v))
            cannotRead(row, column,
                       WorkbookError(WorkbookError::Code::TypeMismatch,
                                     "The text " + CellValue::text(text).describe() +
                                         " is not a number."));
        return v;
    }

    // The decimals of the cell's number as written: a text's own; for a number those of the
    // shortest decimal form that gives back its double, or the decimals its number format shows
    // when that is more, since a rounded number such as 2.000 keeps none of its zeros. What
    // holds no number was never rounded.
    int decimals(int row, int column) {
        const CellValue value = file_.cell(row, column);
        if (value.kind() == CellValue::Kind::Text)
            return writtenDecimals(value.textValue());
        if (value.kind() != CellValue::Kind::Number)
            return kUnrounded;
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, value.numberValue());
        const int shortest = r.ec == std::errc{} ? writtenDecimals({buf, r.ptr}) : kUnrounded;
        return std::max(shortest, fixedFormatDecimals(file_.numberFormat(row, column)));
    }

    [[noreturn]] static void cannotRead(int row, int column, const WorkbookError& e) {
        throw WorkbookError(e.code(), "Cell " + cellAddress(row, column) + " of sheet \"" +
                                          kWorkbookSheet + "\" cannot be read. " + e.what());
    }

private:
    template <class T, class F> T convert(int row, int column, F&& f) {
        const CellValue value = file_.cell(row, column);
        try {
            return f(value);
        } catch (const WorkbookError& e) {
            cannotRead(row, column, e);
        }
    }

    WorkbookFile& file_;
};

// One link row as read, before anything is added to the network.
struct LinkRow {
    std::int32_t from = 0, to = 0, lanes = 0, capacity = 0, speed = 0, jamDensity = 0, side = 0;
    float length = 0.0f;
    int lengthDecimals = kUnrounded;
    std::string direction, type, description;
};

LinkRow readLinkRow(LayoutReader& read, int row, std::int32_t from, std::int32_t to) {
    LinkRow r;
    r.from = from;
    r.to = to;
    r.lanes = read.integer(row, kColumnD);
    r.capacity = read.integer(row, kColumnE);
    r.length = read.single(row, kColumnF);
    r.lengthDecimals = read.decimals(row, kColumnF);
    r.speed = read.integer(row, kColumnG);
    r.jamDensity = read.integer(row, kColumnH);
    r.direction = read.text(row, kColumnI);
    r.type = read.text(row, kColumnJ);
    r.side = read.integer(row, kColumnK);
    // Descriptions go back to the bytes of the code page the file came from, where they can.
    r.description = storedBytesFromUtf8(read.text(row, kColumnL));
    return r;
}

CellValue integerCell(std::int32_t v) {
    return CellValue::number(static_cast<double>(v));
}

// Why A1 of the sheet is not the tag; nothing when it is.
std::optional<std::string> tagProblem(WorkbookFile& file) {
    const CellValue a1 = file.cell(kHeaderRow, kColumnA);
    if (a1.kind() == CellValue::Kind::Text && a1.textValue() == kWorkbookTag)
        return std::nullopt;
    const std::string where = std::string(kWorkbookSheet) + "!A1";
    const std::string tag = std::string("\"") + kWorkbookTag + "\"";
    if (a1.isEmpty())
        return where + " is empty, not " + tag;
    return where + " is " + a1.describe() + ", not " + tag;
}

// Where a placed network's georeference is kept (formatGeoreference's text).
constexpr const char* kGeoreferenceProperty = "VantryGeoreference";

bool hasSheet(const WorkbookFile& file, const std::string& name) {
    const auto folded = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (const std::string& sheet : file.sheetNames())
        if (folded(sheet) == folded(name))
            return true;
    return false;
}

void discard(Network& network) {
    network.clear();
    network.setBitmap({}, {});
    network.recomputeBounds();
}

// The number format that shows a number as FormatFixed writes it with that many decimals. A
// number format holds at most 255 characters, so at most 253 decimals; a float never needs more
// than 149.
std::string fixedNumberFormat(int decimals) {
    constexpr int kMostDecimals = 253;
    decimals = std::clamp(decimals, 0, kMostDecimals);
    return decimals == 0 ? "0" : "0." + std::string(static_cast<std::size_t>(decimals), '0');
}

std::string notEnoughMemory(const std::string& fileName) {
    return "There is not enough memory to work on the workbook \"" + fileName + "\".";
}

} // namespace

std::string FormatFixed(double value, int decimals) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                                 decimals < 0 ? 0 : decimals);
    if (r.ec != std::errc{})
        return std::to_string(value);
    return std::string(buf, r.ptr);
}

bool LoadFromWorkbook(Network& network, const std::string& fileName, WorkbookPrompts& prompts) {
    try {
        WorkbookFile file;
        file.open(fileName);
        const bool sheetFound = hasSheet(file, kWorkbookSheet);
        file.selectSheet(kWorkbookSheet);
        std::optional<std::string> problem;
        if (!sheetFound)
            problem = std::string("there is no sheet named ") + kWorkbookSheet;
        else
            problem = tagProblem(file);
        if (problem && !prompts.askYesNo(kNotTravonaQuestion)) {
            // The question does not say what is missing; the refusal does.
            prompts.showMessage("The workbook \"" + fileName +
                                "\" was not created for Travona: " + *problem + ".");
            return false;
        }

        LayoutReader read(file);
        network.recomputeBounds();
        // A cell that cannot be read ends its block there; what was read before it is kept, and
        // the user is told which cell it was.
        std::string warnings;
        const auto warn = [&](const std::string& text) {
            warnings += (warnings.empty() ? "" : "\n") + text;
        };

        // Nodes, until the first row whose x or y is empty. Ids in the workbook are row numbers
        // within the block; the table maps them to the nodes made for them.
        std::unordered_map<std::int32_t, Node*> byId;
        // How the cells rounded each node's coordinates, for the lengths (a node made up for a
        // link was not rounded).
        std::unordered_map<const Node*, WrittenDecimals> written;
        std::int32_t nodesRead = 0;
        bool nodesCut = false;
        for (int row = kFirstNodeRow; row <= kLastNodeRow; ++row) {
            try {
                const std::string x = read.text(row, kColumnB);
                const std::string y = read.text(row, kColumnC);
                if (x.empty() || y.empty())
                    break;
                const WorldPoint p{read.coordinate(row, kColumnB, x),
                                   read.coordinate(row, kColumnC, y)};
                auto* node = new Node(p);
                network.addNode(node);
                byId[++nodesRead] = node;
                written[node] = {read.decimals(row, kColumnB), read.decimals(row, kColumnC)};
            } catch (const WorkbookError& e) {
                if (e.code() != WorkbookError::Code::TypeMismatch &&
                    e.code() != WorkbookError::Code::Overflow)
                    throw;
                warn(std::string(e.what()) + " The nodes end before it, after node " +
                     std::to_string(nodesRead) + ".");
                nodesCut = true;
                break;
            }
        }

        const auto nodeFor = [&](std::int32_t id) {
            Node*& node = byId[id];
            if (!node) {
                node = new Node();
                network.addNode(node);
            }
            return node;
        };

        // Links, until the first row whose from or to node id is 0 (or empty).
        std::int32_t linksRead = 0;
        for (int row = kFirstLinkRow; row <= kLastLinkRow; ++row) {
            LinkRow r;
            try {
                const std::int32_t from = read.integer(row, kColumnB);
                const std::int32_t to = read.integer(row, kColumnC);
                if (from == 0 || to == 0)
                    break;
                // Behind a node block that ended early, a node past those read is one the
                // workbook has but this load does not: joining a stand-in would be wrong.
                for (const auto& [id, column] :
                     {std::pair{from, kColumnB}, std::pair{to, kColumnC}})
                    if (nodesCut && (id < 1 || id > nodesRead))
                        LayoutReader::cannotRead(
                            row, column,
                            WorkbookError(WorkbookError::Code::BadCell,
                                          "It names node " + std::to_string(id) +
                                              ", which lies past the nodes read."));
                r = readLinkRow(read, row, from, to);
            } catch (const WorkbookError& e) {
                if (e.code() != WorkbookError::Code::TypeMismatch &&
                    e.code() != WorkbookError::Code::Overflow &&
                    e.code() != WorkbookError::Code::BadCell)
                    throw;
                warn(std::string(e.what()) + " The links end before it, after link " +
                     std::to_string(linksRead) + ".");
                break;
            }
            Node* fromNode = nodeFor(r.from);
            Node* toNode = nodeFor(r.to);
            auto* link = new Link();
            network.addLink(link);
            ++linksRead;
            link->setFromNode(fromNode);
            link->setToNode(toNode);
            link->setNumLanes(r.lanes);
            link->setCapacity(r.capacity);
            link->setLengthAsWritten(r.length, r.lengthDecimals, written[fromNode],
                                     written[toNode]);
            link->setFFSpeed(r.speed);
            link->setJamDensity(r.jamDensity);
            link->setDirectionCode(r.direction.empty() ? ' ' : r.direction[0]);
            link->setTypeCode(r.type);
            link->setTwoWaySide(r.side);
            link->setDescription(std::move(r.description));
        }

        try {
            std::string bitmapPath = read.text(kHeaderRow, kColumnC);
            WorldRect rect;
            rect.left = read.single(kHeaderRow, kColumnD);
            rect.top = read.single(kHeaderRow, kColumnE);
            rect.right = read.single(kHeaderRow, kColumnF);
            rect.bottom = read.single(kHeaderRow, kColumnG);
            network.setBitmap(std::move(bitmapPath), rect);
        } catch (const WorkbookError& e) {
            if (e.code() != WorkbookError::Code::TypeMismatch &&
                e.code() != WorkbookError::Code::Overflow)
                throw;
            warn(std::string(e.what()) + " The network has no background picture.");
        }

        // Kept as a document property, where the sheet's other readers never look.
        if (const auto text = file.customProperty(kGeoreferenceProperty)) {
            Georeference g;
            std::string why;
            if (!parseGeoreference(*text, g, &why) || !network.setGeoreference(g, &why))
                warn(std::string("The document property ") + kGeoreferenceProperty +
                     " cannot be read: " + why + ". The network is not placed.");
        }

        file.close();
        network.recomputeBounds();
        if (!warnings.empty())
            prompts.showWarning(warnings);
        return true;
    } catch (const WorkbookError& e) {
        discard(network);
        prompts.showMessage(std::string(kUnableToLoadMessage) + "\n" + e.what());
    } catch (const std::bad_alloc&) {
        discard(network);
        prompts.showMessage(std::string(kUnableToLoadMessage) + "\n" + notEnoughMemory(fileName));
    } catch (const std::length_error&) {
        discard(network);
        prompts.showMessage(std::string(kUnableToLoadMessage) + "\n" + notEnoughMemory(fileName));
    }
    return false;
}

bool SaveToWorkbook(const Network& network, const std::string& fileName, WorkbookPrompts& prompts,
                    ReadOnlyFiles readOnly) {
    if (network.links().size() > kMaxWorkbookLinks || network.nodes().size() > kMaxWorkbookNodes) {
        prompts.showMessage(kTooLargeMessage);
        return false;
    }

    namespace fs = std::filesystem;
    try {
        WorkbookFile file;
        // Only a missing file is replaced by a new workbook: a file that exists but cannot be
        // opened (damaged, of another kind, unreadable) is never overwritten. A new one is
        // written once, complete, so that no empty workbook is ever left under the user's name.
        std::error_code ec;
        if (fs::status(pathFromUtf8(fileName), ec).type() == fs::file_type::not_found)
            file.startNew(fileName);
        else
            file.open(fileName);

        file.selectSheet(kWorkbookSheet);
        file.setCell(kHeaderRow, kColumnA, CellValue::text(kWorkbookTag));
        file.clearRange(kFirstNodeRow, kColumnB, kLastNodeRow, kColumnC);
        file.clearRange(kFirstLinkRow, kColumnB, kLastLinkRow, kColumnL);

        // Lengths, coordinates and the picture's edges are numbers shown with the network's
        // decimals, so that formulas over the blocks work and the sheet shows what a text file
        // holds. Lengths and coordinates are the numbers of the rounded text, as a spreadsheet
        // stores such a text typed into a cell.
        const int decimals = network.writtenPrecision();
        const std::string numberFormat = fixedNumberFormat(decimals);
        // Returns the number as the reader gets it back.
        const auto setDecimal = [&](int row, int column, double value) {
            double rounded = 0.0;
            if (!parseNumber(FormatFixed(value, decimals), rounded))
                rounded = value;
            file.setCell(row, column, CellValue::number(rounded + 0.0)); // no negative zero
            file.setNumberFormat(row, column, numberFormat);
            float back = static_cast<float>(value);
            parseNumber(formatGeneralNumber(rounded), back);
            return back;
        };
        // An automatic length is written as the distance between the nodes as the cells give
        // them, so that the workbook agrees with itself and reads back as it was written.
        std::vector<WorldPoint> written;
        written.reserve(network.nodes().size());
        for (const Node* node : network.nodes()) {
            const int row = node->id() + kFirstNodeRow - 1;
            const float x = setDecimal(row, kColumnB, node->x());
            written.push_back({x, setDecimal(row, kColumnC, node->y())});
        }
        const auto lengthOf = [&](const Link& link) {
            if (!link.hasAutomaticLength() || !network.containsNode(link.fromNode()) ||
                !network.containsNode(link.toNode()))
                return link.effectiveLength();
            const WorldPoint a = written[static_cast<std::size_t>(link.fromNode()->id() - 1)];
            const WorldPoint b = written[static_cast<std::size_t>(link.toNode()->id() - 1)];
            const double dx = static_cast<double>(a.x) - static_cast<double>(b.x);
            const double dy = static_cast<double>(a.y) - static_cast<double>(b.y);
            return static_cast<float>(std::sqrt(dx * dx + dy * dy));
        };

        for (const Link* link : network.links()) {
            const Node* from = link->fromNode();
            const Node* to = link->toNode();
            // The side is written as the pair's headings give it; the link keeps what it has.
            const std::int32_t side =
                from && to && network.hasLink(to, from) ? link->headingSide() : 0;
            const int row = link->id() + kFirstLinkRow - 1;
            file.setCell(row, kColumnB, integerCell(from ? from->id() : 0));
            file.setCell(row, kColumnC, integerCell(to ? to->id() : 0));
            file.setCell(row, kColumnD, integerCell(link->numLanes()));
            file.setCell(row, kColumnE, integerCell(link->capacity()));
            setDecimal(row, kColumnF, lengthOf(*link));
            file.setCell(row, kColumnG, integerCell(link->ffSpeed()));
            file.setCell(row, kColumnH, integerCell(link->jamDensity()));
            file.setCell(row, kColumnI, CellValue::text(std::string(1, link->directionCode())));
            file.setCell(row, kColumnJ, CellValue::text(link->typeCode()));
            file.setCell(row, kColumnK, integerCell(side));
            file.setCell(row, kColumnL, CellValue::text(link->description()));
        }

        const std::string bitmapPath = network.bitmapPath();
        if (!bitmapPath.empty()) {
            const WorldRect rect = network.bitmapRect();
            file.setCell(kHeaderRow, kColumnC, CellValue::text(bitmapPath));
            const float edges[] = {rect.left, rect.top, rect.right, rect.bottom};
            for (int k = 0; k < 4; ++k) {
                file.setCell(kHeaderRow, kColumnD + k, CellValue::single(edges[k]));
                file.setNumberFormat(kHeaderRow, kColumnD + k, numberFormat);
            }
        } else {
            for (int column = kColumnC; column <= kColumnG; ++column)
                file.setCell(kHeaderRow, column, CellValue::text({}));
        }

        const Georeference& georeference = network.georeference();
        file.setCustomProperty(kGeoreferenceProperty,
                               georeference.placed()
                                   ? std::optional<std::string>(formatGeoreference(georeference))
                                   : std::nullopt);
        file.save(readOnly);
        file.close();
        return true;
    } catch (const WorkbookError& e) {
        prompts.showMessage(std::string(kUnableToSaveMessage) + "\n" + e.what());
    } catch (const std::bad_alloc&) {
        prompts.showMessage(std::string(kUnableToSaveMessage) + "\n" + notEnoughMemory(fileName));
    } catch (const std::length_error&) {
        prompts.showMessage(std::string(kUnableToSaveMessage) + "\n" + notEnoughMemory(fileName));
    }
    return false;
}

} // namespace vantry
