#include "platform/ui/ToolBarIcons.h"

#include "view/window/ViewCommands.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <map>

namespace ketra::ui {
namespace {

using namespace ketra::view;

const QColor kInk(0x33, 0x3d, 0x4a);
const QColor kAccent(0x1f, 0x6f, 0xd0);
const QColor kPipe(0x7a, 0x9c, 0xc4);
const QColor kPaper(0xfa, 0xfa, 0xf7);
const QColor kMarkup(0xd0, 0x3a, 0x2f);

QPen Pen(const QColor& colour, qreal width = 1.6) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Arrow(QPainter& p, QPointF from, QPointF to) {
    p.drawLine(from, to);
    const QLineF line(to, from);
    for (const qreal turn : {30.0, -30.0}) {
        QLineF head = line;
        head.setLength(3.5);
        head.setAngle(line.angle() + turn);
        p.drawLine(head);
    }
}

// A cube seen from one side; `face` 0..5 highlights front, back, top, bottom, left, right.
void Cube(QPainter& p, int face) {
    const QPointF f[4] = {{5, 9}, {15, 9}, {15, 19}, {5, 19}};      // front
    const QPointF b[4] = {{9, 5}, {19, 5}, {19, 15}, {9, 15}};      // back
    const QPointF faces[6][4] = {
        {f[0], f[1], f[2], f[3]}, {b[0], b[1], b[2], b[3]}, {f[0], f[1], b[1], b[0]},
        {f[3], f[2], b[2], b[3]}, {f[0], b[0], b[3], f[3]}, {f[1], b[1], b[2], f[2]},
    };
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPolygon(faces[face], 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(kInk, 1.2));
    p.drawPolygon(f, 4);
    p.drawPolygon(b, 4);
    for (int i = 0; i < 4; ++i)
        p.drawLine(f[i], b[i]);
}

// A pipe with a bend, drawn in the style of a render mode.
void PipeBend(QPainter& p, bool fill, bool edges, bool hidden) {
    QPainterPath centre;
    centre.moveTo(3, 19);
    centre.lineTo(11, 19);
    centre.quadTo(19, 19, 19, 11);
    centre.lineTo(19, 3);
    if (fill) {
        QLinearGradient shade(0, 0, 24, 24);
        shade.setColorAt(0, kPipe.lighter(140));
        shade.setColorAt(1, kPipe.darker(130));
        p.strokePath(centre, QPen(QBrush(shade), 8, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    }
    if (edges) {
        QPainterPathStroker stroker;
        stroker.setWidth(8);
        stroker.setCapStyle(Qt::FlatCap);
        const QPainterPath outline = stroker.createStroke(centre);
        p.setPen(Pen(kInk, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline.simplified());
        if (!hidden) {  // the far side's lines, seen through
            p.setPen(QPen(kInk, 0.8, Qt::DotLine));
            p.drawPath(centre);
        }
    }
}

void Magnifier(QPainter& p) {
    p.setPen(Pen(kInk, 2));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10, 10), 6, 6);
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
}

using Painter = std::function<void(QPainter&)>;

const std::map<unsigned int, Painter>& Painters() {
    static const std::map<unsigned int, Painter> painters = {
        {kCmdCopy, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.3));
             p.setBrush(kPaper);
             p.drawRect(QRectF(4, 3, 11, 14));
             p.drawRect(QRectF(9, 7, 11, 14));
         }},
        {kCmdPrint, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.3));
             p.setBrush(kPaper);
             p.drawRect(QRectF(7, 3, 10, 6));
             p.setBrush(QColor(0xc8, 0xcd, 0xd4));
             p.drawRoundedRect(QRectF(3, 9, 18, 8), 2, 2);
             p.setBrush(kPaper);
             p.drawRect(QRectF(7, 14, 10, 7));
         }},
        {kCmdOrbitCamera, [](QPainter& p) {
             p.setPen(Pen(kAccent, 1.8));
             p.drawArc(QRectF(3, 6, 18, 12), 200 * 16, 300 * 16);
             Arrow(p, QPointF(17, 16.5), QPointF(20.5, 13.5));
             p.setPen(Qt::NoPen);
             p.setBrush(kInk);
             p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
         }},
        {kCmdPanCamera, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.6));
             Arrow(p, QPointF(12, 12), QPointF(12, 3));
             Arrow(p, QPointF(12, 12), QPointF(12, 21));
             Arrow(p, QPointF(12, 12), QPointF(3, 12));
             Arrow(p, QPointF(12, 12), QPointF(21, 12));
         }},
        {kCmdZoomCamera, [](QPainter& p) {
             Magnifier(p);
             p.setPen(Pen(kAccent, 1.8));
             p.drawLine(QPointF(7, 10), QPointF(13, 10));
             p.drawLine(QPointF(10, 7), QPointF(10, 13));
         }},
        {kCmdZoomWindow, [](QPainter& p) {
             p.setPen(QPen(kAccent, 1.3, Qt::DashLine));
             p.drawRect(QRectF(2.5, 2.5, 12, 10));
             Magnifier(p);
         }},
        {kCmdZoomToExtents, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.6));
             for (const QPointF corner : {QPointF(3, 3), QPointF(21, 3), QPointF(21, 21), QPointF(3, 21)}) {
                 const qreal dx = corner.x() < 12 ? 5 : -5, dy = corner.y() < 12 ? 5 : -5;
                 p.drawLine(corner, corner + QPointF(dx, 0));
                 p.drawLine(corner, corner + QPointF(0, dy));
             }
             p.setPen(Qt::NoPen);
             p.setBrush(kPipe);
             p.drawRect(QRectF(7, 7, 10, 10));
         }},
        {kCmdWalk, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.8));
             p.setBrush(kInk);
             p.drawEllipse(QPointF(13, 4), 2, 2);
             p.drawLine(QPointF(12.5, 7), QPointF(11, 14));
             p.drawLine(QPointF(11, 14), QPointF(7, 21));
             p.drawLine(QPointF(11, 14), QPointF(15, 17));
             p.drawLine(QPointF(15, 17), QPointF(15, 21));
             p.drawLine(QPointF(12, 9), QPointF(7, 12));
             p.drawLine(QPointF(12, 9), QPointF(17, 11));
         }},
        {kCmdSelectSingleClick, [](QPainter& p) {
             const QPointF arrow[7] = {{6, 3}, {6, 19}, {10, 15}, {13, 21}, {15.5, 20}, {12.5, 14}, {18, 14}};
             p.setPen(Pen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawPolygon(arrow, 7);
         }},
        {kCmdSelectWindow, [](QPainter& p) {
             p.setPen(QPen(kAccent, 1.3, Qt::DashLine));
             p.drawRect(QRectF(2.5, 2.5, 15, 12));
             const QPointF arrow[7] = {{12, 9}, {12, 21}, {15, 18}, {17, 22}, {19, 21}, {17, 17}, {21, 17}};
             p.setPen(Pen(kInk, 1.1));
             p.setBrush(kPaper);
             p.drawPolygon(arrow, 7);
         }},
        {kCmdZoomToSelection, [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0xf0, 0xb0, 0x30));
             p.drawRect(QRectF(7, 7, 6, 6));
             Magnifier(p);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0xf0, 0xb0, 0x30));
             p.drawRect(QRectF(7.5, 7.5, 5, 5));
         }},
        {kCmdViewFront, [](QPainter& p) { Cube(p, 0); }},
        {kCmdViewBack, [](QPainter& p) { Cube(p, 1); }},
        {kCmdViewTop, [](QPainter& p) { Cube(p, 2); }},
        {kCmdViewBottom, [](QPainter& p) { Cube(p, 3); }},
        {kCmdViewLeft, [](QPainter& p) { Cube(p, 4); }},
        {kCmdViewRight, [](QPainter& p) { Cube(p, 5); }},
        {kCmdViewIsoSE2, [](QPainter& p) {
             const QPointF top[4] = {{12, 3}, {20, 7.5}, {12, 12}, {4, 7.5}};
             const QPointF left[4] = {{4, 7.5}, {12, 12}, {12, 21}, {4, 16.5}};
             const QPointF right[4] = {{12, 12}, {20, 7.5}, {20, 16.5}, {12, 21}};
             p.setPen(Pen(kInk, 1.1));
             p.setBrush(kAccent.lighter(150));
             p.drawPolygon(top, 4);
             p.setBrush(kAccent);
             p.drawPolygon(left, 4);
             p.setBrush(kAccent.darker(130));
             p.drawPolygon(right, 4);
         }},
        {kCmdWireframe, [](QPainter& p) { PipeBend(p, false, true, false); }},
        {kCmdHiddenLines, [](QPainter& p) { PipeBend(p, false, true, true); }},
        {kCmdGouraud, [](QPainter& p) { PipeBend(p, true, false, true); }},
        {kCmdTwoLineMode, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.4));
             p.drawLine(QPointF(3, 8), QPointF(21, 8));
             p.drawLine(QPointF(3, 16), QPointF(21, 16));
             p.setPen(QPen(kAccent, 1, Qt::DashDotLine));
             p.drawLine(QPointF(2, 12), QPointF(22, 12));
         }},
        {kCmdOrthographic, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.4));
             p.setBrush(kPaper);
             p.drawRect(QRectF(3, 7, 10, 10));
             p.drawRect(QRectF(11, 7, 10, 10));
         }},
        {kCmdPerspective, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.4));
             p.setBrush(kPaper);
             const QPointF frustum[4] = {{3, 4}, {21, 8}, {21, 16}, {3, 20}};
             p.drawPolygon(frustum, 4);
             p.drawLine(QPointF(12, 6), QPointF(12, 18));
         }},
        {kCmdTranslucent, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.1));
             p.setBrush(QColor(0x1f, 0x6f, 0xd0, 110));
             p.drawRect(QRectF(3, 3, 12, 12));
             p.setBrush(QColor(0xd0, 0x3a, 0x2f, 110));
             p.drawRect(QRectF(9, 9, 12, 12));
         }},
        {kCmdViewCompass, [](QPainter& p) {
             p.setPen(Pen(QColor(0xc0, 0x30, 0x30), 1.8));
             Arrow(p, QPointF(8, 17), QPointF(21, 17));
             p.setPen(Pen(QColor(0x30, 0x90, 0x30), 1.8));
             Arrow(p, QPointF(8, 17), QPointF(8, 3));
             p.setPen(Pen(QColor(0x30, 0x50, 0xc0), 1.8));
             Arrow(p, QPointF(8, 17), QPointF(3, 22));
         }},
        {kCmdUndo, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.8));
             QPainterPath back;
             back.moveTo(6, 10);
             back.cubicTo(12, 4, 21, 7, 19, 15);
             back.lineTo(17, 19);
             p.drawPath(back);
             const QPointF head[3] = {{3, 7}, {9, 6}, {7, 12}};
             p.setBrush(kInk);
             p.drawPolygon(head, 3);
         }},
        {kCmdAppMarkupCircle, [](QPainter& p) {
             p.setPen(Pen(kMarkup, 1.8));
             p.drawEllipse(QPointF(12, 12), 8, 8);
         }},
        {kCmdAppMarkupRectangle, [](QPainter& p) {
             p.setPen(Pen(kMarkup, 1.8));
             p.drawRect(QRectF(3.5, 6, 17, 12));
         }},
        {kCmdAppMarkupFreehand, [](QPainter& p) {
             p.setPen(Pen(kMarkup, 1.8));
             QPainterPath scribble;
             scribble.moveTo(3, 16);
             scribble.cubicTo(6, 4, 10, 22, 13, 12);
             scribble.cubicTo(15, 5, 19, 18, 21, 8);
             p.drawPath(scribble);
         }},
        {kCmdAppMarkupNote, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.2));
             p.setBrush(QColor(0xff, 0xf1, 0x9c));
             p.drawRect(QRectF(9, 3, 12, 9));
             p.setPen(Pen(kMarkup, 1.4));
             p.drawLine(QPointF(10, 12), QPointF(4, 20));
             p.setBrush(kMarkup);
             p.drawEllipse(QPointF(4, 20), 1.5, 1.5);
         }},
        {kCmdAppMeasure, [](QPainter& p) {
             p.setPen(Pen(kInk, 1.3));
             p.setBrush(QColor(0xf0, 0xd0, 0x80));
             p.drawRect(QRectF(2.5, 9, 19, 7));
             for (int i = 0; i < 5; ++i)
                 p.drawLine(QPointF(5 + 3.5 * i, 9), QPointF(5 + 3.5 * i, i % 2 ? 11.5 : 13));
             p.setPen(Pen(kAccent, 1.3));
             Arrow(p, QPointF(12, 5), QPointF(21, 5));
             Arrow(p, QPointF(12, 5), QPointF(3, 5));
         }},
    };
    return painters;
}

} // namespace

QIcon ToolBarIcon(unsigned int id) {
    const auto& painters = Painters();
    auto found = painters.find(id == kCmdViewIsoSE ? kCmdViewIsoSE2 : id);
    if (found == painters.end())
        return {};
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(kToolBarIconSize * scale, kToolBarIconSize * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        found->second(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ketra::ui
