#pragma once
// SHA-256 of a byte sequence, fed in pieces, for the frame digests.
#include <QCryptographicHash>

#include <cstddef>
#include <cstdint>
#include <string>

namespace movarel::tool {

class Sha256 {
public:
    void Update(const uint8_t* data, size_t length);
    // The digest as 64 lower-case hex digits.
    std::string HexDigest() const;

private:
    QCryptographicHash hash_{QCryptographicHash::Sha256};
};

}  // namespace movarel::tool
