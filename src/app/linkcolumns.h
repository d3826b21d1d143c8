#pragma once

#include "model/network.h"

#include <QString>

#include <cstdint>
#include <string>

namespace vantry {

// The link table's columns: their titles and the names a pasted header may give them, the text
// each shows of a link, and how a typed value is read (as the Link Properties dialog reads it)
// and written to the link.
class LinkColumns {
public:
    enum Column {
        Number,
        From,
        To,
        Lanes,
        Capacity,
        Length,
        FFSpeed,
        JamDensity,
        Direction,
        Type,
        Description,
        ColumnCount
    };

    // One typed or pasted value for one column of a link.
    struct Value {
        int column = -1;
        // Leave the attribute as it is: the text was blank, or is what the cell shows already.
        bool keep = true;
        std::int32_t integer = 0;
        float length = 0.0f;
        LinkDirection direction = LinkDirection::Inbound;
        LinkType type = LinkType::None;
        std::string description;
    };

    static QString title(int column);
    // Number, from and to are the link's place in the network, which the table does not change.
    static bool isEditable(int column);
    // The column a pasted header cell names: its title, the dialog's name for the attribute, or
    // one of the short names people give these columns in their own sheets; -1 for none.
    static int named(const QString& name);

    // The cell's text as shown, copied and compared on edits.
    static QString text(const Link& link, int column);
    // Reads the text typed into the link's cell. Blank text leaves numbers, length, direction
    // and type as they are (as the dialog does for several links), and "auto" makes a length
    // automatic. False, with the dialog's message, when the text is not a valid value.
    static bool read(const Link& link, int column, const QString& text, Value& value, QString* why);
    // Writes the value to the link; true when that changed the link.
    static bool write(Link& link, const Value& value);
};

} // namespace vantry
