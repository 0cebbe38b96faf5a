// Windows backend: adapters between the seam's types and the Windows ones.
//
// The seam's integers and handles have the Windows sizes but not always the
// Windows types (win::DWORD is unsigned int, DWORD is unsigned long), so an
// out-parameter cannot be handed over as it is. OutParam lends the Windows
// function a variable of its own type, seeded from the caller's, and copies
// it back when the full expression ends, that is after the call; it touches
// neither the call's result nor the thread's last error. A null pointer
// stays null, so the system sees exactly what the caller passed.
#pragma once

#include <type_traits>

#include "platform/win32/windows_support.h"

namespace platform::win32 {

template <typename To, typename From>
To ConvertValue(From value) {
    if constexpr (std::is_pointer_v<To> || std::is_pointer_v<From>) {
        return reinterpret_cast<To>(value);
    } else {
        return static_cast<To>(value);
    }
}

template <typename Api, typename Ours>
class OutParam {
public:
    explicit OutParam(Ours* target) : m_target(target), m_value(target ? ConvertValue<Api>(*target) : Api()) {}
    ~OutParam() {
        if (m_target) *m_target = ConvertValue<Ours>(m_value);
    }
    OutParam(const OutParam&) = delete;
    OutParam& operator=(const OutParam&) = delete;

    Api* get() { return m_target ? &m_value : nullptr; }

private:
    Ours* m_target;
    Api m_value;
};

// The common case: a DWORD out-parameter. (::DWORD: inside namespace
// platform the name DWORD means win::DWORD.)
inline OutParam<::DWORD, win::DWORD> Out(win::DWORD* target) { return OutParam<::DWORD, win::DWORD>(target); }

}  // namespace platform::win32
