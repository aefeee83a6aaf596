#pragma once
// The open dialogs of the screens that pick a program, a file or a picture,
// behind one seam so that tests can answer them.

#include <QString>
#include <functional>

class QWidget;

namespace lumo {

struct FileRequest
{
    enum Kind
    {
        Program, // 執行功能程式: programs, commands, batch files, shell scripts and executables
        AnyFile, // 參數與檔案: every file
        Picture  // a picture the program can show
    };
    Kind kind = AnyFile;
};

// Returns the chosen file, or an empty text when the operator cancelled.
using FileChooser = std::function<QString(QWidget* parent, const FileRequest& request)>;

// The program's own open dialog, modal to `parent`, starting in the user's
// home folder (this platform has no "c:\").
FileChooser systemFileChooser();

} // namespace lumo
