#include "app/tzumsaglist.h"

#include "app/tzumsag.h"
#include "widgets/modal.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QVBoxLayout>
#include <cmath>

namespace lumo {
namespace {

// Draws each item over as many lines as it needs, breaking long words too: a
// path without blanks would otherwise run out of the list unseen.
class WrappingDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingDelegate(QListWidget* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int width = std::max(40, m_view->viewport()->width() - 2 * Margin);
        QTextLayout layout(index.data().toString(), option.font);
        return QSize(width + 2 * Margin, int(std::ceil(lay(layout, width))) + 2 * Margin);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear(); // the background, the selection and the focus frame only
        const QStyle* style = o.widget ? o.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
        QTextLayout layout(text, o.font);
        lay(layout, o.rect.width() - 2 * Margin);
        p->save();
        p->setPen(
            o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        layout.draw(p, o.rect.topLeft() + QPointF(Margin, Margin));
        p->restore();
    }

private:
    static constexpr int Margin = 3;

    static qreal lay(QTextLayout& layout, int width)
    {
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(wrap);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        return y;
    }

    QListWidget* m_view;
};

} // namespace

TZuMsagList::TZuMsagList(int kind, const QString& text, const QStringList& items, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TZuMsagList"));
    setWindowTitle(TZuMsag::captionOf(kind));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    const QStyle::StandardPixmap icon = kind == 1 || kind == 4   ? QStyle::SP_MessageBoxQuestion
                                        : kind == 2 || kind == 5 ? QStyle::SP_MessageBoxWarning
                                                                 : QStyle::SP_MessageBoxInformation;
    picture->setPixmap(style()->standardIcon(icon).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text = new QLabel(shown, this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);

    // One row per item; a long one wraps, so nothing runs out of sight.
    m_items = new QListWidget(this);
    m_items->setObjectName(QStringLiteral("ListBox1"));
    m_items->setItemDelegate(new WrappingDelegate(m_items));
    m_items->setResizeMode(QListView::Adjust); // the lines wrap again when the dialog is resized
    m_items->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_items->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_items->setAlternatingRowColors(true);
    m_items->setAccessibleName(QString::fromUtf8("清單"));
    m_items->addItems(items);
    if (m_items->count() > 0) m_items->setCurrentRow(0);

    m_yes = new QPushButton(QString::fromUtf8("是"), this);
    m_yes->setObjectName(QStringLiteral("BitBtnYes"));
    m_no = new QPushButton(QString::fromUtf8("否"), this);
    m_no->setObjectName(QStringLiteral("BitBtnNo"));
    // Enter on the list reaches the default button, 否; on a button the
    // operator moved to, that button.
    m_yes->setAutoDefault(true);
    m_no->setAutoDefault(true);
    m_no->setDefault(true);
    connect(m_yes, &QPushButton::clicked, this, [this] { finishWith(true); });
    connect(m_no, &QPushButton::clicked, this, [this] { finishWith(false); });

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(m_text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_items, 1);
    layout->addLayout(buttons);
    setMinimumSize(480, 320);
    resize(680, 440);
    // The list takes the keys first: the arrows read it, Enter answers 否.
    m_items->setFocus();
}

void TZuMsagList::finishWith(bool result)
{
    m_result = result;
    accept();
}

bool ShowListDialog(int kind, const QString& text, const QStringList& items, QWidget* parent)
{
    if (!parent) parent = QApplication::activeWindow();
    TZuMsagList dialog(kind, text, items, parent);
    execModal(dialog); // Esc and the close box leave the result false
    return dialog.result();
}

} // namespace lumo
