// Printing and print preview of the map view.

#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/vantryview.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>

namespace vantry {

void CVantryView::preparePrinter(QPrinter& printer) const {
    const WorldRect& bounds = doc_->network().bounds();
    const QSizeF paper = printer.pageLayout().pageSize().size(QPageSize::Point);
    const bool paperTall = paper.height() > paper.width();
    printer.setPageOrientation(bounds.width() > bounds.height() && paperTall
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    printer.setDocName(QString::fromStdString(doc_->GetTitle()));
}

void CVantryView::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setMinMax(1, 1);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printPage(printer, printer.printRange() == QPrinter::Selection);
}

void CVantryView::OnFilePrintPreview() {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { printPage(*p, false); });
    preview.exec();
}

void CVantryView::printPage(QPrinter& printer, bool selectionOnly) {
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    ViewTransform pageTransform = transform_;
    pageTransform.setClientSize(page.width(), page.height(), printer.resolution() / 100.0);
    const LogicalRect pageLogical = pageTransform.clientLogical();
    const int pageW = pageLogical.right - pageLogical.left;
    const int pageH = pageLogical.top - pageLogical.bottom;
    if (selectionOnly) {
        const LogicalRect screen = transform_.clientLogical();
        const double screenW = std::max(1, screen.right - screen.left);
        const double screenH = std::max(1, screen.top - screen.bottom);
        const double r = std::max(pageW / screenW, pageH / screenH);
        pageTransform.scale = static_cast<float>(transform_.scale / r);
    } else {
        pageTransform.ShowEntireNetwork(dataExtent(), pageW, pageH);
    }

    // The map prints on white paper, whatever the screen's background colour is.
    UserDefinedSettings& settings = SingletonPtr<UserDefinedSettings>::instance();
    const auto savedBack = settings.backColor.value;
    settings.backColor.value = 0xFFFFFF;
    refreshColouring();
    QPainter painter(&printer);
    NetworkRenderer renderer(painter, pageTransform, renderOptions(true));
    renderer.draw(doc_->network(), nullptr);
    painter.end();
    settings.backColor.value = savedBack;
}

} // namespace vantry
