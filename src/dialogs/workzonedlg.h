#pragma once

#include "model/network.h"
#include "route/workzone.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace vantry {

class CIntegerEdit;

// Network > Work Zone: the lanes that stay open through a run of links (ordered head to tail)
// and the capacity of each open lane, and the detours around the run. The detours are found as
// the dialog opens, between the run's ends or further out along the mainline, and again when the
// user names other nodes to run between; each is listed with its length, free-flow time, the
// minutes it adds against the mainline and the links it shares with the first, and those checked
// become Detour 1 and Detour 2 in the order listed. Nothing is changed until the caller applies
// what was chosen.
class CWorkZoneDlg : public QDialog {
    Q_OBJECT
public:
    CWorkZoneDlg(const Network& network, std::vector<Link*> run, QWidget* parent = nullptr);
    ~CWorkZoneDlg() override;

    // Meaningful once accepted.
    const WorkZoneValues& values() const { return values_; }
    // The links (by id) of the detours checked, in the order listed.
    std::vector<std::vector<std::int32_t>> chosenDetours() const;

    // What the last search found and what it had to say.
    const std::vector<Detour>& detours() const { return search_.detours; }
    QString notes() const;
    // Why the last OK or search was refused; empty when it was not.
    QString problem() const;

    // Searches again between the nodes the fields name, or outward from the run's ends when both
    // are blank; false, saying why in the dialog, when the nodes cannot be used.
    bool searchDetours();

    void accept() override;

signals:
    // The detours listed or their checks changed: the links of those checked, in order.
    void chosenDetoursChanged(const std::vector<std::vector<std::int32_t>>& detours);

private:
    // The nodes the fields name: both 0 when both are blank; nothing, after refusing, when they
    // cannot be used.
    std::optional<std::pair<std::int32_t, std::int32_t>> chosenNodes();
    void refuse(const QString& why, QWidget* field);
    void clearProblem();
    void showDetours();

    const Network& network_;
    std::vector<Link*> run_;
    std::unique_ptr<RoutingGraph> graph_;
    DetourSearch search_;
    // The node fields' text the listed detours were found for.
    QString searchedFrom_;
    QString searchedTo_;
    // Set while the Enter key that made the last search goes on to the dialog.
    bool searchedOnEnter_ = false;
    WorkZoneValues values_;
    CIntegerEdit* openLanes_ = nullptr;
    CIntegerEdit* capacity_ = nullptr;
    CIntegerEdit* from_ = nullptr;
    CIntegerEdit* to_ = nullptr;
    QPushButton* find_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* notes_ = nullptr;
    QLabel* problem_ = nullptr;
};

} // namespace vantry
