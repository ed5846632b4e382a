#pragma once
// A TWImage over a QImage (safe from any thread: QImage is implicitly shared and
// read-only here).

#include <QImage>

#include "files/TWImage.h"

class TWQtImage : public TWImage {
public:
    explicit TWQtImage(QImage image) : image_(std::move(image)) {}
    double width() const override { return image_.width(); }
    double height() const override { return image_.height(); }
    const QImage& image() const { return image_; }

private:
    QImage image_;
};
