#pragma once
// A paint device that records what is drawn on it instead of drawing: every
// text with its page, position and pen colour, and the colours of every shape.
// It has the metrics of an A4 page at 300 dots per inch.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QSet>
#include <QVector>

namespace lumo::test {

struct RecordedText
{
    int page;
    QPointF at; // the baseline origin, in device units
    QString text;
    QColor colour;
    qreal end = 0; // where the text ends on the baseline
};

class RecordingEngine : public QPaintEngine
{
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    int page = 1;
    QVector<RecordedText> texts;
    QSet<QRgb> shapeColours; // pens and brushes of lines, rectangles, polygons and ellipses

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    Type type() const override { return QPaintEngine::User; }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

    // One drawn text arrives in runs of one script each ("L.U.M.O." and the
    // Chinese after it); a run that continues the last one on its baseline
    // joins it.
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const QPointF at = painter()->combinedTransform().map(p);
        const QColor colour = painter()->pen().color();
        const qreal end = at.x() + item.width();
        if (!texts.isEmpty()) {
            RecordedText& last = texts.last();
            if (last.page == page && last.colour == colour && qAbs(last.at.y() - at.y()) < 0.5 && qAbs(last.end - at.x()) < 0.5) {
                last.text += item.text();
                last.end = end;
                return;
            }
        }
        texts.append({page, at, item.text(), colour, end});
    }
    void drawLines(const QLineF*, int) override { shape(); }
    void drawLines(const QLine*, int) override { shape(); }
    void drawRects(const QRectF*, int) override { shape(); }
    void drawRects(const QRect*, int) override { shape(); }
    void drawEllipse(const QRectF&) override { shape(); }
    void drawPath(const QPainterPath&) override { shape(); }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { shape(); }
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override { shape(); }

private:
    void shape()
    {
        const QPainter* p = painter();
        if (p->pen().style() != Qt::NoPen) shapeColours.insert(p->pen().color().rgb());
        if (p->brush().style() != Qt::NoBrush) shapeColours.insert(p->brush().color().rgb());
    }
};

class RecordingDevice : public QPaintDevice
{
public:
    static constexpr int Dpi = 300;
    mutable RecordingEngine engine;
    int pageWidth = 2480; // A4 portrait; 3508 for landscape

    QPaintEngine* paintEngine() const override { return &engine; }
    void turnPage() { ++engine.page; }

    // The texts of one page in drawing order (page 0: all of them).
    QStringList texts(int page = 0) const
    {
        QStringList out;
        for (const RecordedText& t : engine.texts)
            if (page == 0 || t.page == page) out << t.text;
        return out;
    }
    const RecordedText* find(const QString& text) const
    {
        for (const RecordedText& t : engine.texts)
            if (t.text == text) return &t;
        return nullptr;
    }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return pageWidth;
        case PdmHeight: return 3508;
        case PdmWidthMM: return int(pageWidth * 25.4 / Dpi);
        case PdmHeightMM: return 297;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return Dpi;
        case PdmDepth: return 32;
        case PdmNumColors: return 0xffffff;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return QPaintDevice::metric(m);
        }
    }
};

} // namespace lumo::test
