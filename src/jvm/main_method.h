// Which method starts the Java application. A static main(String[]) comes
// first, as always; without one, the selection of current Java launchers
// (JDK 25) follows: a main(String[]) that is an instance method, then a
// main() without parameters. An instance main runs on an object made through
// the class's constructor without parameters.
#pragma once

#include <jni.h>

namespace kite {

struct MainMethod {
    jmethodID method = nullptr;
    bool isStatic = true;
    bool takesArguments = true;  // main(String[]); otherwise main()
    // For an instance main: the constructor the object is made with.
    jmethodID constructor = nullptr;
};

enum class MainSelection {
    Found,
    // No usable main. The exception of the static main(String[]) look-up is
    // pending again when the VM raised one, as it reported it.
    NotFound,
    // An instance main, but the class has no non-private constructor without
    // parameters. The VM's exception is pending when it raised one.
    NoConstructor,
};

// Declared or inherited methods count; private ones are passed over, except
// on the static main(String[]) path, which takes what the VM finds.
MainSelection selectMainMethod(JNIEnv* env, jclass type, MainMethod& main);

// Calls the selected main; arguments are used by main(String[]) only. An
// exception thrown by the constructor or by main is left pending.
void callMainMethod(JNIEnv* env, jclass type, const MainMethod& main, jobjectArray arguments);

}  // namespace kite
