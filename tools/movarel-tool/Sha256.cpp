#include "Sha256.h"

#include <QByteArrayView>

namespace movarel::tool {

void Sha256::Update(const uint8_t* data, size_t length) {
    // A frame's pixels can pass the range of one view's size type only in
    // theory; feed in pieces so nothing is ever cut.
    constexpr size_t kPiece = size_t{1} << 30;
    while (length > 0) {
        const size_t n = length < kPiece ? length : kPiece;
        hash_.addData(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n)));
        data += n;
        length -= n;
    }
}

std::string Sha256::HexDigest() const { return hash_.result().toHex().toStdString(); }

}  // namespace movarel::tool
