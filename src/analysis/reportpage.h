#pragma once
// The page arithmetic of the printed reports: millimetres to device units, the
// line cursor with its page breaks, page numbers and the report colour. The
// analysis report and the comparison prints share it.

#include <QColor>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <functional>

namespace lumo {

class ReportPage
{
public:
    // reportSize: 10 (normal) or 8 (small) points.
    ReportPage(QPainter& painter, QPagedPaintDevice& device, bool colour, int reportSize);
    // Any paint device with its own way of turning the page (a recording device in tests).
    ReportPage(QPainter& painter, QPaintDevice& device, std::function<void()> turnPage, bool colour,
               int reportSize);

    int MmInDots(double mm) const;
    int LineHeight() const { return m_lineHeight; }
    int PrintWidth() const { return m_printWidth; }
    int pageHeight() const { return m_pageHeight; }
    int dpi() const { return m_dpi; }
    int reportSize() const { return m_reportSize; }
    bool colour() const { return m_colour; }
    QColor ReportColour(const QColor& c) const { return m_colour ? c : QColor(Qt::black); }

    int LineCursor = 0;
    void NextLine();
    void PrintTextLine(const QString& text, const QColor& colour = Qt::black);
    void PageNumberText();
    // A section begins on a new page when fewer than five lines are left.
    void sectionStart();
    // Before a block whose last line starts `extent` below the cursor: a new
    // page first when the block would run past this page's last line but
    // fits on a fresh page, so that a table that fits on a page is never
    // split. True when the page was turned.
    bool keepTogether(int extent);
    bool keepLinesTogether(int lines) { return keepTogether((lines - 1) * m_lineHeight); }
    // The cursor to 10 mm and a new page with its number. The page begins
    // when something is drawn on it, so a report whose last line ends a page
    // has no empty page after it.
    void newPage();

    // Text at (x, y) top-left in the report font at `size` points, through ReportColour.
    void text(int x, int y, const QString& s, const QColor& c, int size = 0);
    void textCentred(int y, const QString& s, const QColor& c, int size);
    int textWidth(const QString& s, int size = 0) const;
    QFont font(int size = 0) const;
    void rule(int x1, int x2, int y, double widthMm, const QColor& c = Qt::black);

    // Abandonment: checked before each section, entry and line.
    std::function<bool()> abandoned;
    bool isAbandoned() const { return abandoned && abandoned(); }
    int pageNumber() const { return m_page; } // the page the cursor is on
    int pagesBegun() const { return m_pageBegun ? m_page : m_page - 1; }

    // For drawing at the cursor: the page is begun first.
    QPainter& painter()
    {
        beginPage();
        return m_p;
    }

private:
    void beginPage();

    QPainter& m_p;
    QPaintDevice& m_device;
    std::function<void()> m_turnPage;
    bool m_colour;
    int m_reportSize;
    int m_dpi;
    int m_printWidth;
    int m_pageHeight;
    int m_lineHeight;
    int m_page = 1;
    bool m_pageBegun = true;
};

// Wraps a text as a 600-pixel box at 96 pixels per inch wraps it in the font:
// at blanks and at the box edge, its own line breaks kept.
QStringList wrapText(const QString& text, const QFont& font, int boxPixels = 600);

} // namespace lumo
