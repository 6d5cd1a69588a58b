#pragma once

#include <QString>
#include <QWidget>

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// A section caption: the text with its first character upper-cased, 12 points semibold in
// Color::ink2.
QString captionText(const QString& text);

class Caption : public QWidget {
    Q_OBJECT
public:
    explicit Caption(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};

}  // namespace tamrel
