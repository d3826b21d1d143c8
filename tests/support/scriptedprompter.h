#pragma once

#include "document/prompter.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

// A prompter for tests: answers come from queues filled by the test, and every question and
// message is recorded. An unexpected question fails loudly through `unexpected`.
class ScriptedPrompter : public Prompter {
public:
    struct Record {
        std::string kind;
        std::string text;
        Icon icon = Icon::None;
    };

    std::deque<bool> yesNo;
    std::deque<Answer> yesNoCancel;
    std::deque<std::optional<std::string>> paths;
    std::deque<std::optional<std::uint32_t>> colours;
    std::deque<std::optional<PictureChoice>> bitmaps;
    std::deque<std::optional<std::string>> items;
    std::deque<std::optional<StreetLoadChoice>> streetLoads;
    std::deque<std::optional<std::vector<bool>>> recoveries;
    std::deque<std::optional<Georeference>> georeferences;
    // The progress a task reports answers false from this fraction on, as if the user cancelled.
    double cancelAt = 2.0;
    std::vector<Record> asked;
    int unexpected = 0;

    void showMessage(const std::string& text, Icon icon) override {
        asked.push_back({"message", text, icon});
    }
    bool askYesNo(const std::string& text, Icon icon) override {
        asked.push_back({"yesno", text, icon});
        return take(yesNo, false);
    }
    Answer askYesNoCancel(const std::string& text, Icon icon) override {
        asked.push_back({"yesnocancel", text, icon});
        return take(yesNoCancel, Answer::Cancel);
    }
    std::optional<std::string> chooseOpenPath(const std::string& filter) override {
        asked.push_back({"open", filter});
        return take(paths, std::optional<std::string>());
    }
    std::optional<std::string> chooseSavePath(const std::string& proposed,
                                              const std::string& filter) override {
        asked.push_back({"save", proposed + "|" + filter});
        return take(paths, std::optional<std::string>());
    }
    std::optional<std::uint32_t> pickColour(std::uint32_t initial) override {
        asked.push_back({"colour", std::to_string(initial)});
        return take(colours, std::optional<std::uint32_t>());
    }

    std::optional<PictureChoice> choosePicture(const PictureChoice& initial) override {
        asked.push_back({"bitmap", initial.path});
        return take(bitmaps, std::optional<PictureChoice>());
    }

    // Recorded as the classes offered, with "|unit" when the speed unit is asked too.
    std::optional<StreetLoadChoice> chooseStreetLoad(const StreetLoadChoice& initial) override {
        asked.push_back(
            {"streets", initial.classes.text() + (initial.askSpeedUnit ? "|unit" : "")});
        return take(streetLoads, std::optional<StreetLoadChoice>());
    }

    // Recorded as the georeference offered, as the text format writes it.
    std::optional<Georeference> chooseGeoreference(const Georeference& initial) override {
        asked.push_back({"georeference", formatGeoreference(initial)});
        return take(georeferences, std::optional<Georeference>());
    }

    std::optional<std::string> chooseItem(const std::string& text,
                                          const std::vector<std::string>& choices) override {
        std::string listed = text;
        for (const std::string& c : choices)
            listed += "|" + c;
        asked.push_back({"item", listed});
        return take(items, std::optional<std::string>());
    }
    // Recorded as the documents offered, one per line.
    std::optional<std::vector<bool>>
    chooseRecoveries(const std::vector<std::string>& documents) override {
        std::string listed;
        for (const std::string& d : documents)
            listed += d + "\n";
        asked.push_back({"recover", listed});
        return take(recoveries, std::optional<std::vector<bool>>());
    }
    void runProgressTask(const std::string& label,
                         const std::function<void(const TaskProgress&)>& task) override {
        asked.push_back({"progress", label});
        task([this](double fraction) { return fraction < cancelAt; });
    }

private:
    template <class T> T take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            ++unexpected;
            return fallback;
        }
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

} // namespace vantry
