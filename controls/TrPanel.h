#pragma once
// TTransPanel: a caption of one or several lines over an optional 3-D frame
// and an optional shape (rectangle, square, rounded, ellipse, circle or a
// speech balloon with a tail). When Transparent, whatever the panel does not
// paint shows its parent's drawing. It can also confine the mouse pointer to
// itself and reports a mouse leave only once the pointer is really outside.

#include "Color.h"
#include "DesignProperty.h"
#include "InputState.h"

#include <QBrush>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <optional>

class QPainter;

namespace tenmari {

class TTransPanel : public QWidget {
    Q_OBJECT

public:
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)
    enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
    Q_ENUM(TBevelCut)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)
    enum TShapeType { stNone, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle, stFukidasi };
    Q_ENUM(TShapeType)
    enum TFukidasiType { ftLeft, ftRight, ftTop, ftBottom };
    Q_ENUM(TFukidasiType)

    explicit TTransPanel(QWidget* parent = nullptr);
    ~TTransPanel() override;

    // Design settings, also set by form files.
    TENMARI_DESIGN_PROPERTY(TAlignment, Alignment)
    TENMARI_DESIGN_PROPERTY(TBevelCut, BevelOuter)
    TENMARI_DESIGN_PROPERTY(TBevelCut, BevelInner)
    TENMARI_DESIGN_PROPERTY(int, BevelWidth)
    TENMARI_DESIGN_PROPERTY(int, BorderWidth)
    TENMARI_DESIGN_PROPERTY(TBorderStyle, BorderStyle)
    TENMARI_DESIGN_PROPERTY(TShapeType, Shape)
    TENMARI_DESIGN_PROPERTY(QBrush, ShapeBrush)
    TENMARI_DESIGN_PROPERTY(QPen, ShapePen, STORED false)
    // The brush and pen attributes one by one, for form files.
    TENMARI_DESIGN_COLOUR(ShapeBrushColor, STORED false)
    TENMARI_DESIGN_PROPERTY(Qt::BrushStyle, ShapeBrushStyle, STORED false)
    TENMARI_DESIGN_COLOUR(ShapePenColor)
    TENMARI_DESIGN_PROPERTY(int, ShapePenWidth)
    TENMARI_DESIGN_PROPERTY(Qt::PenStyle, ShapePenStyle)
    TENMARI_DESIGN_PROPERTY(bool, ShapeTransparent)
    TENMARI_DESIGN_PROPERTY(int, ShapeRoundSize)
    TENMARI_DESIGN_PROPERTY(TFukidasiType, FukidasiType)
    TENMARI_DESIGN_PROPERTY(int, FukidasiPosition)
    TENMARI_DESIGN_PROPERTY(bool, Transparent)
    TENMARI_DESIGN_PROPERTY(bool, MouseClip)
    TENMARI_DESIGN_PROPERTY(bool, MouseClipBack)
    TENMARI_DESIGN_PROPERTY(QString, Caption)
    TENMARI_DESIGN_PROPERTY(QStringList, CaptionLines)
    TENMARI_DESIGN_COLOUR(Color)

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);  // at least 1
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);  // at least 0
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);  // stored only; the look does not change
    TShapeType Shape() const { return shape_; }
    void SetShape(TShapeType value);
    QBrush ShapeBrush() const { return shapeBrush_; }
    void SetShapeBrush(const QBrush& value);
    QPen ShapePen() const { return shapePen_; }
    void SetShapePen(const QPen& value);
    TColor ShapeBrushColor() const { return fromQColor(shapeBrush_.color()); }
    void SetShapeBrushColor(TColor value);
    Qt::BrushStyle ShapeBrushStyle() const { return shapeBrush_.style(); }
    void SetShapeBrushStyle(Qt::BrushStyle value);
    TColor ShapePenColor() const { return fromQColor(shapePen_.color()); }
    void SetShapePenColor(TColor value);
    int ShapePenWidth() const { return shapePen_.width(); }
    void SetShapePenWidth(int value);
    Qt::PenStyle ShapePenStyle() const { return shapePen_.style(); }
    void SetShapePenStyle(Qt::PenStyle value);
    bool ShapeTransparent() const { return shapeTransparent_; }
    void SetShapeTransparent(bool value);
    int ShapeRoundSize() const { return shapeRoundSize_; }
    void SetShapeRoundSize(int value);  // 1 to 32
    TFukidasiType FukidasiType() const { return fukidasiType_; }
    void SetFukidasiType(TFukidasiType value);
    int FukidasiPosition() const { return fukidasiPosition_; }
    void SetFukidasiPosition(int value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool MouseClip() const { return mouseClip_; }
    void SetMouseClip(bool value);
    bool MouseClipBack() const { return mouseClipBack_; }
    void SetMouseClipBack(bool value) { mouseClipBack_ = value; }
    QString Caption() const { return caption_; }
    void SetCaption(const QString& value);
    QStringList CaptionLines() const { return captionLines_; }
    void SetCaptionLines(const QStringList& value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);

    // Geometry of the paint step, for a panel of the given size.
    // The figure's box (right and bottom exclusive) for the square shapes
    // centred; the balloon uses the seven outline points instead.
    static QRect ShapeBox(TShapeType shape, int penWidth, QSize size);
    static QPolygon FukidasiOutline(TFukidasiType type, QSize size, int position);
    // Top-left corner of each line of CaptionLines as painted now.
    QVector<QPoint> CaptionLinePositions() const;

public slots:
    // Repaint after the shape brush or pen changed.
    void StyleChanged();

signals:
    // The pointer left the panel's rectangle (not merely onto a child).
    void OnMouseLeave(QObject* sender, tenmari::TShiftState shift, int x, int y);
    void OnClick(QObject* sender);
    void OnDblClick(QObject* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintShape(QPainter& painter) const;
    void paintCaption(QPainter& painter, const QRect& oneLine) const;
    QPoint captionShift() const;

    TAlignment alignment_ = taCenter;
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNone;
    TShapeType shape_ = stNone;
    QBrush shapeBrush_{Qt::white, Qt::SolidPattern};
    QPen shapePen_{QBrush(Qt::black), 1, Qt::SolidLine};
    bool shapeTransparent_ = false;
    int shapeRoundSize_ = 4;
    TFukidasiType fukidasiType_ = ftLeft;
    int fukidasiPosition_ = 0;
    bool transparent_ = false;
    bool mouseClip_ = false;
    bool mouseClipBack_ = false;
    QString caption_;
    QStringList captionLines_;
    TColor color_ = clBtnFace;
    // Pointer confinement in force when the panel was made, and when
    // MouseClip was last switched on with MouseClipBack set.
    std::optional<QRect> createClipRect_;
    std::optional<QRect> savedClipRect_;
};

}  // namespace tenmari
