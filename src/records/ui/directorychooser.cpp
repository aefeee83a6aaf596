#include "records/ui/directorychooser.h"

#include "records/transferflow.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(caption, this));
    layout->addWidget(m_path);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_note);

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
