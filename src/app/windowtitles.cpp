#include "app/windowtitles.h"

#include "app/childframe.h"
#include "app/mainframe.h"
#include "document/vantrydoc.h"

#include <QMdiArea>

#include <map>

namespace vantry {

void updateWindowTitles(CMainFrame& frame) {
    CChildFrame* active = qobject_cast<CChildFrame*>(frame.mdiArea()->activeSubWindow());
    // Windows of one document are told apart by their number: "plan.txt:2".
    std::map<CVantryDoc*, int> count;
    std::map<CVantryDoc*, int> seen;
    const auto windows = frame.mdiArea()->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* w : windows)
        if (auto* f = qobject_cast<CChildFrame*>(w))
            ++count[f->document()];
    for (QMdiSubWindow* w : windows) {
        auto* f = qobject_cast<CChildFrame*>(w);
        if (!f)
            continue;
        QString title = QString::fromStdString(f->document()->GetTitle());
        if (count[f->document()] > 1)
            title += QStringLiteral(":%1").arg(++seen[f->document()]);
        // The toolkit shows "[*]" as "*" while the window is marked modified.
        title += QStringLiteral("[*]");
        if (f->windowTitle() != title)
            f->setWindowTitle(title);
        f->setWindowModified(f->document()->IsModified());
    }
    // With the active window maximised its title stands in brackets, as the area's own title
    // handling has it ("NetQuill - [Network1]"); the area then adds nothing.
    QString main = QStringLiteral("NetQuill");
    if (CChildFrame* f = active)
        main += f->isMaximized() ? QStringLiteral(" - [%1]").arg(f->windowTitle())
                                 : QStringLiteral(" - ") + f->windowTitle();
    if (frame.windowTitle() != main)
        frame.setWindowTitle(main);
    frame.setWindowModified(active && active->isWindowModified());
}

} // namespace vantry
