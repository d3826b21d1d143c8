// A drag source as other Qt programs make one, for the end-to-end tests: a window that, when the
// left button is pressed in it and the pointer moves, drags the files named on its command line,
// offering to copy or move them and proposing a move. It prints what the target answered
// ("copy", "move", "link" or "ignore") and ends a little later.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace vantry {

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
        setWindowTitle(QStringLiteral("drag source"));
        setText(QStringLiteral("drag from here"));
        setAlignment(Qt::AlignCenter);
        resize(200, 120);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton) || started_)
            return;
        started_ = true;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls(urls_);
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        const char* name = done == Qt::CopyAction   ? "copy"
                           : done == Qt::MoveAction ? "move"
                           : done == Qt::LinkAction ? "link"
                                                    : "ignore";
        std::printf("%s\n", name);
        std::fflush(stdout);
        // The target may still be reading the dragged data.
        QTimer::singleShot(3000, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> urls_;
    bool started_ = false;
};

} // namespace
} // namespace vantry

using namespace vantry;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    DragSource source(urls);
    source.show();
    return app.exec();
}
