#include "jvm/main_method.h"

namespace kite {

namespace {

constexpr const char* kWithArguments = "([Ljava/lang/String;)V";
constexpr const char* kWithoutArguments = "()V";
constexpr jint kPrivateModifier = 0x0002;  // java.lang.reflect.Modifier.PRIVATE

enum class Lookup { Usable, Missing, Failed };

// JNI finds methods whatever their access, so whether one is private is
// asked through reflection. Failed leaves the exception pending.
Lookup accessOf(JNIEnv* env, jclass type, jmethodID method, bool isStatic) {
    jobject member = env->ToReflectedMethod(type, method, isStatic ? JNI_TRUE : JNI_FALSE);
    if (member == nullptr) return Lookup::Failed;
    jclass memberType = env->FindClass("java/lang/reflect/Member");
    if (memberType == nullptr) return Lookup::Failed;
    jmethodID getModifiers = env->GetMethodID(memberType, "getModifiers", "()I");
    if (getModifiers == nullptr) return Lookup::Failed;
    const jint modifiers = env->CallIntMethod(member, getModifiers);
    if (env->ExceptionOccurred() != nullptr) return Lookup::Failed;
    env->DeleteLocalRef(memberType);
    env->DeleteLocalRef(member);
    return (modifiers & kPrivateModifier) != 0 ? Lookup::Missing : Lookup::Usable;
}

// A non-private main of the class (declared or inherited). A method the VM
// does not find is Missing, and the look-up's exception is cleared.
Lookup findMain(JNIEnv* env, jclass type, const char* descriptor, bool isStatic, jmethodID& method) {
    method = isStatic ? env->GetStaticMethodID(type, "main", descriptor) : env->GetMethodID(type, "main", descriptor);
    if (method == nullptr) {
        env->ExceptionClear();
        return Lookup::Missing;
    }
    return accessOf(env, type, method, isStatic);
}

// The class's own constructor without parameters, when it is not private.
// When there is none, the VM's exception stays pending.
bool findConstructor(JNIEnv* env, jclass type, jmethodID& constructor) {
    constructor = env->GetMethodID(type, "<init>", kWithoutArguments);
    return constructor != nullptr && accessOf(env, type, constructor, false) == Lookup::Usable;
}

}  // namespace

MainSelection selectMainMethod(JNIEnv* env, jclass type, MainMethod& main) {
    main = MainMethod{};
    main.method = env->GetStaticMethodID(type, "main", kWithArguments);
    if (main.method != nullptr) return MainSelection::Found;
    // Kept to be reported when no other form is found either: a class
    // without any main fails as it always did.
    jthrowable staticLookupFailure = env->ExceptionOccurred();
    env->ExceptionClear();
    struct Form {
        const char* descriptor;
        bool isStatic;
    };
    constexpr Form kForms[] = {{kWithArguments, false}, {kWithoutArguments, true}, {kWithoutArguments, false}};
    for (const Form& form : kForms) {
        jmethodID method = nullptr;
        const Lookup lookup = findMain(env, type, form.descriptor, form.isStatic, method);
        if (lookup == Lookup::Failed) return MainSelection::NotFound;
        if (lookup == Lookup::Missing) continue;
        main.method = method;
        main.isStatic = form.isStatic;
        main.takesArguments = form.descriptor == kWithArguments;
        if (main.isStatic || findConstructor(env, type, main.constructor)) return MainSelection::Found;
        return MainSelection::NoConstructor;
    }
    if (staticLookupFailure != nullptr) env->Throw(staticLookupFailure);
    return MainSelection::NotFound;
}

void callMainMethod(JNIEnv* env, jclass type, const MainMethod& main, jobjectArray arguments) {
    if (main.isStatic) {
        if (main.takesArguments) {
            env->CallStaticVoidMethod(type, main.method, arguments);
        } else {
            env->CallStaticVoidMethod(type, main.method);
        }
        return;
    }
    jobject application = env->NewObject(type, main.constructor);
    if (application == nullptr) return;  // the constructor threw
    if (main.takesArguments) {
        env->CallVoidMethod(application, main.method, arguments);
    } else {
        env->CallVoidMethod(application, main.method);
    }
}

}  // namespace kite
