#pragma once
// TImage: a picture drawn at its own size from the top-left corner and cut
// at the widget's edges. Where it does not reach, the parent shows through.
// It looks the same whether enabled or not.

#include "DesignProperty.h"

#include <QPixmap>
#include <QWidget>

namespace tenmari {

class TImage : public QWidget {
    Q_OBJECT

public:
    TENMARI_DESIGN_PROPERTY(QPixmap, Picture)

    explicit TImage(QWidget* parent = nullptr);

    QPixmap Picture() const { return picture_; }
    void SetPicture(const QPixmap& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace tenmari
