#pragma once
// TPanel: the window's plain panel. A rectangle in its own colour with an
// outer and an inner 3-D bevel (raised, lowered or none) and an optional
// caption centred in one line. Panels hold the window's other controls.

#include "Color.h"

#include <QWidget>

namespace tenmari {

class TPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(quint32 Color READ Color WRITE SetColor)
    Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
    Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(TBevelCut)

    explicit TPanel(QWidget* parent = nullptr);

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

    // uic applies a form's property P as setP(value).
    void setColor(TColor value) { SetColor(value); }
    void setBevelOuter(TBevelCut value) { SetBevelOuter(value); }
    void setBevelInner(TBevelCut value) { SetBevelInner(value); }
    void setBevelWidth(int value) { SetBevelWidth(value); }
    void setCaption(const QString& value) { SetCaption(value); }

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
