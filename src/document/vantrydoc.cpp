#include "document/vantrydoc.h"

#include "base/files.h"
#include "bitmap/bitmapdecode.h"
#include "bitmap/relativepath.h"
#include "excel/workbooklayout.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

constexpr const char* kTextExtension = ".txt";
constexpr const char* kWorkbookExtension = ".xls";

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string lowerCase(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The workbook code asks its question through the user's prompter and hands its messages back
// to the document, which reports them once, with the file's name, as every failed open or save.
class WorkbookPromptsAdapter : public WorkbookPrompts {
public:
    explicit WorkbookPromptsAdapter(Prompter* prompter) : prompter_(prompter) {}
    bool askYesNo(const std::string& question) override {
        return prompter_ && prompter_->askYesNo(question, Prompter::Icon::Question);
    }
    void showMessage(const std::string& message) override {
        if (!messages_.empty())
            messages_ += '\n';
        messages_ += message;
    }
    const std::string& messages() const { return messages_; }

private:
    Prompter* prompter_;
    std::string messages_;
};

// A failure message that is sure to name the file it is about.
std::string withFileName(const std::string& message, const char* verb, const std::string& path) {
    if (message.empty())
        return std::string(verb) + " " + quoted(path) + ".";
    if (message.find(path) != std::string::npos)
        return message;
    return message + "\n" + verb + " " + quoted(path) + ".";
}

std::string unsupportedExtension(const std::string& path) {
    std::string text = "only network files ending in \".txt\" (text) or \".xls\" (workbook) "
                       "are supported";
    const std::string lower = lowerCase(CVantryDoc::extensionOf(path));
    if (lower == kTextExtension || lower == kWorkbookExtension)
        text += "; the extension must be written in lower case";
    return text;
}

} // namespace

CVantryDoc::CVantryDoc(Prompter* prompter) : prompter_(prompter) {}

std::string CVantryDoc::extensionOf(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

void CVantryDoc::SetPathName(const std::string& path) {
    pathName_ = path;
    const auto slash = path.find_last_of("/\\");
    title_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CVantryDoc::OnNewDocument() {
    pathName_.clear();
    modified_ = false;
    return true;
}

bool CVantryDoc::OnOpenDocument(const std::string& path) {
    network_.clear();
    modified_ = false;
    undoStack_.clear();
    redoStack_.clear();
    redoBackup_.clear();
    savedDepth_ = 0;
    lastError_.clear();

    const std::string ext = extensionOf(path);
    std::string why;
    bool ok = false;
    if (ext == kWorkbookExtension) {
        WorkbookPromptsAdapter prompts(prompter_);
        ok = LoadFromWorkbook(network_, path, prompts);
        if (!ok) {
            network_.clear();
            lastError_ = withFileName(prompts.messages(), "Cannot open", path);
            return false;
        }
    } else if (ext == kTextExtension) {
        std::string text;
        if (readWholeFile(path, text, why)) {
            ok = network_.readText(text, &why);
            if (!ok)
                network_.clear();
        }
    } else {
        why = unsupportedExtension(path);
    }
    if (!ok) {
        lastError_ = "Cannot open " + quoted(path) + ": " + why + ".";
        return false;
    }
    // A picture stored relative to the network is looked for beside the file being opened,
    // wherever the program was started from.
    if (!network_.bitmapPath().empty())
        loadBitmap(network_.bitmapPath(), network_.bitmapRect(), path);
    return true;
}

bool CVantryDoc::OnSaveDocument(const std::string& path) {
    lastError_.clear();
    network_.setPrecision(SingletonPtr<UserDefinedSettings>::instance().precision.value);
    network_.recomputeBounds();

    const std::string ext = extensionOf(path);
    std::string why;
    bool ok = false;
    if (ext == kWorkbookExtension) {
        WorkbookPromptsAdapter prompts(prompter_);
        if (!SaveToWorkbook(network_, path, prompts)) {
            lastError_ = withFileName(prompts.messages(), "Cannot save", path);
            return false;
        }
        ok = true;
    } else if (ext == kTextExtension)
        ok = writeFileSafely(path, network_.toText(), why);
    else
        why = unsupportedExtension(path);

    if (!ok) {
        lastError_ = "Cannot save " + quoted(path) + ": " + why + ".";
        return false;
    }
    modified_ = false;
    savedDepth_ = static_cast<long>(undoStack_.size());
    return true;
}

std::string CVantryDoc::proposedSaveName(bool replace) const {
    if (!pathName_.empty() || !replace)
        return pathName_;
    const auto cut = title_.find_first_of("#%;/\\");
    return title_.substr(0, cut) + kWorkbookExtension;
}

bool CVantryDoc::DoSave(std::optional<std::string> name, bool replace) {
    if (!name) {
        if (!prompter_)
            return false;
        name = prompter_->chooseSavePath(proposedSaveName(replace), kNetworkFileFilter);
        if (!name)
            return false;
    }
    if (!OnSaveDocument(*name)) {
        if (prompter_)
            prompter_->showMessage(lastError_, Prompter::Icon::Exclamation);
        return false;
    }
    if (replace)
        SetPathName(*name);
    return true;
}

bool CVantryDoc::OnFileSave() {
    if (pathName_.empty() || !isWritableFile(pathName_))
        return DoSave(std::nullopt, true);
    return DoSave(pathName_, true);
}

bool CVantryDoc::SaveModified() {
    if (!IsModified())
        return true;
    if (!prompter_)
        return false;
    const std::string name = pathName_.empty() ? title_ : pathName_;
    switch (
        prompter_->askYesNoCancel("Save changes to " + name + "?", Prompter::Icon::Exclamation)) {
    case Prompter::Answer::Yes:
        return OnFileSave();
    case Prompter::Answer::No:
        return true;
    default:
        return false;
    }
}

void CVantryDoc::UpdateAllViews(DocumentObserver* sender, long hint) {
    // A view may close itself while handling a hint; work on a copy of the list.
    const std::vector<DocumentObserver*> views = views_;
    for (DocumentObserver* v : views)
        if (v != sender)
            v->OnUpdate(sender, hint);
}

void CVantryDoc::addView(DocumentObserver* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CVantryDoc::removeView(DocumentObserver* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

bool CVantryDoc::edit(const std::function<bool(Network&)>& change) {
    takeSnapshot();
    const bool changed = change(network_);
    if (changed) {
        SetModifiedFlag(true);
        UpdateAllViews(nullptr, HintRedraw);
    } else {
        cancelSnapshot();
    }
    return changed;
}

void CVantryDoc::takeSnapshot() {
    savedDepthBackup_ = savedDepth_;
    // An edit made below the saved state throws away the redo steps that led back to it.
    if (savedDepth_ > static_cast<long>(undoStack_.size()))
        savedDepth_ = -1;
    undoStack_.push_back(network_.toText());
    redoBackup_ = std::move(redoStack_);
    redoStack_.clear();
}

void CVantryDoc::cancelSnapshot() {
    if (undoStack_.empty())
        return;
    undoStack_.pop_back();
    redoStack_ = std::move(redoBackup_);
    redoBackup_.clear();
    savedDepth_ = savedDepthBackup_;
}

void CVantryDoc::restoreFrom(std::deque<std::string>& from, std::deque<std::string>& to) {
    to.push_back(network_.toText());
    network_.clear();
    // Snapshots are written by this program, so they always read back.
    network_.readText(from.back());
    from.pop_back();
    updateModifiedFromDepth();
    UpdateAllViews(nullptr, HintNetworkReplaced);
}

void CVantryDoc::OnEditUndo() {
    if (canUndo())
        restoreFrom(undoStack_, redoStack_);
}

void CVantryDoc::OnEditRedo() {
    if (canRedo())
        restoreFrom(redoStack_, undoStack_);
}

void CVantryDoc::updateModifiedFromDepth() {
    modified_ = static_cast<long>(undoStack_.size()) != savedDepth_;
}

std::optional<CommandState> CVantryDoc::query(int id) const {
    switch (id) {
    case ID_EDIT_UNDO:
        return CommandState{canUndo(), false};
    case ID_EDIT_REDO:
        return CommandState{canRedo(), false};
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_LOAD_BITMAP:
    case ID_LOAD_TIGER_DATA:
        return CommandState{true, false};
    default:
        return std::nullopt;
    }
}

bool CVantryDoc::execute(int id) {
    const auto state = query(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
    if (id == ID_EDIT_UNDO)
        OnEditUndo();
    else if (id == ID_EDIT_REDO)
        OnEditRedo();
    else if (id == ID_FILE_SAVE)
        OnFileSave();
    else if (id == ID_FILE_SAVE_AS)
        OnFileSaveAs();
    else if (id == ID_LOAD_TIGER_DATA)
        OnLoadTigerData();
    else if (id == ID_LOAD_BITMAP)
        OnLoadBitmap();
    return true;
}

void CVantryDoc::OnLoadBitmap() {
    if (!prompter_)
        return;
    BitmapChoice initial;
    if (!network_.bitmapPath().empty()) {
        const WorldRect r = network_.bitmapRect();
        initial.path = NativePath(network_.bitmapPath());
        initial.worldWidth = r.right - r.left;
        initial.left = r.left;
        initial.bottom = r.bottom;
    }
    const auto choice = prompter_->chooseBitmap(initial);
    if (!choice)
        return;
    takeSnapshot();
    if (!choice->path.empty()) {
        const std::string stored =
            MakeRelativePath(StoredPath(pathName_), StoredPath(choice->path));
        WorldRect rect;
        rect.left = choice->left;
        rect.bottom = choice->bottom;
        rect.right = choice->left + choice->worldWidth;
        rect.top = choice->ratio > 0 ? choice->bottom + static_cast<float>(choice->height) /
                                                            static_cast<float>(choice->ratio)
                                     : choice->bottom;
        loadBitmap(stored, rect, pathName_);
    } else {
        background_ = BackgroundImage{};
        pixelsPerMile_ = 0;
        network_.setBitmap(std::string(), WorldRect{});
        network_.recomputeBounds();
    }
    SetModifiedFlag(true);
    UpdateAllViews(nullptr, HintBitmapChanged);
}

bool CVantryDoc::loadBitmap(const std::string& storedPath, WorldRect rect,
                            const std::string& documentPath) {
    const std::string resolved = ResolvePath(StoredPath(documentPath), storedPath);
    const std::string native = NativePath(resolved);
    auto tell = [this](const std::string& text) {
        if (prompter_)
            prompter_->showMessage(text, Prompter::Icon::Exclamation);
    };
    std::string contents, why;
    std::ifstream file(pathFromUtf8(native), std::ios::binary);
    if (!file) {
        std::error_code ec;
        const bool missing = !std::filesystem::exists(pathFromUtf8(native), ec);
        tell("Cannot read \"" + resolved + "\".\n" + (missing ? "File Not Found.\n" : ""));
        return false;
    }
    background_ = BackgroundImage{};
    pixelsPerMile_ = 0;
    PackedBitmap packed = ReadBitmapFile(file, resolved, &why);
    if (packed.isNull()) {
        tell(why);
        return false;
    }
    BackgroundImage image;
    if (!DecodeBitmap(packed, image.pixels, &why)) {
        tell(why);
        return false;
    }
    image.width = BitmapWidth(packed);
    image.height = BitmapHeight(packed);
    image.packed = std::move(packed);
    background_ = std::move(image);
    const float worldWidth = rect.right - rect.left;
    // Whole pixels per mile, cut toward zero; a rectangle without width draws nothing.
    if (worldWidth > 0.0f && std::isfinite(worldWidth))
        pixelsPerMile_ = static_cast<std::int32_t>(
            std::min(static_cast<double>(background_.width) / worldWidth, 2.0e9));
    network_.setBitmap(storedPath, rect);
    network_.recomputeBounds();
    return true;
}

void CVantryDoc::OnLoadTigerData() {
    if (!prompter_)
        return;
    const auto path = prompter_->chooseOpenPath("Tiger Files (*.??1)|*.??1|All Files (*.*)|*.*||");
    if (!path)
        return;
    bool loaded = false;
    prompter_->runLongTask("Loading TIGER/Line data...", [&] { loaded = loadTigerData(*path); });
    if (!loaded)
        prompter_->showMessage("Unable to Load Requested Tiger Data File", Prompter::Icon::Stop);
    else if (!lastError_.empty())
        prompter_->showMessage(lastError_, Prompter::Icon::Exclamation);
    if (loaded)
        UpdateAllViews(nullptr, HintTigerLoaded);
}

bool CVantryDoc::loadTigerData(const std::string& path) {
    lastError_.clear();
    std::string why;
    TigerLoadReport report;
    if (!tiger_.load(path, &why, &report)) {
        lastError_ = why;
        return false;
    }
    // Whatever could be read is kept; a file that could not be read is still worth knowing.
    for (const std::string* problem : {&report.type1Problem, &report.type2Problem})
        if (!problem->empty())
            lastError_ += (lastError_.empty() ? "" : "\n") + *problem;
    return true;
}

LinkDefaults CVantryDoc::linkDefaults() {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    return {s.defaultNumLanes.value, s.defaultCapacity.value, s.defaultFFSpeed.value,
            s.defaultJamDensity.value};
}
