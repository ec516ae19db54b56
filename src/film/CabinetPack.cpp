#include "film/CabinetPack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mspack.h>
#include <unistd.h>

#include "film/Streams.h"
#include "platform/Cabinet.h"
#include "platform/FileOps.h"
#include "platform/LittleEndian.h"

namespace movarel {
namespace {

constexpr int kErrorCorrupt = 4;    // "Cabinet file is corrupt"
constexpr int kErrorNoMemory = 5;   // "Could not allocate enough memory"

constexpr int32_t kHeaderSize = 36;
constexpr int32_t kFileEntrySize = 16;
constexpr uint32_t kSignature = 0x4643534D;  // "MSCF"

std::string Hex4(int code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(code) & 0xFFFFu);
    return buffer;
}

std::string CabinetMessage(int errorCode, int osErrorCode, bool errorPresent, bool creationInterface) {
    if (!errorPresent)
        return creationInterface ? "FCI error" : "FDI error";
    std::string text = CabinetErrorText(errorCode, creationInterface) + " [0x" + Hex4(errorCode) + "]";
    if (osErrorCode != 0)
        text += ".\r\n" + std::string(std::strerror(osErrorCode)) + " [0x" + Hex4(osErrorCode) + "].";
    return text;
}

// The run-time's exception for a file the system refused to open.
[[noreturn]] void RaiseOsError(int code) {
    throw Error("System Error.  Code: " + std::to_string(code) + ".\r\n" + std::strerror(code));
}

}  // namespace

CabinetError::CabinetError(int errorCode, int osErrorCode, bool errorPresent, bool creationInterface)
    : std::runtime_error(CabinetMessage(errorCode, osErrorCode, errorPresent, creationInterface)),
      ErrorCode(errorCode),
      OsErrorCode(osErrorCode),
      ErrorPresent(errorPresent),
      CreationInterface(creationInterface) {}

std::string CabinetErrorText(int code, bool creationInterface) {
    static const char* const kFdi[] = {
        "No error",
        "Cabinet not found",
        "Cabinet file does not have the correct format",
        "Cabinet file has an unknown version number",
        "Cabinet file is corrupt",
        "Could not allocate enough memory",
        "Unknown compression type in a cabinet folder",
        "Failure decompressing data from a cabinet file",
        "Failure writing to target file",
        "Cabinets in a set do not have the same RESERVE sizes",
        "Cabinet returned on fdintNEXT_CABINET is incorrect",
        "FDI aborted",
    };
    static const char* const kFci[] = {
        "No error",
        "Failure opening file to be stored in cabinet",
        "Failure reading file to be stored in cabinet",
        "Out of memory in FCI",
        "Could not create a temporary file",
        "Unknown compression type",
        "Could not create cabinet file",
        "Client requested abort",
        "Failure compressing data",
    };
    if (creationInterface)
        return code >= 0 && code < static_cast<int>(std::size(kFci)) ? kFci[code] : "FCI error";
    return code >= 0 && code < static_cast<int>(std::size(kFdi)) ? kFdi[code] : "FDI error";
}

struct CabinetReader::Impl {
    // The decoder context, made on first use and kept for the reader's life.
    std::unique_ptr<cab::Decompressor> context;

    mscab_decompressor* GetContext() {
        if (!context) {
            errno = 0;
            auto made = std::make_unique<cab::Decompressor>();
            if (!made->get())
                throw CabinetError(kErrorNoMemory, errno, true, false);
            context = std::move(made);
        }
        return context->get();
    }
};

CabinetReader::CabinetReader() : impl(new Impl) {}

CabinetReader::~CabinetReader() { delete impl; }

bool CabinetReader::IsCabinet(const std::string& fileName) {
    // A file that cannot be opened is a system error, not "no cabinet".
    int fd = Files().open(fileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        RaiseOsError(errno);
    Files().close(fd);

    mscab_decompressor* d = impl->GetContext();
    // libmspack keeps the name while the cabinet is open; fileName outlives it.
    mscabd_cabinet* cabinet = d->open(d, const_cast<char*>(fileName.c_str()));
    if (!cabinet)
        return cab::IsEmptyCabinet(fileName);
    d->close(d, cabinet);
    return true;
}

bool CabinetReader::ListFiles(const std::string& fileName, const ListCallback& callback) {
    if (!IsCabinet(fileName))
        return false;

    FileStream stream(fileName, kModeReadShared);
    const int32_t fileSize = stream.GetSize();
    uint8_t header[kHeaderSize];
    stream.ReadBuffer(header, kHeaderSize);
    if (ReadU32LE(header) != kSignature)
        throw Error("Cabinet file does not have the correct format");

    // The file may have changed since the check above: every offset and count
    // is held against the real size before it is used.
    const uint32_t fileTable = ReadU32LE(header + 16);
    const uint16_t fileCount = ReadU16LE(header + 28);
    if (fileTable > static_cast<uint32_t>(fileSize))
        throw Error("Failure setting file stream position");
    stream.SetPosition(static_cast<int32_t>(fileTable));
    if (stream.GetPosition() != static_cast<int32_t>(fileTable))
        throw Error("Failure setting file stream position");
    // Each entry takes at least its 16 bytes and a one-byte name terminator.
    if (static_cast<int64_t>(fileCount) * (kFileEntrySize + 1) > static_cast<int64_t>(fileSize) - fileTable)
        throw CabinetError(kErrorCorrupt, 0, true, false);

    bool stop = false;
    for (uint16_t i = 0; i < fileCount && !stop; ++i) {
        uint8_t entry[kFileEntrySize];
        stream.ReadBuffer(entry, kFileEntrySize);
        const uint32_t size = ReadU32LE(entry);
        const uint16_t folderIndex = ReadU16LE(entry + 8);
        const uint16_t date = ReadU16LE(entry + 10);
        const uint16_t time = ReadU16LE(entry + 12);
        const uint16_t attributes = ReadU16LE(entry + 14);
        if (size > static_cast<uint32_t>(INT32_MAX))
            throw CabinetError(kErrorCorrupt, 0, true, false);

        std::string name;
        for (;;) {
            char c;
            stream.ReadBuffer(&c, 1);
            if (c == '\0')
                break;
            if (name.size() >= cab::kMaxEntryName)
                throw CabinetError(kErrorCorrupt, 0, true, false);
            name += c;
        }
        callback(*this, name, static_cast<int32_t>(size), stop, attributes, time, date, folderIndex);
    }
    return true;
}

cab::ExtractResult CabinetReader::Extract(const std::string& cabinetFileName, const std::string& destination,
                                        int flags, int64_t maxBytes) {
    std::error_code ec;
    std::filesystem::path expanded = std::filesystem::absolute(cabinetFileName, ec);
    const std::string cabinetName = ec ? cabinetFileName : expanded.string();
    cab::ExtractOptions options;
    options.followSet = (flags & 1) == 0;
    options.maxBytes = maxBytes;
    // Decoding failures are not raised: the caller finds the file missing.
    return cab::ExtractCabinet(cabinetName, destination, options);
}

}  // namespace movarel
