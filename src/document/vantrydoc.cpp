#include "document/vantrydoc.h"

#include "base/files.h"
#include "bitmap/relativepath.h"
#include "document/networkfiles.h"
#include "document/picturefile.h"
#include "model/snapshot.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "streets/streetreader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <stdexcept>

namespace {

constexpr const char* kDefaultExtension = ".xls";

// The picture path to write into a file saved at savePath, for a network whose stored path is
// relative to the folder of base. Within one folder it stays exactly as it is.
std::string rebasedBitmapPath(const std::string& stored, const std::string& base,
                              const std::string& savePath) {
    const std::string from = StoredPath(base), to = StoredPath(savePath);
    if (stored.empty() || IsAbsolutePath(stored) ||
        (!from.empty() && SamePathText(StoredFolder(from), StoredFolder(to))))
        return stored;
    std::string picture = ResolvePath(from, stored);
    if (!IsAbsolutePath(picture))
        picture = StoredPath(absolutePath(NativePath(picture)));
    return MakeRelativePath(to, picture);
}

} // namespace

CVantryDoc::CVantryDoc(Prompter* prompter) : prompter_(prompter) {}

CVantryDoc::~CVantryDoc() {
    background_.reset();
    trimPictureCache();
}

void CVantryDoc::tell(const std::string& text) const {
    if (prompter_)
        prompter_->showMessage(text, Prompter::Icon::Exclamation);
}

void CVantryDoc::SetPathName(const std::string& path) {
    pathName_ = absolutePath(path);
    const auto slash = pathName_.find_last_of("/\\");
    title_ = slash == std::string::npos ? pathName_ : pathName_.substr(slash + 1);
}

bool CVantryDoc::OnNewDocument() {
    pathName_.clear();
    bitmapBase_.clear();
    modified_ = false;
    return true;
}

bool CVantryDoc::OnOpenDocument(const std::string& requested) {
    const std::string path = absolutePath(requested);
    network_.clear();
    modified_ = false;
    history_.clear();
    lastError_.clear();
    lastWarning_.clear();
    if (!readNetworkFile(path, network_, prompter_, lastError_, lastWarning_, &openDeclined_))
        return false;
    if (!lastWarning_.empty())
        tell(lastWarning_);
    // A picture stored relative to the network is looked for beside the file being opened,
    // wherever the program was started from.
    bitmapBase_ = path;
    if (showsPictures_ && !network_.bitmapPath().empty())
        loadBitmap(network_.bitmapPath(), network_.bitmapRect(), bitmapBase_);
    return true;
}

bool CVantryDoc::OnRecoverDocument(std::string_view snapshot, const std::string& path,
                                   const std::string& title) {
    lastError_.clear();
    lastWarning_.clear();
    std::string why;
    if (!decodeSnapshot(snapshot, network_, &why)) {
        lastError_ = "The unsaved changes to " + title + " cannot be recovered: " + why + ".";
        return false;
    }
    history_.clearUnsaved();
    if (path.empty()) {
        pathName_.clear();
        title_ = title;
    } else {
        SetPathName(path);
    }
    bitmapBase_ = pathName_;
    if (showsPictures_ && !network_.bitmapPath().empty())
        loadBitmap(network_.bitmapPath(), network_.bitmapRect(), bitmapBase_);
    modified_ = true;
    return true;
}

bool CVantryDoc::OnSaveDocument(const std::string& requested) {
    const std::string path = absolutePath(requested);
    lastError_.clear();
    network_.setPrecision(SingletonPtr<UserDefinedSettings>::instance().precision.value);
    network_.recomputeBounds();

    // The network keeps its path relative to the file it came from, so that Undo brings back
    // paths that still mean the same picture; only the written file gets the path anew.
    const std::string kept = network_.bitmapPath();
    const std::string written = rebasedBitmapPath(kept, bitmapBase_, path);
    network_.setBitmap(written, network_.bitmapRect());
    const bool ok = writeNetworkFile(path, network_, prompter_, lastError_);
    network_.setBitmap(kept, network_.bitmapRect());
    if (!ok)
        return false;
    modified_ = false;
    history_.markSaved();
    return true;
}

std::string CVantryDoc::proposedSaveName(bool replace) const {
    if (!pathName_.empty() || !replace)
        return pathName_;
    const auto cut = title_.find_first_of("#%;/\\");
    return title_.substr(0, cut) + kDefaultExtension;
}

bool CVantryDoc::DoSave(std::optional<std::string> name, bool replace) {
    if (!name) {
        if (!prompter_)
            return false;
        name = prompter_->chooseSavePath(proposedSaveName(replace), kNetworkFileFilter);
        if (!name)
            return false;
    }
    *name = absolutePath(*name);
    if (!OnSaveDocument(*name)) {
        if (prompter_)
            prompter_->showMessage(lastError_, Prompter::Icon::Stop);
        return false;
    }
    if (replace) {
        SetPathName(*name);
        // A new network names its pictures absolutely so far; from now on they are kept
        // relative to its file.
        if (bitmapBase_.empty())
            bitmapBase_ = pathName_;
    }
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

void CVantryDoc::UpdateAllViews(DocumentObserver* sender, const DocumentChange& change) {
    // A view may close itself while handling a change; work on a copy of the list.
    const std::vector<DocumentObserver*> views = views_;
    for (DocumentObserver* v : views)
        if (v != sender)
            v->OnUpdate(sender, change);
}

void CVantryDoc::addView(DocumentObserver* view) {
    if (std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CVantryDoc::removeView(DocumentObserver* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

namespace {

// The links attached to any of the given nodes, each once, with the given links.
std::vector<const Link*> linksAround(const std::vector<Node*>& nodes,
                                     const std::vector<Link*>& links) {
    std::vector<const Link*> found(links.begin(), links.end());
    // A link between two of the nodes comes twice; the area does not mind.
    for (const Node* n : nodes)
        found.insert(found.end(), n->links().begin(), n->links().end());
    return found;
}

// The rectangle holding the nodes and both ends of the links; false when there is none.
bool areaOf(const std::vector<Node*>& nodes, const std::vector<const Link*>& links,
            WorldRect& area) {
    bool any = false;
    const auto add = [&](WorldPoint p) {
        if (!any)
            area = WorldRect{p.y, p.y, p.x, p.x};
        area.extendTo(p);
        any = true;
    };
    for (const Node* n : nodes)
        add(n->position());
    for (const Link* l : links)
        if (l->fromNode() && l->toNode()) {
            add(l->fromNode()->position());
            add(l->toNode()->position());
        }
    return any;
}

} // namespace

bool CVantryDoc::edit(std::string name, const std::function<bool(Network&)>& change) {
    return runEdit(std::move(name), change, nullptr);
}

bool CVantryDoc::editObjects(std::string name, const std::vector<Node*>& nodes,
                             const std::vector<Link*>& links,
                             const std::function<bool(Network&)>& change) {
    const EditedObjects objects{nodes, links};
    return runEdit(std::move(name), change, &objects);
}

bool CVantryDoc::runEdit(std::string name, const std::function<bool(Network&)>& change,
                         const EditedObjects* objects) {
    // The links that follow the nodes are found once: the edit adds and removes nothing.
    std::vector<const Link*> around;
    WorldRect before;
    if (objects)
        around = linksAround(objects->nodes, objects->links);
    const bool knownArea = objects && areaOf(objects->nodes, around, before);
    const std::string pictureBefore = network_.bitmapPath();
    const WorldRect placeBefore = network_.bitmapRect();
    history_.take(network_, std::move(name));
    if (!change(network_)) {
        history_.cancel();
        return false;
    }
    std::string why;
    if (!network_.checkStorable(&why)) {
        std::string restoreWhy;
        if (history_.revert(network_, &restoreWhy)) {
            UpdateAllViews(nullptr, ChangeKind::NetworkReplaced);
            tell("The change was not made: " + why + ".");
            return false;
        }
        // The change stays rather than lose the network; saving refuses it with the reason.
        tell("The change leaves a number no network file can store (" + why +
             "), and the network before it could not be restored (" + restoreWhy +
             "). Undo the change before saving.");
    }
    SetModifiedFlag(true);
    const bool pictureChanged = followBackground(pictureBefore, placeBefore);
    WorldRect after;
    if (knownArea && areaOf(objects->nodes, around, after)) {
        before.unite(after);
        UpdateAllViews(nullptr, DocumentChange(ChangeKind::AreaChanged, before));
    } else {
        UpdateAllViews(nullptr, ChangeKind::Redraw);
    }
    if (pictureChanged)
        UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
    return true;
}

void CVantryDoc::takeSnapshot() {
    history_.take(network_);
}

void CVantryDoc::cancelSnapshot() {
    history_.cancel();
}

void CVantryDoc::step(bool undo) {
    std::string why;
    RestoreChanges changes;
    const std::string pictureBefore = network_.bitmapPath();
    const WorldRect placeBefore = network_.bitmapRect();
    if (!(undo ? history_.undo(network_, &why, &changes)
               : history_.redo(network_, &why, &changes))) {
        tell(std::string(undo ? "Cannot undo" : "Cannot redo") +
             ": the kept state of the network could not be restored (" + why +
             "). The network is as it was.");
        return;
    }
    modified_ = !history_.isAtSavedState();
    const bool pictureChanged = followBackground(pictureBefore, placeBefore);
    if (changes.reshaped) {
        UpdateAllViews(nullptr, ChangeKind::NetworkReplaced);
        if (pictureChanged)
            UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
        return;
    }
    // Where the moved nodes were, and where they, their links and the changed links are now.
    std::vector<Node*> moved;
    moved.reserve(changes.moved.size());
    std::optional<WorldRect> area;
    for (const auto& [node, was] : changes.moved) {
        moved.push_back(node);
        if (!area)
            area = WorldRect{was.y, was.y, was.x, was.x};
        area->extendTo(was);
    }
    WorldRect now;
    if (areaOf(moved, linksAround(moved, changes.links), now)) {
        if (area)
            area->unite(now);
        else
            area = now;
    }
    UpdateAllViews(nullptr, DocumentChange(ChangeKind::AreaRestored, area));
    if (pictureChanged)
        UpdateAllViews(nullptr, ChangeKind::BackgroundChanged);
}

bool CVantryDoc::followBackground(const std::string& path, WorldRect rect) {
    if (network_.bitmapPath() == path && network_.bitmapRect() == rect)
        return false;
    // What the user sees must be what a save writes: a picture that cannot be read now is told
    // and shown as missing, as it would be when the saved network is opened.
    std::shared_ptr<const BackgroundImage> picture;
    if (!network_.bitmapPath().empty())
        picture = readBackground(network_.bitmapPath(), bitmapBase_);
    showBackground(std::move(picture), network_.bitmapRect());
    return true;
}

void CVantryDoc::OnEditUndo() {
    if (canUndo())
        step(true);
}

void CVantryDoc::OnEditRedo() {
    if (canRedo())
        step(false);
}

std::optional<CommandState> CVantryDoc::query(int id) const {
    switch (id) {
    case ID_EDIT_UNDO:
        return CommandState{canUndo(), false, undoName()};
    case ID_EDIT_REDO:
        return CommandState{canRedo(), false, redoName()};
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

void CVantryDoc::OnLoadBitmap(const std::string& picture) {
    if (!prompter_)
        return;
    BitmapChoice initial;
    std::string current;
    if (!network_.bitmapPath().empty()) {
        const WorldRect r = network_.bitmapRect();
        // The dialog opens the picture to show it, so it gets the path the loader would use,
        // not one relative to whatever the current folder is.
        current = NativePath(ResolvePath(StoredPath(bitmapBase_), network_.bitmapPath()));
        initial.path = current;
        initial.worldWidth = r.right - r.left;
        initial.left = r.left;
        initial.bottom = r.bottom;
    }
    if (!picture.empty())
        initial.path = picture;
    const auto choice = prompter_->chooseBitmap(initial);
    if (!choice)
        return;
    if (!choice->path.empty()) {
        // Kept relative to the file the network came from, like a path read with it; a path
        // the user left as it was keeps its stored form.
        const std::string stored =
            !current.empty() && choice->path == current
                ? network_.bitmapPath()
                : MakeRelativePath(StoredPath(bitmapBase_), StoredPath(absolutePath(choice->path)));
        WorldRect rect;
        rect.left = choice->left;
        rect.bottom = choice->bottom;
        rect.right = choice->left + choice->worldWidth;
        // The rounded ratio places the top; when it rounds to nothing (fewer pixels than miles)
        // the picture's own proportions do, so that the rectangle keeps a height.
        if (choice->ratio > 0)
            rect.top = choice->bottom +
                       static_cast<float>(choice->height) / static_cast<float>(choice->ratio);
        else if (choice->width > 0)
            rect.top = choice->bottom + static_cast<float>(static_cast<double>(choice->height) *
                                                           choice->worldWidth / choice->width);
        else
            rect.top = choice->bottom;
        // Read before anything changes: a picture that cannot be shown leaves the network, the
        // picture shown and the history as they were. Holding it makes the edit's own reading
        // of the picture find it decoded.
        std::shared_ptr<const BackgroundImage> loaded = readBackground(stored, bitmapBase_);
        if (!loaded)
            return;
        placeBackground(stored, rect);
    } else {
        placeBackground(std::string(), WorldRect{});
    }
}

bool CVantryDoc::placeBackground(const std::string& stored, WorldRect rect) {
    // The same picture at the same place is no change and no undo step.
    return edit("Load Bitmap", [&](Network& net) {
        if (net.bitmapPath() == stored && net.bitmapRect() == rect)
            return false;
        net.setBitmap(stored, rect);
        net.recomputeBounds();
        return true;
    });
}

const BackgroundImage& CVantryDoc::background() const {
    static const BackgroundImage none;
    return background_ ? *background_ : none;
}

std::shared_ptr<const BackgroundImage>
CVantryDoc::readBackground(const std::string& storedPath, const std::string& documentPath) const {
    // The picture is named as this system writes its paths.
    const std::string native = NativePath(ResolvePath(StoredPath(documentPath), storedPath));
    std::string why;
    std::shared_ptr<const BackgroundImage> picture = loadPicture(native, why);
    if (!picture)
        tell(why);
    return picture;
}

void CVantryDoc::showBackground(std::shared_ptr<const BackgroundImage> picture, WorldRect rect) {
    background_ = std::move(picture);
    pixelsPerMile_ = 0;
    const float worldWidth = rect.right - rect.left;
    // Whole pixels per mile, cut toward zero; a rectangle without width draws nothing.
    if (background_ && worldWidth > 0.0f && std::isfinite(worldWidth))
        pixelsPerMile_ = static_cast<std::int32_t>(
            std::min(static_cast<double>(background_->width) / worldWidth, 2.0e9));
    // The picture shown before may now be held by the kept pictures alone.
    trimPictureCache();
}

bool CVantryDoc::loadBitmap(const std::string& storedPath, WorldRect rect,
                            const std::string& documentPath) {
    std::shared_ptr<const BackgroundImage> picture = readBackground(storedPath, documentPath);
    const bool loaded = picture != nullptr;
    showBackground(std::move(picture), rect);
    if (!loaded)
        return false;
    network_.setBitmap(storedPath, rect);
    network_.recomputeBounds();
    return true;
}

namespace {

// Reads a file pair into a copy of the data loaded so far, leaving the document's own alone, so
// that the reading can run beside the user interface while views keep drawing the old data.
// Nothing when the name does not end in "1"; problems tells which files could not be read.
std::optional<TigerData> readTigerData(const TigerData& current, const std::string& path,
                                       std::string& problems) {
    std::optional<TigerData> data;
    TigerLoadReport report;
    // Memory that runs out is a file that cannot be loaded, not the end of the program.
    try {
        data = current;
        if (!data->load(path, &problems, &report))
            return std::nullopt;
    } catch (const std::bad_alloc&) {
        problems = "Cannot load \"" + path + "\": there is not enough memory to read it.";
        return std::nullopt;
    }
    // Whatever could be read is kept; a file that could not be read is still worth knowing.
    for (const std::string* problem : {&report.type1Problem, &report.type2Problem})
        if (!problem->empty())
            problems += (problems.empty() ? "" : "\n") + *problem;
    return data;
}

// Reads a layer of street data into a copy of the data loaded so far, as readTigerData does.
// Nothing when the layer could not be read, was cancelled, or would not fit; why says which.
std::optional<TigerData> readStreetData(const TigerData& current, const std::string& path,
                                        const std::string& layer, const StreetReadOptions& options,
                                        const Prompter::TaskProgress& progress, std::string& why,
                                        std::string& warning) {
    // Memory that runs out is a file that cannot be loaded, as for record files.
    try {
        StreetRead read;
        if (!readStreetChains(path, layer, options, read, why, progress))
            return std::nullopt;
        if (read.broken > 0)
            warning = std::to_string(read.broken) + " of the " + std::to_string(read.features) +
                      " features of \"" + path +
                      "\" lie off the globe or cannot be placed on the map, and were left out.";
        TigerData data = current;
        std::string problem;
        if (!data.add(std::move(read.chains), &problem)) {
            why = "Cannot add the streets of \"" + path + "\": " + problem + ".";
            return std::nullopt;
        }
        return data;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    warning.clear();
    why = "Cannot load \"" + path + "\": there is not enough memory to read it.";
    return std::nullopt;
}

// Record files are named by their type, "TGR01001.RT1"; everything else is street data.
bool isRecordFileName(const std::string& path) {
    return !path.empty() && path.back() == '1';
}

// OpenStreetMap's own files give speeds in kilometres per hour unless a unit is written, so
// there is nothing to ask about them.
bool isOpenStreetMapName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string_view ending : {".osm", ".pbf", ".osm.bz2", ".osm.gz"})
        if (name.size() > ending.size() && name.ends_with(ending))
            return true;
    return false;
}

} // namespace

void CVantryDoc::OnLoadTigerData() {
    if (!prompter_ || busy_)
        return;
    const auto path = prompter_->chooseRoadDataFile();
    if (!path)
        return;
    if (!isRecordFileName(*path)) {
        loadStreetsAsked(*path);
        return;
    }
    std::optional<TigerData> loaded;
    std::string problems;
    busy_ = true;
    try {
        prompter_->runLongTask("Loading TIGER/Line data...",
                               [&] { loaded = readTigerData(tiger_, *path, problems); });
    } catch (...) {
        busy_ = false;
        throw;
    }
    busy_ = false;
    lastError_ = problems;
    if (!loaded) {
        prompter_->showMessage("Unable to Load Requested Tiger Data File", Prompter::Icon::Stop);
        return;
    }
    // Back on the interface's thread: the new data replaces the old between two paints.
    tiger_ = std::move(*loaded);
    if (!lastError_.empty())
        prompter_->showMessage(lastError_, Prompter::Icon::Exclamation);
    UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
}

bool CVantryDoc::loadTigerData(const std::string& path) {
    std::string problems;
    auto loaded = readTigerData(tiger_, path, problems);
    lastError_ = problems;
    if (!loaded)
        return false;
    tiger_ = std::move(*loaded);
    return true;
}

void CVantryDoc::loadStreetsAsked(const std::string& path) {
    std::vector<std::string> layers;
    std::string why, warning;
    const auto refuse = [&] {
        lastError_ = why;
        prompter_->showMessage("Unable to Load Requested Tiger Data File\n\n" + why,
                               Prompter::Icon::Stop);
    };
    if (!listStreetLayers(path, layers, why))
        return refuse();
    std::string layer = layers.front();
    if (layers.size() > 1) {
        const auto chosen = prompter_->chooseItem("Which layer of lines shall be loaded?", layers);
        if (!chosen)
            return;
        layer = *chosen;
    }
    StreetLoadChoice ask;
    ask.classes = roadClasses();
    ask.askSpeedUnit = !isOpenStreetMapName(path);
    const std::optional<StreetLoadChoice> choice = prompter_->chooseStreetLoad(ask);
    if (!choice)
        return;
    UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    settings.roadClasses.value = choice->classes.text();
    settings.commit();
    StreetReadOptions options;
    if (ask.askSpeedUnit)
        options.speedUnit = choice->speedUnit;
    options.railways = choice->classes.railways();
    std::optional<TigerData> loaded;
    bool cancelled = false;
    busy_ = true;
    try {
        prompter_->runProgressTask("Loading street data...", [&](const Prompter::TaskProgress& p) {
            const auto progress = [&](double fraction) {
                cancelled = !p(fraction);
                return !cancelled;
            };
            loaded = readStreetData(tiger_, path, layer, options, progress, why, warning);
        });
    } catch (...) {
        busy_ = false;
        throw;
    }
    busy_ = false;
    if (!loaded) {
        if (cancelled)
            return;
        return refuse();
    }
    lastError_.clear();
    tiger_ = std::move(*loaded);
    if (!warning.empty())
        prompter_->showMessage(warning, Prompter::Icon::Exclamation);
    UpdateAllViews(nullptr, ChangeKind::StreetsLoaded);
}

bool CVantryDoc::loadStreetData(const std::string& path, const std::string& layer,
                                const StreetReadOptions& options) {
    std::string why, warning;
    auto loaded = readStreetData(tiger_, path, layer, options, {}, why, warning);
    lastError_ = why;
    lastWarning_ = warning;
    if (!loaded)
        return false;
    tiger_ = std::move(*loaded);
    return true;
}

LinkDefaults CVantryDoc::linkDefaults() {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    return {s.defaultNumLanes.value, s.defaultCapacity.value, s.defaultFFSpeed.value,
            s.defaultJamDensity.value};
}

RoadClassChoice CVantryDoc::roadClasses() {
    const std::string& text = SingletonPtr<UserDefinedSettings>::instance().roadClasses.value;
    RoadClassChoice choice;
    std::string why;
    // A list that cannot be read, as only a hand-edited file holds, leaves the choice as it is.
    RoadClassChoice::parse(text, choice, why);
    return choice;
}

RoadClassDefaultsTable CVantryDoc::roadClassDefaults() {
    const std::string& text = SingletonPtr<UserDefinedSettings>::instance().roadClassDefaults.value;
    RoadClassDefaultsTable table;
    std::string why;
    // What could be read is worth more than a table put back entirely for one bad class.
    RoadClassDefaultsTable::parse(text, table, why);
    return table;
}

PopulateOptions CVantryDoc::populateOptions() {
    PopulateOptions options(linkDefaults(), roadClasses(), roadClassDefaults());
    options.precision = SingletonPtr<UserDefinedSettings>::instance().precision.value;
    return options;
}
