#pragma once

class QByteArray;
class QFont;
class QString;

namespace vantry {

// The family of the font numbers are drawn in: Liberation Sans as compiled into the program,
// registered with the font database on first use under the name "Vantry Label Sans", so that a
// machine's own fonts never change what is drawn.
QString labelFontFamily();

// A TrueType font's data with `family` as its family, full and PostScript name (without
// spaces), everything else as it was. Data that cannot be read as such a font comes back as it
// is.
QByteArray renameFontFamily(const QByteArray& font, const QString& family);

// The font numbers are drawn in at the given device pixels per logical unit: the compiled-in
// family, unsmoothed, unhinted and unkerned, so that every glyph has the same pixels wherever it
// is drawn and whatever the machine's font settings say.
QFont labelFont(double pixelsPerLogical);

} // namespace vantry
