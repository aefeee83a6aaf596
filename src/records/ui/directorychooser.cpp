#include "records/ui/directorychooser.h"

#include "records/transferflow.h"
#include "records/transferfolders.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace lumo {

DirectoryChooser::DirectoryChooser(const QString& caption, QWidget* parent) : QWidget(parent)
{
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("PathBox"));
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("DirectoryTree"));
    m_tree->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_tree->hideColumn(c);
    m_tree->header()->hide();
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("TransferFileNote"));
    m_newFolder = new QPushButton(QString::fromUtf8("新增資料夾"), this);
    m_newFolder->setObjectName(QStringLiteral("NewFolderButton"));
    m_newFolder->setToolTip(QString::fromUtf8("在選取的目錄中建立一個新的資料夾"));
    // Enter in the path box chooses the typed directory; it must not make a folder.
    m_newFolder->setAutoDefault(false);
    askFolderName = [](QWidget* parent) {
        return QInputDialog::getText(parent, QString::fromUtf8("新增資料夾"),
                                     QString::fromUtf8("新資料夾名稱："));
    };
    connect(m_newFolder, &QPushButton::clicked, this, [this] {
        const QString name = askFolderName ? askFolderName(window()) : QString();
        if (!name.trimmed().isEmpty()) createFolder(name);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(caption, this));
    layout->addWidget(m_path);
    layout->addWidget(m_tree, 1);
    auto* below = new QHBoxLayout;
    below->addWidget(m_note, 1);
    below->addStretch(0); // holds the button right when the note is hidden
    below->addWidget(m_newFolder);
    layout->addLayout(below);

    connect(m_path, &QLineEdit::editingFinished, this, [this] { choose(m_path->text(), false); });
    // The tree reads directories in the background and sorts what it read
    // later still: until the operator clicks in it, the chosen directory is
    // brought into view again after each such change.
    m_follow = new QTimer(this);
    m_follow->setSingleShot(true);
    m_follow->setInterval(50);
    connect(m_follow, &QTimer::timeout, this,
            [this] { showInTree(QDir::cleanPath(m_path->text().trimmed())); });
    auto follow = [this] {
        if (m_following) m_follow->start();
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, this, follow);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, follow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(m_tree, &QTreeView::pressed, this, [this] { m_following = false; });
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) choose(m_model->filePath(current), true);
            });
}

QString DirectoryChooser::directory() const
{
    return m_path->text();
}

void DirectoryChooser::setTransferNoteShown(bool shown)
{
    m_note->setVisible(shown);
}

void DirectoryChooser::setDirectory(const QString& path)
{
    choose(path, false);
}

void DirectoryChooser::choose(const QString& path, bool fromTree)
{
    if (!fromTree || m_path->text() != path) m_path->setText(path);
    m_following = !fromTree;
    if (!fromTree) showInTree(QDir::cleanPath(path.trimmed()));
    refresh();
    emit directoryChanged(m_path->text());
}

bool DirectoryChooser::createFolder(const QString& name)
{
    QString created;
    const Status st = createFolderIn(m_path->text(), name, &created);
    if (!st) {
        emit failed(st.error);
        return false;
    }
    choose(created, false);
    return true;
}

void DirectoryChooser::showInTree(const QString& path)
{
    const QModelIndex index = m_model->index(path);
    if (!index.isValid()) return;
    QSignalBlocker block(m_tree->selectionModel());
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void DirectoryChooser::refresh()
{
    m_transferFile = TransferFlow::transferFileIn(m_path->text());
    m_note->setText(m_transferFile.isEmpty() ? QString::fromUtf8("此目錄中沒有 ZuTran.mdb")
                                             : QString::fromUtf8("此目錄中有 ZuTran.mdb"));
}

} // namespace lumo
