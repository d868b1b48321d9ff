// The two control kinds Qt does not have as such: a push button that puts its
// image and caption at fixed distances, and a label that can be clicked.
#pragma once

#include <QLabel>
#include <QPushButton>

#include <functional>

namespace tirevo {

class BitBtn : public QPushButton {
    Q_OBJECT
public:
    BitBtn(const QString& caption, const QIcon& glyph, QWidget* parent);

    static constexpr int kGlyphLeft = 30;
    static constexpr int kCaptionGap = 15;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // A picture made only when the label is first painted: most starts
    // connect at once and never show it.
    void SetPictureLoader(std::function<QPixmap()> loader) { loader_ = std::move(loader); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void LoadPicture();

    std::function<QPixmap()> loader_;
    bool loadQueued_ = false;
};

}  // namespace tirevo
