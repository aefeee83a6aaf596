#pragma once
// The system's own message dialog: a picture, the text and either 是/否 or 確  定.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace lumo {

class TZuMsag : public QDialog
{
    Q_OBJECT
public:
    TZuMsag(int kind, const QString& text, QWidget* parent = nullptr);
    bool result() const { return m_result; }

    static QString captionOf(int kind);

private:
    void finishWith(bool result);
    bool m_result = false;
    QLabel* m_picture;
    QPlainTextEdit* m_text;
    QPushButton* m_yes;
    QPushButton* m_no;
    QPushButton* m_ok;
};

// Stores kind and text, shows the dialog modally, destroys it and returns the result.
bool ShowMessageDialog(int kind, const QString& text, QWidget* parent = nullptr);

} // namespace lumo
