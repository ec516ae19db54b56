#include "PngWriter.h"

#include <QImage>
#include <QString>

#include "film/Picture.h"

namespace movarel::tool {

bool WritePng(const std::string& path, const Picture& picture) {
    const size_t w = static_cast<size_t>(picture.Width), h = static_cast<size_t>(picture.Height);
    if (w == 0 || h == 0 || picture.Pixels.size() != w * h)
        return false;
    // The picture's pixels are 0x00RRGGBB words, which is QImage's RGB32; the
    // image only borrows them, and the PNG is written as 8-bit RGB (no alpha).
    const QImage image(reinterpret_cast<const uchar*>(picture.Pixels.data()), picture.Width, picture.Height,
                       static_cast<qsizetype>(w * sizeof(uint32_t)), QImage::Format_RGB32);
    return image.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(path), "PNG");
}

}  // namespace movarel::tool
