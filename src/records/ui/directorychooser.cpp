#include "records/ui/directorychooser.h"

#include "records/transferflow.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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
    if (!fromTree) {
        const QModelIndex index = m_model->index(QDir::cleanPath(path.trimmed()));
        if (index.isValid()) {
            QSignalBlocker block(m_tree->selectionModel());
            m_tree->setCurrentIndex(index);
            m_tree->scrollTo(index);
        }
    }
    refresh();
    emit directoryChanged(m_path->text());
}

void DirectoryChooser::refresh()
{
    m_transferFile = TransferFlow::transferFileIn(m_path->text());
    m_note->setText(m_transferFile.isEmpty() ? QString::fromUtf8("此目錄中沒有 ZuTran.mdb")
                                             : QString::fromUtf8("此目錄中有 ZuTran.mdb"));
}

} // namespace lumo
