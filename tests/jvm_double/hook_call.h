// Calls the launcher's "exit" and "abort" hooks through the convention that
// jni.h declares for them (JNICALL). In the 32-bit build the call also
// checks that the hook removed exactly the argument bytes this convention
// says it removes: a __stdcall function pops its arguments on return, a
// __cdecl one leaves them to the caller. A launcher whose hooks are declared
// otherwise than its JVM library's then fails here, visibly and every time,
// instead of running on with a shifted stack. (A hook without arguments
// cannot show the difference: both conventions remove nothing.)
#pragma once

#include <jni.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "record.h"

namespace jvm_double {

#if defined(__i386__)

// Calls function with count 32-bit arguments and returns how many bytes of
// them the callee removed from the stack (hook_call.cpp, assembly).
extern "C" std::uint32_t jvm_double_call_counting_removed(void* function, const std::uint32_t* arguments,
                                                         std::uint32_t count);

// Whether a function of this pointer type removes its own arguments. i686
// g++ keeps __stdcall and __cdecl function types apart, so only these two
// are known; any other convention does not compile.
template <class Function>
struct CalleeRemovesArguments;
template <class R, class... A>
struct CalleeRemovesArguments<R(__attribute__((stdcall))*)(A...)> : std::true_type {};
template <class R, class... A>
struct CalleeRemovesArguments<R(__attribute__((cdecl))*)(A...)> : std::false_type {};

template <class... A>
void callHook(const char* name, void(JNICALL* hook)(A...), A... arguments) {
    static_assert(((sizeof(A) == 4) && ...), "hook arguments are 32-bit values");
    const std::uint32_t words[] = {static_cast<std::uint32_t>(arguments)..., 0};
    const std::uint32_t removed =
        jvm_double_call_counting_removed(reinterpret_cast<void*>(hook), words, sizeof...(A));
    const std::uint32_t declared = CalleeRemovesArguments<decltype(hook)>::value ? 4 * sizeof...(A) : 0;
    if (removed != declared) {
        fatal(std::string("calling convention: the ") + name + " hook removed " + std::to_string(removed) +
              " bytes of arguments from the stack, JNICALL declares " + std::to_string(declared));
    }
}

#else

// x86_64 Windows has one calling convention.
template <class... A>
void callHook(const char*, void(JNICALL* hook)(A...), A... arguments) {
    hook(arguments...);
}

#endif

}  // namespace jvm_double
