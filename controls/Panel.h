#pragma once
// TPanel: the window's plain panel. A rectangle in its own colour with an
// outer and an inner 3-D bevel (raised, lowered or none) and an optional
// caption centred in one line. Panels hold the window's other controls.

#include "Color.h"
#include "DesignProperty.h"

#include <QWidget>

namespace tenmari {

class TPanel : public QWidget {
    Q_OBJECT

public:
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(TBevelCut)

    explicit TPanel(QWidget* parent = nullptr);

    // Design settings, also set by form files.
    TENMARI_DESIGN_COLOUR(Color)
    TENMARI_DESIGN_PROPERTY(TBevelCut, BevelOuter)
    TENMARI_DESIGN_PROPERTY(TBevelCut, BevelInner)
    TENMARI_DESIGN_PROPERTY(int, BevelWidth)
    TENMARI_DESIGN_PROPERTY(QString, Caption)

    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);  // at least 1
    QString Caption() const { return caption_; }
    void SetCaption(const QString& value);

    // The area inside both bevels.
    QRect InnerRect() const;

signals:
    void OnDblClick(QObject* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TColor color_ = clBtnFace;
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    QString caption_;
};

}  // namespace tenmari
