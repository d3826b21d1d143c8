#pragma once

#include "model/network.h"

#include <QDialog>
#include <QString>

#include <cstddef>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vantry {

// What Network > Route... asks for: the node numbers the route starts and ends at, the link
// types it may not use, and whether it may not use the selected links.
struct RouteChoice {
    int from = 0;
    int to = 0;
    std::vector<LinkType> avoidTypes;
    bool avoidSelected = false;
    bool operator==(const RouteChoice&) const = default;
};

// The link types a route can be told to avoid, in the order the dialog lists them, and their
// names there.
const std::vector<LinkType>& avoidableLinkTypes();
QString avoidableTypeName(LinkType type);

// Why `text` cannot name the node a route starts (`end` "start") or ends ("end") at: empty
// when it names one of the network's nodes.
QString routeNodeProblem(const Network& network, const QString& text, const QString& end);

// Network > Route...: two node numbers and what to avoid. A number that is not one of the
// network's nodes, or the same node twice, keeps the dialog open and says why.
class CRouteDlg : public QDialog {
    Q_OBJECT
public:
    // `selectedLinks` is how many links the map has selected: none leaves "Avoid the selected
    // links" unavailable.
    CRouteDlg(const Network& network, const RouteChoice& initial, std::size_t selectedLinks,
              QWidget* parent = nullptr);

    // Meaningful once the dialog was accepted.
    const RouteChoice& choice() const { return choice_; }
    // Why the last OK was refused; empty when it was not.
    QString problem() const;

    void accept() override;

private:
    void refuse(const QString& why, QLineEdit* field);

    const Network& network_;
    RouteChoice choice_;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    std::vector<QCheckBox*> types_;
    QCheckBox* selected_ = nullptr;
    QLabel* problem_ = nullptr;
};

} // namespace vantry
