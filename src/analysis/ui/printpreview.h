#pragma once
// The pages of a report on the screen before they go to the printer or into
// a PDF file: what is about to be printed is seen first, paged and zoomed,
// and printed from there or left.

#include "base/printerchoice.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPrinter;
class QPrintPreviewWidget;

namespace lumo {

class PrintPreview : public QDialog
{
    Q_OBJECT
public:
    // `render` draws the whole report onto the printer it is given.
    PrintPreview(const QString& title, const PrinterChoice& choice, std::function<void(QPrinter&)> render,
                 QWidget* parent = nullptr);
    ~PrintPreview() override;

    QPrintPreviewWidget* pages() const { return m_preview; }
    int pageCount() const;
    QString pageNumberText() const;
    void turnTo(int page); // 上一頁, 下一頁: the page shown and the counter with it

private:
    void showPageNumber();

    std::unique_ptr<QPrinter> m_printer;
    std::function<void(QPrinter&)> m_render;
    QPrintPreviewWidget* m_preview;
    QLabel* m_pageNumber;
};

// Shows the preview modally; true when the operator chose 列  印 there.
bool previewBeforePrinting(QWidget* parent, const QString& title, const PrinterChoice& choice,
                           const std::function<void(QPrinter&)>& render);

} // namespace lumo
