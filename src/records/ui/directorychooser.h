#pragma once
// A directory chooser for the import and export screen: the path as text (it
// can be typed), a tree of directories to click through, and a line saying
// whether the directory holds a transfer file.

#include <QWidget>
#include <functional>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
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
    // Whether the line under the tree tells of a transfer file (the subject
    // export writes none and hides it).
    void setTransferNoteShown(bool shown);
    // The transfer file in the chosen directory; empty when it holds none.
    QString transferFile() const { return m_transferFile; }

    QLineEdit* pathBox() const { return m_path; }
    QTreeView* tree() const { return m_tree; }
    QPushButton* newFolderButton() const { return m_newFolder; }

    // 新增資料夾: the name the operator gives; tests give their own.
    std::function<QString(QWidget* parent)> askFolderName;
    // Makes the folder `name` in the chosen directory and chooses it; the
    // reason when it cannot (said through failed()).
    bool createFolder(const QString& name);

signals:
    // After every change of the chosen directory (typed, clicked or set).
    void directoryChanged(const QString& directory);
    // A folder could not be made: the reason, for the screen's message.
    void failed(const QString& message);

private:
    void choose(const QString& path, bool fromTree);
    void refresh();
    void showInTree(const QString& path);

    QLineEdit* m_path;
    QTreeView* m_tree;
    QFileSystemModel* m_model;
    QLabel* m_note;
    QPushButton* m_newFolder;
    QString m_transferFile;
    QTimer* m_follow;
    bool m_following = true;
};

} // namespace lumo
