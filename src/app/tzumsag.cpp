#include "app/tzumsag.h"
#include "widgets/modal.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace lumo {

QString TZuMsag::captionOf(int kind)
{
    switch (kind) {
    case 1:
    case 4:
        return QString::fromUtf8("詢問資訊");
    case 2:
    case 5:
        return QString::fromUtf8("注意");
    default:
        return QString::fromUtf8("重要資訊");
    }
}

TZuMsag::TZuMsag(int kind, const QString& text, QWidget* parent, DefaultAnswer answer) : QDialog(parent)
{
    setObjectName(QStringLiteral("TZuMsag"));
    setWindowTitle(captionOf(kind));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("Image1"));
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxInformation;
    if (kind == 1 || kind == 4)
        icon = QStyle::SP_MessageBoxQuestion;
    else if (kind == 2 || kind == 5)
        icon = QStyle::SP_MessageBoxWarning;
    m_picture->setPixmap(style()->standardIcon(icon).pixmap(48, 48));
    m_picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // The text is read, not edited: a label, never taken as markup (a name
    // holding "<b>" shows as typed), selectable with the mouse to copy a path.
    // A long text scrolls inside the dialog instead of pushing the buttons off
    // the screen or hiding its end.
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setText(shown);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("MessageScroll"));
    m_scroll->setWidget(m_text);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);

    m_yes = new QPushButton(QString::fromUtf8("是"), this);
    m_yes->setObjectName(QStringLiteral("BitBtnYes"));
    m_no = new QPushButton(QString::fromUtf8("否"), this);
    m_no->setObjectName(QStringLiteral("BitBtnNo"));
    m_ok = new QPushButton(QString::fromUtf8("確  定"), this);
    m_ok->setObjectName(QStringLiteral("BitBtnOk"));
    const bool question = kind >= 1 && kind <= 3;
    m_yes->setVisible(question);
    m_no->setVisible(question);
    m_ok->setVisible(!question);
    // Enter presses the default button and a focused button becomes the
    // default while it has the focus; so the default also starts with the focus.
    QPushButton* def = !question ? m_ok : answer == DefaultAnswer::Yes ? m_yes : m_no;
    def->setDefault(true);
    def->setFocus();
    m_yes->setToolTip(QStringLiteral("Y"));
    m_no->setToolTip(QStringLiteral("N"));

    connect(m_yes, &QPushButton::clicked, this, [this] { finishWith(true); });
    connect(m_ok, &QPushButton::clicked, this, [this] { finishWith(true); });
    connect(m_no, &QPushButton::clicked, this, [this] { finishWith(false); });
    if (question) {
        // Y and N answer without reaching for the buttons; Esc is the close box (否).
        connect(new QShortcut(QKeySequence(Qt::Key_Y), this), &QShortcut::activated, m_yes,
                &QPushButton::click);
        connect(new QShortcut(QKeySequence(Qt::Key_N), this), &QShortcut::activated, m_no,
                &QPushButton::click);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture, 0, Qt::AlignTop);
    top->addWidget(m_scroll, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    buttons->addWidget(m_ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    fitToText();
}

// A short message keeps the small dialog of one size; a longer one grows with
// its text up to about two thirds of the screen, and scrolls beyond that.
void TZuMsag::fitToText()
{
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1366, 768);
    const int minW = 420, minH = 200;
    const int chromeW = 110, chromeH = 100; // the picture, the buttons and the margins
    const int maxW = std::max(minW, std::min(720, screen.width() * 2 / 3));
    const int maxH = std::max(minH, screen.height() * 2 / 3);
    const bool small = m_text->heightForWidth(minW - chromeW) + chromeH <= minH;
    const int w = small ? minW : maxW;
    resize(w, std::clamp(m_text->heightForWidth(w - chromeW) + chromeH, minH, maxH));
    setMinimumSize(minW, minH);
}

void TZuMsag::finishWith(bool result)
{
    m_result = result;
    accept();
}

bool ShowMessageDialog(int kind, const QString& text, QWidget* parent, DefaultAnswer answer)
{
    if (!parent) parent = QApplication::activeWindow();
    TZuMsag dialog(kind, text, parent, answer);
    execModal(dialog); // the close box leaves the result false
    return dialog.result();
}

} // namespace lumo
