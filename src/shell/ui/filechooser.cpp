#include "shell/ui/filechooser.h"

#include "widgets/modal.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The program filters. Each shows its description and lists every file to the
// proxy below, which decides: Qt's own patterns cannot say "an executable
// without an extension".
struct ProgramFilter
{
    const char* text;
    QStringList suffixes; // lower case
    bool extensionlessExecutables;
};

const QVector<ProgramFilter>& programFilters()
{
    static const QVector<ProgramFilter> f = {
        {"All (*.exe, *.com, *.bat, *.sh)", {"exe", "com", "bat", "sh"}, true},
        {"Executable File (*.exe)", {"exe"}, false},
        {"Command File (*.com)", {"com"}, false},
        {"Batch File (*.bat)", {"bat"}, false},
        {"Shell Script (*.sh)", {"sh"}, false},
        {"Executable File (no extension)", {}, true},
    };
    return f;
}

// The dialog shows what the filter's pattern "(*)" lets through; this keeps the
// folders and the files of the chosen program filter.
class ProgramFilterProxy : public QSortFilterProxyModel
{
public:
    explicit ProgramFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {}
    void choose(int filter)
    {
        m_filter = filter;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        if (info.isDir()) return true;
        const ProgramFilter& f = programFilters().at(m_filter);
        const QString suffix = info.suffix().toLower();
        if (f.suffixes.contains(suffix)) return true;
        return f.extensionlessExecutables && suffix.isEmpty() && info.isExecutable();
    }

private:
    int m_filter = 0;
};

QString choose(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog: the proxy below needs it, and it looks the same everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::homePath());
    switch (request.kind) {
    case FileRequest::Program: {
        dialog.setWindowTitle(u("設定執行程式或功能"));
        QStringList names;
        for (const ProgramFilter& f : programFilters())
            names << QString::fromUtf8(f.text) + QStringLiteral(" (*)");
        // Only the descriptions show; the pattern is the proxy's.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(names);
        auto* proxy = new ProgramFilterProxy(&dialog);
        dialog.setProxyModel(proxy);
        // The dialog may hand back the filter with or without its pattern.
        QObject::connect(&dialog, &QFileDialog::filterSelected, proxy, [proxy, names](const QString& f) {
            for (int i = 0; i < names.size(); ++i)
                if (f == names[i] || f == QString::fromUtf8(programFilters().at(i).text)) proxy->choose(i);
        });
        break;
    }
    case FileRequest::AnyFile:
        dialog.setWindowTitle(u("設定參數或外部檔案"));
        dialog.setNameFilter(QStringLiteral("All Files (*)"));
        break;
    case FileRequest::Picture:
        dialog.setWindowTitle(u("選擇圖片"));
        dialog.setNameFilters(
            {QStringLiteral("All (*.bmp *.jpg *.jpeg *.png *.gif)"), QStringLiteral("Bitmaps (*.bmp)"),
             QStringLiteral("JPEG Image File (*.jpg *.jpeg)"), QStringLiteral("PNG Image File (*.png)"),
             QStringLiteral("GIF Image File (*.gif)")});
        break;
    }
    if (execModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace

FileChooser systemFileChooser()
{
    return choose;
}

} // namespace lumo
