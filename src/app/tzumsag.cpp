#include "app/tzumsag.h"
#include "widgets/modal.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
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

TZuMsag::TZuMsag(int kind, const QString& text, QWidget* parent) : QDialog(parent)
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

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setReadOnly(true);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(shown);

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
    (question ? m_yes : m_ok)->setDefault(true);

    connect(m_yes, &QPushButton::clicked, this, [this] { finishWith(true); });
    connect(m_ok, &QPushButton::clicked, this, [this] { finishWith(true); });
    connect(m_no, &QPushButton::clicked, this, [this] { finishWith(false); });

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture);
    top->addWidget(m_text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    buttons->addWidget(m_ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setFixedSize(420, 200);
}

void TZuMsag::finishWith(bool result)
{
    m_result = result;
    accept();
}

bool ShowMessageDialog(int kind, const QString& text, QWidget* parent)
{
    if (!parent) parent = QApplication::activeWindow();
    TZuMsag dialog(kind, text, parent);
    execModal(dialog); // the close box leaves the result false
    return dialog.result();
}

} // namespace lumo
