#pragma once

#include "document/roadsources.h"
#include "model/georeference.h"
#include "streets/streetrules.h"
#include "tiger/roadclasses.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

// What the Load Bitmap dialog settles: the picture file and where it lies in the world.
struct PictureChoice {
    std::string path;     // as typed or chosen; empty to remove the background
    float worldWidth = 0; // miles the picture's width spans
    float left = 0;       // world position of its bottom-left corner, miles
    float bottom = 0;
    std::int32_t ratio = 0;  // picture pixels per mile, as the dialog rounded it
    std::int32_t width = 0;  // picture width in pixels
    std::int32_t height = 0; // picture height in pixels
    // Where the network lies, so that a picture that says where it lies can be put there; the
    // dialog reads it and never changes it.
    Georeference georeference{};
};

// What the Street Data dialog settles before a file of street data is read: the road classes to
// populate, and the unit of speeds the data gives without one.
struct StreetLoadChoice {
    RoadClassChoice classes;
    SpeedUnit speedUnit = SpeedUnit::Guess;
    // False for files whose speeds always have a known unit: the dialog then does not ask.
    bool askSpeedUnit = true;
};

// The file filter of the Load Bitmap dialog's Browse, in the "text|patterns|...||" form: every
// kind of picture a background may be, then .bmp files alone, then every file.
inline constexpr const char* kPictureFileFilter =
    "Picture Files (*.bmp;*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.gif;*.webp)"
    "|*.bmp;*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.gif;*.webp"
    "|Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";

// Everything the program asks or tells the user goes through this interface, so that the
// document and the editing code can run without a window and be tested with scripted answers.
class Prompter {
public:
    enum class Icon { None, Information, Exclamation, Stop, Question };
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompter() = default;

    virtual void showMessage(const std::string& text, Icon icon) = 0;
    virtual bool askYesNo(const std::string& text, Icon icon) = 0;
    virtual Answer askYesNoCancel(const std::string& text, Icon icon) = 0;
    // Paths are UTF-8; no answer means the user cancelled.
    virtual std::optional<std::string> chooseOpenPath(const std::string& filter) = 0;
    virtual std::optional<std::string> chooseSavePath(const std::string& proposed,
                                                      const std::string& filter) = 0;
    // File > Export's dialog: a save dialog under its own title.
    virtual std::optional<std::string> chooseExportPath(const std::string& proposed,
                                                        const std::string& filter) {
        return chooseSavePath(proposed, filter);
    }
    // Colours are 0x00BBGGRR values.
    virtual std::optional<std::uint32_t> pickColour(std::uint32_t initial) = 0;
    // The Load Bitmap dialog's Browse: a picture file to open.
    virtual std::optional<std::string> choosePictureFile() {
        return chooseOpenPath(kPictureFileFilter);
    }
    // Load TIGER Data's file to read: road data of any kind the program reads.
    virtual std::optional<std::string> chooseRoadDataFile() {
        return chooseOpenPath(roadDataFileFilter());
    }
    // The Load Bitmap dialog, starting from the given values; no answer when cancelled.
    virtual std::optional<PictureChoice> choosePicture(const PictureChoice& initial) {
        (void)initial;
        return std::nullopt;
    }
    // The Street Data dialog, starting from the given values; no answer when cancelled. Without
    // a dialog to show, the values are taken as they are, so that nothing is asked of a run
    // without a user.
    virtual std::optional<StreetLoadChoice> chooseStreetLoad(const StreetLoadChoice& initial) {
        return initial;
    }
    // Network > Georeference: where the network lies, starting from its georeference; no answer
    // when cancelled. The answer is a georeference PROJ takes, or an unplaced one.
    virtual std::optional<Georeference> chooseGeoreference(const Georeference& initial) {
        (void)initial;
        return std::nullopt;
    }
    // Runs work that may take a while, showing that the program is busy and, when it lasts,
    // its progress. The work must not touch anything the user can see.
    virtual void runLongTask(const std::string& label, const std::function<void()>& task) {
        (void)label;
        task();
    }
    // Told how far work has come, from 0 to 1; answering false asks the work to stop.
    using TaskProgress = std::function<bool(double)>;
    // Like runLongTask, for work that reports its progress and that the user may cancel: the
    // progress the task is given answers false once the user has cancelled.
    virtual void runProgressTask(const std::string& label,
                                 const std::function<void(const TaskProgress&)>& task) {
        (void)label;
        task([](double) { return true; });
    }
    // Offers back the unsaved changes that runs which ended without saving left behind, one
    // line per document, all in one question. Answers, line by line, whether to recover (true)
    // or discard the changes; no answer when the user put the decision off, which keeps them
    // all for the next start. Without a user to ask, nothing is decided.
    virtual std::optional<std::vector<bool>>
    chooseRecoveries(const std::vector<std::string>& documents) {
        (void)documents;
        return std::nullopt;
    }
    // Asks which of the items to take; no answer when the user cancelled.
    virtual std::optional<std::string> chooseItem(const std::string& text,
                                                  const std::vector<std::string>& items) {
        (void)text;
        (void)items;
        return std::nullopt;
    }
};

// The caption of every message box.
inline constexpr const char* kMessageCaption = "Vantry";

} // namespace vantry
