#include "view/labelfont.h"

#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

// Resources of a static library are registered only when asked for by name, which cannot be
// done inside a namespace.
static void registerRenderResources() {
    Q_INIT_RESOURCE(fonts);
}

namespace vantry {

namespace {

// 8.5 points in hundredths of an inch.
constexpr double kLabelFontHeight = 8.5 * 100.0 / 72.0;

quint32 tableChecksum(const char* data, qsizetype length) {
    quint32 sum = 0;
    for (qsizetype i = 0; i < length; i += 4) {
        char word[4] = {};
        std::memcpy(word, data + i, static_cast<std::size_t>(std::min<qsizetype>(4, length - i)));
        sum += qFromBigEndian<quint32>(word);
    }
    return sum;
}

// The names that make up a family: family, unique, full, PostScript, typographic family and
// WWS family.
bool namesFamily(quint16 nameId) {
    return nameId == 1 || nameId == 3 || nameId == 4 || nameId == 6 || nameId == 16 || nameId == 21;
}

} // namespace

QByteArray renameFontFamily(const QByteArray& font, const QString& family) {
    const auto u16 = [&font](qsizetype at) { return qFromBigEndian<quint16>(font.data() + at); };
    const auto u32 = [&font](qsizetype at) { return qFromBigEndian<quint32>(font.data() + at); };
    if (font.size() < 12)
        return font;
    const int tables = u16(4);
    const qsizetype directory = 12 + 16 * qsizetype{tables};
    if (font.size() < directory)
        return font;
    const auto tableAt = [&](const char* tag) -> qsizetype {
        for (int i = 0; i < tables; ++i)
            if (std::memcmp(font.data() + 12 + 16 * i, tag, 4) == 0)
                return 12 + 16 * i;
        return -1;
    };
    const qsizetype nameRecord = tableAt("name");
    if (nameRecord < 0)
        return font;
    const qsizetype nameAt = u32(nameRecord + 8), nameLength = u32(nameRecord + 12);
    if (nameLength < 6 || nameAt > font.size() - nameLength || u16(nameAt) != 0)
        return font;
    const int count = u16(nameAt + 2);
    const qsizetype strings = nameAt + u16(nameAt + 4);
    if (6 + 12 * qsizetype{count} > nameLength)
        return font;

    // A new name table: every record kept, those of the family given the new name.
    QByteArray records, text;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = nameAt + 6 + 12 * i;
        const quint16 platform = u16(at), nameId = u16(at + 6);
        QByteArray value;
        if (namesFamily(nameId)) {
            const QString name = nameId == 6 ? QString(family).remove(QLatin1Char(' ')) : family;
            if (platform == 1) {
                value = name.toLatin1();
            } else {
                for (QChar c : name) {
                    value.append(static_cast<char>(c.unicode() >> 8));
                    value.append(static_cast<char>(c.unicode() & 0xFF));
                }
            }
        } else {
            const qsizetype from = strings + u16(at + 10), length = u16(at + 8);
            if (from + length > nameAt + nameLength)
                return font;
            value = font.mid(from, length);
        }
        char record[12];
        std::memcpy(record, font.data() + at, 8);
        qToBigEndian<quint16>(static_cast<quint16>(value.size()), record + 8);
        qToBigEndian<quint16>(static_cast<quint16>(text.size()), record + 10);
        records.append(record, 12);
        text.append(value);
    }
    if (text.size() > 0xFFFF || 6 + records.size() > 0xFFFF)
        return font;
    char header[6];
    qToBigEndian<quint16>(0, header);
    qToBigEndian<quint16>(static_cast<quint16>(count), header + 2);
    qToBigEndian<quint16>(static_cast<quint16>(6 + records.size()), header + 4);
    const QByteArray name = QByteArray(header, 6) + records + text;

    // The tables again in their order, each on a four-byte boundary, the directory following.
    QByteArray out = font.left(directory);
    qsizetype head = -1;
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = 12 + 16 * i;
        QByteArray data;
        if (record == nameRecord) {
            data = name;
        } else {
            const qsizetype at = u32(record + 8), length = u32(record + 12);
            if (at > font.size() || length > font.size() - at)
                return font;
            data = font.mid(at, length);
        }
        const bool isHead = std::memcmp(font.data() + record, "head", 4) == 0;
        if (isHead) {
            if (data.size() < 12)
                return font;
            // The whole font's checksum is worked out below, with this left out.
            qToBigEndian<quint32>(0, data.data() + 8);
            head = out.size();
        }
        qToBigEndian<quint32>(tableChecksum(data.constData(), data.size()),
                              out.data() + record + 4);
        qToBigEndian<quint32>(static_cast<quint32>(out.size()), out.data() + record + 8);
        qToBigEndian<quint32>(static_cast<quint32>(data.size()), out.data() + record + 12);
        out.append(data);
        out.append((4 - data.size() % 4) % 4, '\0');
    }
    if (head >= 0)
        qToBigEndian<quint32>(0xB1B0AFBAu - tableChecksum(out.constData(), out.size()),
                              out.data() + head + 8);
    return out;
}

QString labelFontFamily() {
    // Bands of a frame are drawn on several threads; the first to get here registers the font.
    // It is registered under a name of its own: under its own name the font database could
    // take a Liberation Sans the machine has, of another version, in its place.
    static const QString family = [] {
        registerRenderResources();
        QFile file(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
        const QByteArray font = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const int id = QFontDatabase::addApplicationFontFromData(
            renameFontFamily(font, QStringLiteral("Vantry Label Sans")));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Liberation Sans") : families.first();
    }();
    return family;
}

QFont labelFont(double pixelsPerLogical) {
    QFont font(labelFontFamily());
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(kLabelFontHeight * pixelsPerLogical))));
    // Numbers are drawn in exact colours so that they read the same on every background.
    font.setStyleStrategy(QFont::NoAntialias);
    // Hinting would follow the machine's font configuration; stamped numbers are laid out one
    // glyph at a time, which kerning would contradict.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

} // namespace vantry
