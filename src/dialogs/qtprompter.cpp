#include "dialogs/qtprompter.h"

#include "dialogs/bitmapdlg.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/georeferencedlg.h"
#include "dialogs/streetloaddlg.h"
#include "fields/storedtext.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

namespace vantry {

namespace {

QMessageBox::Icon toQtIcon(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Exclamation:
        return QMessageBox::Warning;
    case Prompter::Icon::Stop:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

int ask(QWidget* parent, const std::string& text, Prompter::Icon icon,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(toQtIcon(icon), QString::fromLatin1(kMessageCaption), decodeStoredText(text),
                    buttons, parent);
    return execWindowModal(box);
}

// The toolkit's own file dialog, window-modal; empty when cancelled.
QString chooseFile(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                   const QString& start, const QString& filter,
                   const QString& defaultSuffix = QString()) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    if (execWindowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

} // namespace

QString toQtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString description = parts[i];
        const int open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        filters << description + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QLatin1String(";;"));
}

QWidget* QtPrompter::owner() const {
    if (QWidget* dialog = QApplication::activeModalWidget())
        return dialog;
    return parent_;
}

void QtPrompter::showMessage(const std::string& text, Icon icon) {
    ask(owner(), text, icon, QMessageBox::Ok);
}

bool QtPrompter::askYesNo(const std::string& text, Icon icon) {
    return ask(owner(), text, icon, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

Prompter::Answer QtPrompter::askYesNoCancel(const std::string& text, Icon icon) {
    switch (ask(owner(), text, icon, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

std::optional<std::string> QtPrompter::remembered(const QString& path) {
    // The next file dialog starts in the folder of the last file chosen.
    if (path.isEmpty())
        return std::nullopt;
    lastFolder_ = QFileInfo(path).absolutePath();
    return path.toStdString();
}

std::optional<std::string> QtPrompter::chooseOpenPath(const std::string& filter) {
    const QString path = chooseFile(owner(), QFileDialog::AcceptOpen, QStringLiteral("Open"),
                                    lastFolder_, toQtFileFilter(filter));
    return remembered(path);
}

std::optional<std::string> QtPrompter::choosePictureFile() {
    const QString path =
        chooseFile(owner(), QFileDialog::AcceptOpen, QStringLiteral("Select Bitmap File"),
                   lastFolder_, toQtFileFilter(kPictureFileFilter), QStringLiteral("bmp"));
    return remembered(path);
}

std::optional<std::string> QtPrompter::chooseRoadDataFile() {
    const QString path =
        chooseFile(owner(), QFileDialog::AcceptOpen, QStringLiteral("Load Road Data"), lastFolder_,
                   toQtFileFilter(roadDataFileFilter()));
    return remembered(path);
}

std::optional<std::string> QtPrompter::chooseSavePath(const std::string& proposed,
                                                      const std::string& filter) {
    return chooseSaveFile(QStringLiteral("Save As"), proposed, filter);
}

std::optional<std::string> QtPrompter::chooseExportPath(const std::string& proposed,
                                                        const std::string& filter) {
    return chooseSaveFile(QStringLiteral("Export"), proposed, filter);
}

std::optional<std::string> QtPrompter::chooseSaveFile(const QString& title,
                                                      const std::string& proposed,
                                                      const std::string& filter) {
    // The dialog asks before an existing file is replaced; no extension is added to the name.
    QString start = QString::fromStdString(proposed);
    if (QFileInfo(start).isRelative() && !lastFolder_.isEmpty())
        start = QDir(lastFolder_).filePath(start);
    const QString path =
        chooseFile(owner(), QFileDialog::AcceptSave, title, start, toQtFileFilter(filter));
    return remembered(path);
}

std::optional<std::uint32_t> QtPrompter::pickColour(std::uint32_t initial) {
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    QColorDialog dialog(start, owner());
    if (execWindowModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    return static_cast<std::uint32_t>(chosen.red()) |
           (static_cast<std::uint32_t>(chosen.green()) << 8) |
           (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

void QtPrompter::runLongTask(const std::string& label, const std::function<void()>& task) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QProgressDialog progress(QString::fromStdString(label), QString(), 0, 0, owner());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setCancelButton(nullptr);
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    while (!done) {
        progress.setValue(0);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    progress.reset();
    QApplication::restoreOverrideCursor();
    if (failure)
        std::rethrow_exception(failure);
}

void QtPrompter::runProgressTask(const std::string& label,
                                 const std::function<void(const TaskProgress&)>& task) {
    constexpr int kSteps = 1000;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QProgressDialog progress(QString::fromStdString(label), QStringLiteral("Cancel"), 0, kSteps,
                             owner());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    std::atomic<int> steps{0};
    std::atomic<bool> cancelled{false}, done{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            task([&](double fraction) {
                steps = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kSteps);
                return !cancelled;
            });
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    while (!done) {
        progress.setValue(std::min(steps.load(), kSteps - 1));
        // Until the dialog shows, and blocks the windows behind it, no input is taken.
        QApplication::processEvents(
            progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 20);
        if (progress.wasCanceled())
            cancelled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    progress.reset();
    QApplication::restoreOverrideCursor();
    if (failure)
        std::rethrow_exception(failure);
}

std::optional<std::string> QtPrompter::chooseItem(const std::string& text,
                                                  const std::vector<std::string>& items) {
    QStringList names;
    for (const std::string& item : items)
        names << QString::fromStdString(item);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(owner(), QString::fromUtf8(kMessageCaption),
                              QString::fromStdString(text), names, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    return chosen.toStdString();
}

std::optional<std::vector<bool>>
QtPrompter::chooseRecoveries(const std::vector<std::string>& documents) {
    QDialog dialog(owner());
    dialog.setWindowTitle(QStringLiteral("Recover Unsaved Changes"));
    auto* text = new QLabel(
        QStringLiteral("%1 found unsaved changes from a run that ended without saving them.\n"
                       "The checked documents are recovered; the changes to the others are "
                       "discarded.")
            .arg(QString::fromLatin1(kMessageCaption)));
    text->setWordWrap(true);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("documents"));
    for (const std::string& document : documents) {
        auto* item = new QListWidgetItem(decodeStoredText(document), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    list->setCurrentRow(0);
    text->setBuddy(list);
    auto* buttons = new QDialogButtonBox;
    QPushButton* recover =
        buttons->addButton(QStringLiteral("&Recover"), QDialogButtonBox::AcceptRole);
    recover->setObjectName(QStringLiteral("recover"));
    recover->setDefault(true);
    QPushButton* discard =
        buttons->addButton(QStringLiteral("&Discard"), QDialogButtonBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("discard"));
    bool discardAll = false;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(discard, &QPushButton::clicked, &dialog, [&] {
        discardAll = true;
        dialog.accept();
    });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(list);
    layout->addWidget(buttons);
    list->setFocus();
    if (execWindowModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    std::vector<bool> chosen;
    for (int i = 0; i < list->count(); ++i)
        chosen.push_back(!discardAll && list->item(i)->checkState() == Qt::Checked);
    return chosen;
}

std::optional<PictureChoice> QtPrompter::choosePicture(const PictureChoice& initial) {
    CBitmapDlg dialog(initial, *this, owner());
    if (execWindowModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<StreetLoadChoice> QtPrompter::chooseStreetLoad(const StreetLoadChoice& initial) {
    CStreetLoadDlg dialog(initial, owner());
    if (execWindowModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<Georeference> QtPrompter::chooseGeoreference(const Georeference& initial) {
    CGeoreferenceDlg dialog(initial, owner());
    if (execWindowModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

} // namespace vantry
