// Windows backend: the records of the W enumerations handed back as the A
// functions hand them back, with code page 936 strings, and the A records
// the program passes made into W ones.
//
// The A and W records of winspool and the service manager differ only in
// the type their string pointers point at (and PRINTER_INFO_2's DEVMODE),
// so a record is copied whole and then its string fields are replaced.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/win32/code_page.h"

namespace platform::win32 {

// Records from a W enumeration, laid out again as the A function lays them
// out: the records first, then what their pointers point at, all inside
// the caller's buffer.
class NarrowRecords {
public:
    NarrowRecords(const BYTE* wide, ::DWORD count, std::size_t recordSize);

    // Zero-ended strings at these field offsets of every record.
    void Strings(std::initializer_list<std::size_t> offsets);
    // A list of zero-ended strings ended by an empty one.
    void MultiString(std::size_t offset);
    // Data of another shape (a DEVMODE, a security descriptor): the
    // conversion gives its bytes in the A record, empty when it has none.
    void Binary(std::size_t offset, const std::function<std::string(const void*)>& convert);

    ::DWORD Needed() const;
    ::DWORD Count() const { return m_count; }
    // The caller's buffer must hold Needed() bytes.
    void Write(BYTE* out) const;

private:
    struct Pointee {
        std::size_t record;
        std::size_t field;
        std::string bytes;
        bool binary;
        bool null;
    };
    std::size_t Layout(BYTE* out) const;

    std::vector<BYTE> m_records;
    ::DWORD m_count;
    std::size_t m_recordSize;
    std::vector<Pointee> m_pointees;
};

// Runs a W enumeration (asked for its size, then again while the list
// outgrows the buffer) and answers as the A function would: the records in
// pBuf when they fit, else ERROR_INSUFFICIENT_BUFFER with the size they
// need. `call` is the W function with its other arguments bound; `shape`
// names the string fields of its records.
BOOL EnumerateNarrow(const std::function<BOOL(BYTE*, ::DWORD, ::DWORD*, ::DWORD*)>& call, std::size_t recordSize,
                     const std::function<void(NarrowRecords&)>& shape, BYTE* pBuf, ::DWORD cbBuf, ::DWORD* pcbNeeded,
                     ::DWORD* pcReturned, ::DWORD shortfallError = ERROR_INSUFFICIENT_BUFFER);

// An A record made into its W twin: the same bytes, with each string field
// pointing at a UTF-16 copy that lives as long as this object.
class WideRecord {
public:
    WideRecord(const void* narrow, std::size_t size);
    void Strings(std::initializer_list<std::size_t> offsets);
    void MultiString(std::size_t offset);
    BYTE* get() { return m_record.data(); }

private:
    std::vector<BYTE> m_record;
    std::deque<std::wstring> m_texts;  // a deque never moves what it holds
};

// DEVMODEW as DEVMODEA: the two names in 936, the driver's extra bytes after it.
std::string NarrowDevMode(const void* devModeW);
// A self-relative security descriptor's bytes.
std::string SecurityDescriptorBytes(const void* descriptor);

}  // namespace platform::win32
