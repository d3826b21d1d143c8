#include "view/droppedfiles.h"

#include "document/networkfiles.h"

#include <QFileInfo>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace vantry {

std::vector<std::string> droppedNetworkFiles(const QMimeData& data) {
    std::vector<std::string> files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        const std::string path = url.toLocalFile().toStdString();
        if (networkFormatOf(path) != NetworkFormat::Unknown)
            files.push_back(path);
    }
    return files;
}

std::optional<std::string> droppedPicture(const QMimeData& data) {
    static const QStringList kPictureSuffixes = {QStringLiteral("bmp"), QStringLiteral("png"),
                                                 QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                                 QStringLiteral("tif"), QStringLiteral("tiff"),
                                                 QStringLiteral("gif"), QStringLiteral("webp")};
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (!kPictureSuffixes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive))
        return std::nullopt;
    return path.toStdString();
}

} // namespace vantry
