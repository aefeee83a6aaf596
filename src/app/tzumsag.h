#pragma once
// The system's own message dialog: a picture, the text and either 是/否 or 確  定.

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollArea;

namespace lumo {

enum class DefaultAnswer
{
    No,
    Yes
};

class TZuMsag : public QDialog
{
    Q_OBJECT
public:
    // A question's default button (the one Enter presses) is 否 unless `answer` says 是.
    TZuMsag(int kind, const QString& text, QWidget* parent = nullptr,
            DefaultAnswer answer = DefaultAnswer::No);
    bool result() const { return m_result; }

    static QString captionOf(int kind);

private:
    void finishWith(bool result);
    void fitToText();
    bool m_result = false;
    QLabel* m_picture;
    QLabel* m_text;
    QScrollArea* m_scroll;
    QPushButton* m_yes;
    QPushButton* m_no;
    QPushButton* m_ok;
};

// Stores kind and text, shows the dialog modally, destroys it and returns the result.
bool ShowMessageDialog(int kind, const QString& text, QWidget* parent = nullptr,
                       DefaultAnswer answer = DefaultAnswer::No);

} // namespace lumo
