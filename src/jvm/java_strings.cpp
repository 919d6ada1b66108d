#include "jvm/java_strings.h"

namespace kite {

jstring makeJavaString(const WideString& text, JNIEnv* env) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jstring result = nullptr;
    if (jmethodID constructor = env->GetMethodID(stringClass, "<init>", "([C)V")) {
        const auto length = static_cast<jsize>(text.size());
        if (jcharArray characters = env->NewCharArray(length)) {
            env->SetCharArrayRegion(characters, 0, length, reinterpret_cast<const jchar*>(text.data()));
            if (env->ExceptionOccurred() == nullptr) {
                result = static_cast<jstring>(env->NewObject(stringClass, constructor, characters));
            }
            env->DeleteLocalRef(characters);
        }
    }
    // Callers may make many strings on one thread (argument arrays): keep
    // the local references down to the result.
    env->DeleteLocalRef(stringClass);
    return result;
}

jobjectArray makeJavaStringArray(const WideStringList& items, JNIEnv* env) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(items.size()), stringClass, nullptr);
    if (array == nullptr) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        jstring item = makeJavaString(items[i], env);
        if (item == nullptr) return nullptr;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), item);
        env->DeleteLocalRef(item);
    }
    return array;
}

}  // namespace kite
