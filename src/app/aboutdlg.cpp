#include "app/aboutdlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace vantry {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Vantry"));
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/vantry.svg")).pixmap(48, 48));
    auto* name = new QLabel(QStringLiteral("Vantry"));
    auto* version = new QLabel(QStringLiteral("Version %1").arg(QStringLiteral(VANTRY_VERSION)));
    version->setObjectName(QStringLiteral("version"));
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    row->addWidget(buttons, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    setFixedSize(sizeHint().expandedTo(QSize(350, 90)));
}

} // namespace vantry
