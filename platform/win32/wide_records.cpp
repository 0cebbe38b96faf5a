// Windows backend: W records handed back as A ones, A records passed as W ones.
#include "platform/win32/wide_records.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace platform::win32 {

namespace {

// DEVMODE and security descriptors are read by their fields: they go on an
// 8-byte boundary, as winspool puts them.
constexpr std::size_t kBinaryAlignment = 8;

std::size_t AlignUp(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

template <typename Pointer>
Pointer FieldPointer(const BYTE* record, std::size_t offset) {
    Pointer value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

template <typename Pointer>
void SetFieldPointer(BYTE* record, std::size_t offset, Pointer value) {
    std::memcpy(record + offset, &value, sizeof value);
}

}  // namespace

NarrowRecords::NarrowRecords(const BYTE* wide, ::DWORD count, std::size_t recordSize)
    : m_records(wide, wide + count * recordSize), m_count(count), m_recordSize(recordSize) {}

void NarrowRecords::Strings(std::initializer_list<std::size_t> offsets) {
    for (::DWORD i = 0; i < m_count; ++i) {
        for (std::size_t offset : offsets) {
            const auto* text = FieldPointer<const wchar_t*>(&m_records[i * m_recordSize], offset);
            Pointee pointee{i, offset, std::string(), false, text == nullptr};
            if (text != nullptr) pointee.bytes = Narrow(text) + '\0';
            m_pointees.push_back(std::move(pointee));
        }
    }
}

void NarrowRecords::MultiString(std::size_t offset) {
    for (::DWORD i = 0; i < m_count; ++i) {
        const auto* list = FieldPointer<const wchar_t*>(&m_records[i * m_recordSize], offset);
        Pointee pointee{i, offset, std::string(), false, list == nullptr};
        if (list != nullptr) {
            for (const wchar_t* item = list; *item != L'\0'; item += std::wcslen(item) + 1) {
                pointee.bytes += Narrow(item) + '\0';
            }
            pointee.bytes += '\0';
        }
        m_pointees.push_back(std::move(pointee));
    }
}

void NarrowRecords::Binary(std::size_t offset, const std::function<std::string(const void*)>& convert) {
    for (::DWORD i = 0; i < m_count; ++i) {
        const auto* data = FieldPointer<const void*>(&m_records[i * m_recordSize], offset);
        Pointee pointee{i, offset, data != nullptr ? convert(data) : std::string(), true, false};
        pointee.null = pointee.bytes.empty();
        m_pointees.push_back(std::move(pointee));
    }
}

// Binary data first, each on its boundary, then the strings; with a null
// `out` only the size is worked out.
std::size_t NarrowRecords::Layout(BYTE* out) const {
    std::size_t at = m_records.size();
    if (out != nullptr && !m_records.empty()) std::memcpy(out, m_records.data(), m_records.size());
    for (bool binary : {true, false}) {
        for (const Pointee& pointee : m_pointees) {
            if (pointee.binary != binary) continue;
            if (pointee.null) {
                if (out != nullptr) SetFieldPointer<void*>(out + pointee.record * m_recordSize, pointee.field, nullptr);
                continue;
            }
            if (binary) at = AlignUp(at, kBinaryAlignment);
            if (out != nullptr) {
                std::memcpy(out + at, pointee.bytes.data(), pointee.bytes.size());
                SetFieldPointer<void*>(out + pointee.record * m_recordSize, pointee.field, out + at);
            }
            at += pointee.bytes.size();
        }
    }
    return at;
}

::DWORD NarrowRecords::Needed() const { return static_cast<::DWORD>(Layout(nullptr)); }

void NarrowRecords::Write(BYTE* out) const { Layout(out); }

BOOL EnumerateNarrow(const std::function<BOOL(BYTE*, ::DWORD, ::DWORD*, ::DWORD*)>& call, std::size_t recordSize,
                     const std::function<void(NarrowRecords&)>& shape, BYTE* pBuf, ::DWORD cbBuf, ::DWORD* pcbNeeded,
                     ::DWORD* pcReturned, ::DWORD shortfallError) {
    // What the system refuses before looking at the records, it refuses
    // alike in both forms.
    if (pcbNeeded == nullptr || pcReturned == nullptr || (pBuf == nullptr && cbBuf > 0)) {
        return call(nullptr, cbBuf, pcbNeeded, pcReturned);
    }
    const ::DWORD callersError = ::GetLastError();
    std::vector<BYTE> wide;
    ::DWORD needed = 0;
    ::DWORD count = 0;
    for (int attempt = 0;; ++attempt) {
        count = 0;
        if (call(wide.empty() ? nullptr : wide.data(), static_cast<::DWORD>(wide.size()), &needed, &count)) break;
        if (::GetLastError() != shortfallError || needed <= wide.size() || attempt == 3) {
            *pcbNeeded = needed;
            *pcReturned = 0;
            return FALSE;
        }
        wide.assign(needed, 0);
    }
    NarrowRecords records(wide.data(), count, recordSize);
    shape(records);
    *pcbNeeded = records.Needed();
    *pcReturned = 0;
    if (cbBuf < *pcbNeeded) {
        ::SetLastError(shortfallError);
        return FALSE;
    }
    if (*pcbNeeded > 0) records.Write(pBuf);
    *pcReturned = count;
    ::SetLastError(callersError);
    return TRUE;
}

WideRecord::WideRecord(const void* narrow, std::size_t size)
    : m_record(static_cast<const BYTE*>(narrow), static_cast<const BYTE*>(narrow) + size) {}

void WideRecord::Strings(std::initializer_list<std::size_t> offsets) {
    for (std::size_t offset : offsets) {
        const auto* text = FieldPointer<const char*>(m_record.data(), offset);
        if (text == nullptr) continue;
        m_texts.push_back(Wide(text));
        SetFieldPointer<wchar_t*>(m_record.data(), offset, &m_texts.back()[0]);
    }
}

void WideRecord::MultiString(std::size_t offset) {
    const auto* list = FieldPointer<const char*>(m_record.data(), offset);
    if (list == nullptr) return;
    std::wstring wide;
    for (const char* item = list; *item != '\0'; item += std::strlen(item) + 1) wide += Wide(item) + L'\0';
    wide += L'\0';
    m_texts.push_back(std::move(wide));
    SetFieldPointer<wchar_t*>(m_record.data(), offset, &m_texts.back()[0]);
}

std::string NarrowDevMode(const void* devModeW) {
    const auto* wide = static_cast<const DEVMODEW*>(devModeW);
    const std::size_t wideSize = wide->dmSize;
    const std::size_t nameEnd = offsetof(DEVMODEW, dmSpecVersion);
    if (wideSize < nameEnd) return std::string();
    DEVMODEA narrow;
    std::memset(&narrow, 0, sizeof narrow);
    const auto name = [](const WCHAR* text, std::size_t capacity, BYTE* out) {
        std::size_t length = 0;
        while (length < capacity && text[length] != L'\0') ++length;
        const std::string bytes = Narrow(text, length);
        CopyWhole(bytes, reinterpret_cast<char*>(out), capacity);
    };
    name(wide->dmDeviceName, CCHDEVICENAME, narrow.dmDeviceName);
    // The fields between the two names, then those after the form's name,
    // as far as the W record has them.
    const std::size_t formName = offsetof(DEVMODEW, dmFormName);
    const std::size_t afterForm = offsetof(DEVMODEW, dmLogPixels);
    std::size_t narrowSize = offsetof(DEVMODEA, dmSpecVersion);
    const std::size_t middle = std::min(wideSize, formName) - nameEnd;
    std::memcpy(reinterpret_cast<BYTE*>(&narrow) + narrowSize, reinterpret_cast<const BYTE*>(wide) + nameEnd, middle);
    narrowSize += middle;
    if (wideSize >= afterForm) {
        name(wide->dmFormName, CCHFORMNAME, narrow.dmFormName);
        narrowSize = offsetof(DEVMODEA, dmLogPixels);
        const std::size_t tail = std::min(wideSize - afterForm, sizeof(DEVMODEA) - narrowSize);
        std::memcpy(reinterpret_cast<BYTE*>(&narrow) + narrowSize, reinterpret_cast<const BYTE*>(wide) + afterForm,
                    tail);
        narrowSize += tail;
    }
    narrow.dmSize = static_cast<WORD>(narrowSize);
    std::string bytes(reinterpret_cast<const char*>(&narrow), narrowSize);
    bytes.append(reinterpret_cast<const char*>(wide) + wideSize, wide->dmDriverExtra);
    return bytes;
}

std::string SecurityDescriptorBytes(const void* descriptor) {
    auto* sd = const_cast<PSECURITY_DESCRIPTOR>(descriptor);
    if (!::IsValidSecurityDescriptor(sd)) return std::string();
    return std::string(static_cast<const char*>(descriptor), ::GetSecurityDescriptorLength(sd));
}

}  // namespace platform::win32
