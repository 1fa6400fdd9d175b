// GetProcAddress with the calling convention checked. The system's entry
// points are WINAPI (stdcall on 32-bit Windows); a pointer type declared
// without it calls them with the wrong convention and breaks the stack only
// in the 32-bit program. Here such a type does not compile there.
#pragma once

#include <windows.h>

#include <type_traits>

template <typename Fn> struct IsWinapiProcedure : std::false_type {
};
template <typename R, typename... Args>
struct IsWinapiProcedure<R(WINAPI*)(Args...)> : std::true_type {
};

template <typename Fn> Fn SystemProcedure(HMODULE module, const char* name)
{
    static_assert(IsWinapiProcedure<Fn>::value, "declare the procedure type WINAPI");
    // Through void*: FARPROC's own (empty) parameter list says nothing.
    return (Fn)(void*)GetProcAddress(module, name);
}
