#pragma once
// The package file object: a read-only binary file with one position that
// Seek moves and Read advances. The record lookup, the header read and the
// update workers all read packages through it.
//
// Threads: one owner at a time; no internal locking.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/file_open.h"


class PackageFile {
public:
    PackageFile() = default;
    ~PackageFile();
    PackageFile(const PackageFile&) = delete;
    PackageFile& operator=(const PackageFile&) = delete;
    PackageFile(PackageFile&& other) noexcept;
    PackageFile& operator=(PackageFile&& other) noexcept;

    // Opens an existing file for reading, shared with other readers. A file
    // held before is closed first.
    bool Open(const std::u16string& path);
    // Opens an existing file for reading with no sharing: while it is open no
    // other handle may read or write it, and the open fails when another one
    // already holds it. Only Windows has sharing modes; elsewhere this is Open.
    bool OpenExclusive(const std::u16string& path);
    bool IsOpen() const { return m_File != nullptr; }
    // Closing a closed file does nothing.
    void Close();

    // Positions at offset bytes from the beginning. Positions past the end
    // are allowed; reading there yields nothing.
    bool Seek(std::int64_t offset);
    // Reads up to n bytes at the position and advances it. A short count
    // means end of file or an I/O error; LastReadFailed tells them apart.
    std::size_t Read(std::uint8_t* dst, std::size_t n);
    // True when the latest Read hit an I/O error or found no open file.
    bool LastReadFailed() const { return m_ReadFailed; }
    // Length in bytes, -1 when unknown or no file is open. Keeps the position.
    std::int64_t Length();

private:
    std::FILE* m_File = nullptr;
    bool m_ReadFailed = false;
};
