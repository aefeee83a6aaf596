#include "analysis/reportpage.h"

#include "base/formats.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>

namespace lumo {

ReportPage::ReportPage(QPainter& painter, QPagedPaintDevice& device, bool colour, int reportSize)
    : ReportPage(
          painter, device, [&device] { device.newPage(); }, colour, reportSize)
{
}

ReportPage::ReportPage(QPainter& painter, QPaintDevice& device, std::function<void()> turnPage, bool colour,
                       int reportSize)
    : m_p(painter), m_device(device), m_turnPage(std::move(turnPage)), m_colour(colour),
      m_reportSize(reportSize)
{
    m_dpi = device.logicalDpiX();
    m_printWidth = std::min(device.width(), 8 * m_dpi);
    m_pageHeight = device.height();
    const QFontMetrics fm(font(), &device);
    m_lineHeight = MmInDots(1) + fm.boundingRect(QStringLiteral("X")).height();
    LineCursor = MmInDots(10);
}

int ReportPage::MmInDots(double mm) const
{
    return int(rnd(m_dpi * mm / 25.4));
}

QFont ReportPage::font(int size) const
{
    QFont f;
    // WenQuanYi Micro Hei first: the PDF writer maps each glyph back to a
    // character for the text layer (copying, searching, screen readers), and
    // Noto Sans CJK shares many glyphs with the Kangxi radicals, so 火, 心, 長
    // came back as the radicals U+2F55, U+2F3C, U+2ED1.
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK TC")});
    f.setPointSize(size > 0 ? size : m_reportSize);
    return f;
}

void ReportPage::newPage()
{
    LineCursor = MmInDots(10);
    if (isAbandoned() || !m_pageBegun) return;
    ++m_page;
    m_pageBegun = false;
}

void ReportPage::beginPage()
{
    if (m_pageBegun || isAbandoned()) return;
    m_pageBegun = true;
    m_turnPage();
    PageNumberText();
}

void ReportPage::NextLine()
{
    LineCursor += m_lineHeight;
    if (m_pageHeight - MmInDots(15) < LineCursor) newPage();
}

void ReportPage::PrintTextLine(const QString& s, const QColor& colour)
{
    if (!isAbandoned()) text(MmInDots(10), LineCursor, s, colour);
    NextLine();
}

void ReportPage::PageNumberText()
{
    beginPage();
    const QString s = QString::fromUtf8("第") + fmt("%4d", m_page) + QString::fromUtf8(" 頁");
    m_p.setFont(font());
    m_p.setPen(Qt::black);
    const int w = textWidth(s);
    m_p.drawText(QPoint(m_printWidth - w - 20, 20 + QFontMetrics(font(), &m_device).ascent()), s);
}

void ReportPage::sectionStart()
{
    if (m_pageHeight - MmInDots(5) < LineCursor + 5 * m_lineHeight)
        newPage();
    else
        NextLine();
}

bool ReportPage::keepTogether(int extent)
{
    // NextLine lets a line start at most this low on a page.
    const int lastLine = m_pageHeight - MmInDots(15);
    if (LineCursor + extent <= lastLine || MmInDots(10) + extent > lastLine) return false;
    newPage();
    return true;
}

void ReportPage::text(int x, int y, const QString& s, const QColor& c, int size)
{
    beginPage();
    const QFont f = font(size);
    m_p.setFont(f);
    m_p.setPen(ReportColour(c));
    m_p.drawText(QPoint(x, y + QFontMetrics(f, &m_device).ascent()), s);
}

void ReportPage::textCentred(int y, const QString& s, const QColor& c, int size)
{
    text((m_printWidth - textWidth(s, size)) / 2, y, s, c, size);
}

int ReportPage::textWidth(const QString& s, int size) const
{
    return QFontMetrics(font(size), &m_device).horizontalAdvance(s);
}

void ReportPage::rule(int x1, int x2, int y, double widthMm, const QColor& c)
{
    beginPage();
    QPen pen(ReportColour(c));
    pen.setWidth(std::max(1, MmInDots(widthMm)));
    m_p.setPen(pen);
    m_p.drawLine(x1, y, x2, y);
}

QStringList wrapText(const QString& text, const QFont& font, int boxPixels)
{
    // Measure as a screen of 96 pixels per inch does.
    static QImage screen = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        img.setDotsPerMeterX(int(96 / 0.0254));
        img.setDotsPerMeterY(int(96 / 0.0254));
        return img;
    }();
    QStringList lines;
    const QString normalised = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& paragraph : normalised.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, &screen);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(boxPixels);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            while (piece.endsWith(QLatin1Char(' ')))
                piece.chop(1); // the blank the line broke at
            lines << piece;
        }
        layout.endLayout();
    }
    return lines;
}

} // namespace lumo
