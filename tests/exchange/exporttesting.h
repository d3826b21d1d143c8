#pragma once

// What the export tests share: a small network with every kind of attribute, and a reader of
// the CSV files GMNS is made of.

#include "model/network.h"

#include <memory>
#include <string>
#include <vector>

namespace vantry {

// Four nodes, five links: a fixed and an automatic length, every type and both directions, and
// descriptions that CSV must quote (a comma, a quote, a line break). Node 2 lies at (1.5, -2)
// miles, node 1 at 0,0.
inline std::unique_ptr<Network> exportTestNetwork(const Georeference& georeference = {}) {
    auto network = std::make_unique<Network>();
    for (const WorldPoint p : {WorldPoint{0.0, 0.0}, WorldPoint{1.5, -2.0}, WorldPoint{0.3, 0.7},
                               WorldPoint{-1.25, 0.125}})
        network->addNode(new Node(p));
    struct Row {
        int from, to;
        float length; // negative: automatic
        int lanes, capacity, speed, jam;
        LinkType type;
        LinkDirection direction;
        int side;
        const char* name;
    };
    const Row rows[] = {
        {1, 2, 0.1f, 3, 2000, 65, 190, LinkType::Mainline, LinkDirection::Outbound, 1,
         "Main St, north"},
        {2, 1, -1.0f, 2, 1800, 55, 180, LinkType::Workzone, LinkDirection::Inbound, 2,
         "the \"old\" road"},
        {2, 3, 1.23456789f, 1, 1500, 45, 170, LinkType::Detour1, LinkDirection::Outbound, 0,
         "first line\nsecond line"},
        {3, 4, -1.0f, 0, 0, 0, 0, LinkType::Detour2, LinkDirection::Inbound, 0, " padded "},
        {4, 1, 2.5f, 4, 2200, 70, 200, LinkType::Ramp, LinkDirection::Outbound, 0, ""},
        {1, 3, -1.0f, 1, 900, 25, 160, LinkType::None, LinkDirection::Inbound, 0, "Ünïcode Straße"},
    };
    for (const Row& r : rows) {
        auto* link = new Link;
        link->setFromNode(network->nodes()[static_cast<std::size_t>(r.from - 1)]);
        link->setToNode(network->nodes()[static_cast<std::size_t>(r.to - 1)]);
        link->setStoredLength(r.length);
        link->setNumLanes(r.lanes);
        link->setCapacity(r.capacity);
        link->setFFSpeed(r.speed);
        link->setJamDensity(r.jam);
        link->setType(r.type);
        link->setDirection(r.direction);
        link->setTwoWaySide(r.side);
        link->setDescription(r.name);
        network->addLink(link);
    }
    network->setGeoreference(georeference);
    return network;
}

// The rows of a CSV file as RFC 4180 reads them: quoted fields may hold commas, doubled quotes
// and line breaks. The first row is the header.
inline std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace vantry
