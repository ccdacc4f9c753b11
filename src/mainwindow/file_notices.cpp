#include "mainwindow/file_notices.h"

#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "toolkit/msgbox.h"
#include "toolkit/sapp.h"
#include "util/unreadable_copy.h"

namespace kb {

namespace fs = std::filesystem;

namespace {

QString Tr(const char* source) {
    const QString text = QString::fromUtf8(source);
    const ui::SApplication* app = ui::SApplication::Instance();
    return app ? app->Tr(QStringLiteral("msgbox"), text) : text;
}

QString Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return QDir::toNativeSeparators(QString::fromUtf8(reinterpret_cast<const char*>(text.data()),
                                                      static_cast<qsizetype>(text.size())));
}

QString ShownName(const fs::path& path) {
    return Shown(path.filename());
}

}  // namespace

std::vector<KeptAsideFile> KeepFilesAside(const std::vector<fs::path>& unreadable) {
    std::vector<KeptAsideFile> kept;
    for (const fs::path& file : unreadable) {
        if (const UnreadableCopy copy = KeepUnreadable(file); copy.made) {
            kept.push_back({file, copy.copy});
        }
    }
    return kept;
}

QString KeptAsideText(const std::vector<KeptAsideFile>& kept) {
    QStringList lines;
    for (const KeptAsideFile& file : kept) {
        lines.append(Tr(kTextKeptAsideLine).arg(Shown(file.file), ShownName(file.copy)));
    }
    return Tr(kTextKeptAside).arg(lines.join(QLatin1Char('\n')));
}

QString SaveFailedText(const fs::path& file, SaveProblem problem) {
    const char* text = problem == SaveProblem::DiskFull       ? kTextSaveFailedDiskFull
                       : problem == SaveProblem::NotPermitted ? kTextSaveFailedNotPermitted
                                                              : kTextSaveFailed;
    return Tr(text).arg(Shown(file));
}

SaveFailureNotices::SaveFailureNotices(QWidget* window, std::vector<fs::path> files)
    : window_(window) {
    for (const fs::path& file : files) {
        files_.push_back(file.lexically_normal());
    }
    SetSaveListener([this](const fs::path& target, SaveProblem problem) {
        // Queued: the background saver reports from its own thread.
        QMetaObject::invokeMethod(
            this, [this, target, problem] { Saved(target, problem); }, Qt::QueuedConnection);
    });
}

SaveFailureNotices::~SaveFailureNotices() {
    SetSaveListener({});
}

void SaveFailureNotices::Saved(const fs::path& target, SaveProblem problem) {
    const fs::path file = target.lexically_normal();
    if (std::find(files_.begin(), files_.end(), file) == files_.end()) {
        return;  // a backup or an export: their own boxes speak for them
    }
    if (problem == SaveProblem::None) {
        failing_.erase(file);
        return;
    }
    if (!failing_.insert(file).second) {
        return;  // said already while its saves keep failing
    }
    // Over the dialog when one is open, so the notice is not hidden behind it.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = window_;
    }
    // A save fails in the middle of an exchange under the busy cursor; the box waits for the
    // user with the ordinary pointer.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ui::SMessageBox(owner, SaveFailedText(target, problem), Tr("Warning"), ui::kMbOk);
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace kb
