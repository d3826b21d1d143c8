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
#include "excel/biffrecords.h"
#include "excel/excelwrapper.h"
#include "model/network.h"

#include <charconv>
#include <filesystem>
#include <unordered_map>

namespace {

// Zero-based rows and columns of the layout.
constexpr int kHeaderRow = 0;
constexpr int kFirstLinkRow = 3;   // row 4
constexpr int kLastLinkRow = 202;  // row 203
constexpr int kFirstNodeRow = 212; // row 213
constexpr int kLastNodeRow = 311;  // row 312
constexpr int kColumnA = 0, kColumnB = 1, kColumnC = 2, kColumnD = 3, kColumnE = 4, kColumnF = 5,
              kColumnG = 6, kColumnH = 7, kColumnI = 8, kColumnJ = 9, kColumnK = 10, kColumnL = 11;

// Reads the cells of the layout, turning a value that cannot be converted into an error that
// names its cell.
class LayoutReader {
public:
    explicit LayoutReader(CExcelWrapper& excel) : excel_(excel) {}

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

private:
    template <class T, class F> T convert(int row, int column, F&& f) {
        const CellValue value = excel_.GetCell(row, column);
        try {
            return f(value);
        } catch (const WorkbookError& e) {
            cannotRead(row, column, e);
        }
    }

    [[noreturn]] static void cannotRead(int row, int column, const WorkbookError& e) {
        throw WorkbookError(e.code(), "Cell " + CellAddress(row, column) + " of sheet \"" +
                                          kWorkbookSheet + "\" cannot be read. " + e.what());
    }

    CExcelWrapper& excel_;
};

CellValue integerCell(std::int32_t v) {
    return CellValue::number(static_cast<double>(v));
}

bool readTag(CExcelWrapper& excel) {
    try {
        return excel.GetCell(kHeaderRow, kColumnA).toText() == kWorkbookTag;
    } catch (const WorkbookError& e) {
        if (e.code() == WorkbookError::Code::TypeMismatch)
            return false; // an error value is not the tag either
        throw;
    }
}

void discard(Network& network) {
    network.clear();
    network.setBitmap({}, {});
    network.recomputeBounds();
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
        CExcelWrapper excel;
        excel.OpenWorkbook(fileName);
        excel.SelectSheet(kWorkbookSheet);
        if (!readTag(excel) && !prompts.askYesNo(kNotTravonaQuestion))
            return false;

        LayoutReader read(excel);
        network.recomputeBounds();

        // Nodes, until the first row whose x or y is empty. Ids in the workbook are row numbers
        // within the block; the table maps them to the nodes made for them.
        std::unordered_map<std::int32_t, Node*> byId;
        std::int32_t nodeId = 0;
        for (int row = kFirstNodeRow; row <= biff::kLastRow; ++row) {
            const std::string x = read.text(row, kColumnB);
            const std::string y = read.text(row, kColumnC);
            if (x.empty() || y.empty())
                break;
            auto* node = new Node(
                WorldPoint{read.coordinate(row, kColumnB, x), read.coordinate(row, kColumnC, y)});
            network.addNode(node);
            byId[++nodeId] = node;
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
        for (int row = kFirstLinkRow; row <= biff::kLastRow; ++row) {
            const std::int32_t from = read.integer(row, kColumnB);
            const std::int32_t to = read.integer(row, kColumnC);
            if (from == 0 || to == 0)
                break;
            Node* fromNode = nodeFor(from);
            Node* toNode = nodeFor(to);
            auto* link = new Link();
            network.addLink(link);
            link->setFromNode(fromNode);
            link->setToNode(toNode);

            link->setNumLanes(read.integer(row, kColumnD));
            link->setCapacity(read.integer(row, kColumnE));
            link->setLength(read.single(row, kColumnF));
            link->setFFSpeed(read.integer(row, kColumnG));
            link->setJamDensity(read.integer(row, kColumnH));
            const std::string direction = read.text(row, kColumnI);
            link->setDirectionCode(direction.empty() ? ' ' : direction[0]);
            link->setTypeCode(read.text(row, kColumnJ));
            link->setTwoWaySide(read.integer(row, kColumnK));
            link->setDescription(read.text(row, kColumnL));
        }

        std::string bitmapPath = read.text(kHeaderRow, kColumnC);
        WorldRect rect;
        rect.left = read.single(kHeaderRow, kColumnD);
        rect.top = read.single(kHeaderRow, kColumnE);
        rect.right = read.single(kHeaderRow, kColumnF);
        rect.bottom = read.single(kHeaderRow, kColumnG);
        network.setBitmap(std::move(bitmapPath), rect);

        excel.CloseWorkbook();
        network.recomputeBounds();
        return true;
    } catch (const CExcelWrapper::ExcelNotCreatable&) {
        discard(network);
        prompts.showMessage(kUnableToLoadMessage);
    } catch (const WorkbookError& e) {
        discard(network);
        prompts.showMessage(std::string(kUnableToLoadMessage) + "\n" + e.what());
    }
    return false;
}

bool SaveToWorkbook(const Network& network, const std::string& fileName, WorkbookPrompts& prompts) {
    if (network.links().size() > kMaxWorkbookLinks || network.nodes().size() > kMaxWorkbookNodes) {
        prompts.showMessage(kTooLargeMessage);
        return false;
    }

    namespace fs = std::filesystem;
    const fs::path path = pathFromUtf8(fileName);
    bool created = false;
    try {
        CExcelWrapper excel;
        // Only a missing file is replaced by a new workbook: a file that exists but cannot be
        // opened (damaged, of another kind, unreadable) is never overwritten.
        std::error_code ec;
        if (fs::status(path, ec).type() == fs::file_type::not_found) {
            excel.CreateWorkbook(fileName);
            created = true;
        } else {
            excel.OpenWorkbook(fileName);
        }

        excel.SelectSheet(kWorkbookSheet);
        excel.SetCell(kHeaderRow, kColumnA, CellValue::text(kWorkbookTag));
        excel.ClearRange(kFirstNodeRow, kColumnB, kLastNodeRow, kColumnC);
        excel.ClearRange(kFirstLinkRow, kColumnB, kLastLinkRow, kColumnL);

        const int decimals = network.writtenPrecision();
        for (const Node* node : network.nodes()) {
            const int row = node->id() + kFirstNodeRow - 1;
            excel.SetCell(row, kColumnB, CellValue::text(FormatFixed(node->x(), decimals)));
            excel.SetCell(row, kColumnC, CellValue::text(FormatFixed(node->y(), decimals)));
        }

        for (Link* link : network.links()) {
            Node* from = link->fromNode();
            Node* to = link->toNode();
            if (from && to && network.hasLink(to, from))
                link->computeTwoWaySide();
            else
                link->setTwoWaySide(0);
            const int row = link->id() + kFirstLinkRow - 1;
            excel.SetCell(row, kColumnB, integerCell(from ? from->id() : 0));
            excel.SetCell(row, kColumnC, integerCell(to ? to->id() : 0));
            excel.SetCell(row, kColumnD, integerCell(link->numLanes()));
            excel.SetCell(row, kColumnE, integerCell(link->capacity()));
            excel.SetCell(row, kColumnF,
                          CellValue::text(FormatFixed(link->effectiveLength(), decimals)));
            excel.SetCell(row, kColumnG, integerCell(link->ffSpeed()));
            excel.SetCell(row, kColumnH, integerCell(link->jamDensity()));
            excel.SetCell(row, kColumnI, CellValue::text(std::string(1, link->directionCode())));
            excel.SetCell(row, kColumnJ, CellValue::text(link->typeCode()));
            excel.SetCell(row, kColumnK, integerCell(link->twoWaySide()));
            excel.SetCell(row, kColumnL, CellValue::text(link->description()));
        }

        const std::string bitmapPath = network.bitmapPath();
        if (!bitmapPath.empty()) {
            const WorldRect rect = network.bitmapRect();
            excel.SetCell(kHeaderRow, kColumnC, CellValue::text(bitmapPath));
            excel.SetCell(kHeaderRow, kColumnD, CellValue::single(rect.left));
            excel.SetCell(kHeaderRow, kColumnE, CellValue::single(rect.top));
            excel.SetCell(kHeaderRow, kColumnF, CellValue::single(rect.right));
            excel.SetCell(kHeaderRow, kColumnG, CellValue::single(rect.bottom));
        } else {
            for (int column = kColumnC; column <= kColumnG; ++column)
                excel.SetCell(kHeaderRow, column, CellValue::text({}));
        }

        excel.SaveWorkbook();
        excel.CloseWorkbook();
        return true;
    } catch (const CExcelWrapper::ExcelNotCreatable&) {
        prompts.showMessage(kUnableToSaveMessage);
    } catch (const WorkbookError& e) {
        prompts.showMessage(std::string(kUnableToSaveMessage) + "\n" + e.what());
    }
    // A workbook made for this save and left unfinished goes again, so that a failed save leaves
    // the disk as it was.
    if (created) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    return false;
}
