#include "analysis/ui/printpreview.h"

#include "analysis/ui/printsetup.h"
#include "widgets/modal.h"

#include <QAction>
#include <QLabel>
#include <QPageSize>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

PrintPreview::PrintPreview(const QString& title, const PrinterChoice& choice,
                           std::function<void(QPrinter&)> render, QWidget* parent)
    : QDialog(parent), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      m_render(std::move(render))
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(u("預覽列印 - ") + title);
    applyPrinterChoice(choice, *m_printer);
    // With no printer the report goes into a PDF file of A4 pages: the
    // preview shows those pages.
    if (choice.printerName.isEmpty() &&
        (!choice.outputFile.isEmpty() || QPrinterInfo::availablePrinters().isEmpty())) {
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    m_preview = new QPrintPreviewWidget(m_printer.get(), this);
    m_preview->setObjectName(QStringLiteral("PreviewPages"));
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* p) { m_render(*p); });
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &PrintPreview::showPageNumber);

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const char* caption, const char* hint, QKeySequence key = {}) {
        QAction* a = bar->addAction(u(caption));
        a->setToolTip(u(hint));
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setToolTip(u(hint) + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                          QLatin1Char(')'));
        }
        return a;
    };
    QAction* print = add("列  印", "列印這份報表");
    QAction* previous = add("上一頁", "上一頁", QKeySequence(Qt::Key_PageUp));
    QAction* next = add("下一頁", "下一頁", QKeySequence(Qt::Key_PageDown));
    QAction* zoomIn = add("放  大", "放大", QKeySequence(Qt::CTRL | Qt::Key_Plus));
    QAction* zoomOut = add("縮  小", "縮小", QKeySequence(Qt::CTRL | Qt::Key_Minus));
    QAction* whole = add("整  頁", "整頁顯示", QKeySequence(Qt::CTRL | Qt::Key_0));
    QAction* leave = add("離  開", "不列印，回到前一個畫面");
    connect(print, &QAction::triggered, this, &QDialog::accept);
    connect(leave, &QAction::triggered, this, &QDialog::reject);
    connect(previous, &QAction::triggered, this, [this] { turnTo(m_preview->currentPage() - 1); });
    connect(next, &QAction::triggered, this, [this] { turnTo(m_preview->currentPage() + 1); });
    connect(zoomIn, &QAction::triggered, m_preview, [this] { m_preview->zoomIn(); });
    connect(zoomOut, &QAction::triggered, m_preview, [this] { m_preview->zoomOut(); });
    connect(whole, &QAction::triggered, m_preview, &QPrintPreviewWidget::fitInView);

    m_pageNumber = new QLabel(this);
    m_pageNumber->setObjectName(QStringLiteral("PreviewPageNumber"));
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_pageNumber);
    resize(900, 680);
}

PrintPreview::~PrintPreview() = default;

int PrintPreview::pageCount() const
{
    return m_preview->pageCount();
}

// The view tells of a page reached by scrolling, but not of one it was sent
// to: the counter is set again after each turn.
void PrintPreview::turnTo(int page)
{
    m_preview->setCurrentPage(page);
    showPageNumber();
}

void PrintPreview::showPageNumber()
{
    m_pageNumber->setText(u("第 %1 頁，共 %2 頁").arg(m_preview->currentPage()).arg(m_preview->pageCount()));
}

QString PrintPreview::pageNumberText() const
{
    return m_pageNumber->text();
}

bool previewBeforePrinting(QWidget* parent, const QString& title, const PrinterChoice& choice,
                           const std::function<void(QPrinter&)>& render)
{
    PrintPreview preview(title, choice, render, parent);
    return execModal(preview) == QDialog::Accepted;
}

} // namespace lumo
