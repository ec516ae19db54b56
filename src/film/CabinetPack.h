#pragma once
// The cabinet reader: lists a cabinet's files and extracts them into a
// directory, through the cabinet layer (src/platform/Cabinet.h).
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/Cabinet.h"

namespace movarel {

// A cabinet failure. The message is built from the error record as the
// player's error texts give it ("Cabinet file is corrupt [0x0004]" ...).
class CabinetError : public std::runtime_error {
public:
    CabinetError(int errorCode, int osErrorCode, bool errorPresent, bool creationInterface);
    int ErrorCode;
    int OsErrorCode;
    bool ErrorPresent;
    bool CreationInterface;
};

// The message texts of the extraction (FDI) and creation (FCI) interfaces.
std::string CabinetErrorText(int code, bool creationInterface);

class CabinetReader {
public:
    // Called for each listed file; set stop to true to end the listing.
    using ListCallback = std::function<void(CabinetReader& reader, const std::string& name, int32_t size,
                                            bool& stop, uint16_t attributes, uint16_t time,
                                            uint16_t date, uint16_t folderIndex)>;

    CabinetReader();
    ~CabinetReader();
    CabinetReader(const CabinetReader&) = delete;
    CabinetReader& operator=(const CabinetReader&) = delete;

    bool IsCabinet(const std::string& fileName);
    // Returns whether the file is a cabinet; lists its files when it is.
    bool ListFiles(const std::string& fileName, const ListCallback& callback);
    // Extracts every file of the cabinet (and of the following cabinets of a
    // set, unless flags bit 0 is set) into destination. Failures inside the
    // decoder are not raised: a missing output file is what the caller sees,
    // and the result says what was written and what was refused. maxBytes
    // bounds what the whole extraction may write (0 = only the free space).
    // Never writes outside destination.
    cab::ExtractResult Extract(const std::string& cabinetFileName, const std::string& destination, int flags,
                               int64_t maxBytes = 0);

private:
    struct Impl;
    Impl* impl;
};

}  // namespace movarel
