#pragma once
// A directory chooser for the import and export screen: the path as text (it
// can be typed), a tree of directories to click through, and a line saying
// whether the directory holds a transfer file.

#include <QWidget>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeView;

namespace lumo {

class DirectoryChooser : public QWidget
{
    Q_OBJECT
public:
    explicit DirectoryChooser(const QString& caption, QWidget* parent = nullptr);

    // The chosen directory as the path box holds it.
    QString directory() const;
    void setDirectory(const QString& path);
    // The transfer file in the chosen directory; empty when it holds none.
    QString transferFile() const { return m_transferFile; }

    QLineEdit* pathBox() const { return m_path; }
    QTreeView* tree() const { return m_tree; }

signals:
    // After every change of the chosen directory (typed, clicked or set).
    void directoryChanged(const QString& directory);

private:
    void choose(const QString& path, bool fromTree);
    void refresh();
    void showInTree(const QString& path);

    QLineEdit* m_path;
    QTreeView* m_tree;
    QFileSystemModel* m_model;
    QLabel* m_note;
    QString m_transferFile;
    QTimer* m_follow;
    bool m_following = true;
};

} // namespace lumo
