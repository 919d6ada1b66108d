// The JNIEnv functions of the double. Each one checks its JNIEnv (attached,
// used on its own thread) and its references before it does anything, and
// notes in the record when it is called while an exception is pending.
#include "jni_functions.h"

#include <cstdarg>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "application.h"
#include "java_classes.h"
#include "java_methods.h"
#include "jni_slot_names.h"
#include "record.h"
#include "script.h"
#include "text_encoding.h"
#include "vm_state.h"

namespace jvm_double {

namespace {

ThreadEnv& enter(JNIEnv* env, const char* slot) {
    ThreadEnv& thread = threadOf(env, slot);
    if (thread.pending != nullptr) {
        recordFact(std::string("jni_warning=") + slot + " called with a pending " + thread.pending->throwableClass);
    }
    return thread;
}

jclass newClassRef(ThreadEnv& thread, ClassId id) {
    return static_cast<jclass>(newLocalRef(thread, classObject(id)));
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "FindClass");
    if (name == nullptr) fatal("FindClass: null name");
    ClassId id{};
    const bool found = findClassByName(name, false, id);
    recordFact(std::string("find_class=") + name + " found=" + (found ? "1" : "0"));
    if (!found) {
        throwNew(thread, "java.lang.NoClassDefFoundError", name);
        return nullptr;
    }
    return newClassRef(thread, id);
}

jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
    VmLock lock;
    ThreadEnv& thread = threadOf(env, "ExceptionOccurred");
    return static_cast<jthrowable>(newLocalRef(thread, thread.pending));
}

void JNICALL exceptionDescribe(JNIEnv* env) {
    JavaObject* pending = nullptr;
    std::string name;
    {
        VmLock lock;
        ThreadEnv& thread = threadOf(env, "ExceptionDescribe");
        pending = std::exchange(thread.pending, nullptr);
        name = thread.name;
    }
    if (pending == nullptr) return;
    std::string fact = "exception_described=" + pending->throwableClass;
    if (!pending->message.empty()) fact += ": " + pending->message;
    recordFact(fact + " thread=" + name);
    printException(name, *pending);
}

void JNICALL exceptionClear(JNIEnv* env) {
    VmLock lock;
    threadOf(env, "ExceptionClear").pending = nullptr;
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject reference) {
    VmLock lock;
    ThreadEnv& thread = threadOf(env, "DeleteLocalRef");
    if (reference == nullptr) return;
    resolve(thread, reference, "DeleteLocalRef");
    auto ref = reinterpret_cast<LocalRef*>(reference);
    vm().liveRefs.erase(ref);
    vm().deletedRefs.insert(ref);
    std::erase(thread.refs, ref);
}

const MethodInfo* lookUpMethod(JNIEnv* env, jclass type, const char* name, const char* descriptor, bool isStatic,
                               const char* slot) {
    VmLock lock;
    ThreadEnv& thread = enter(env, slot);
    const JavaObject* owner = resolveAs(thread, type, JavaObject::Kind::Class, slot);
    if (owner == nullptr || name == nullptr || descriptor == nullptr) fatal(std::string(slot) + ": null argument");
    const MethodInfo* method = findMethod(owner->classId, name, descriptor, isStatic);
    if (method == nullptr && script().missingMethodThrows) {
        // HotSpot's wording: "static Lcom/example/App;.stop()V"
        throwNew(thread, "java.lang.NoSuchMethodError", std::string(isStatic ? "static " : "") + "L" +
                                                            className(owner->classId) + ";." + name + descriptor);
    }
    return method;
}

jmethodID JNICALL getMethodId(JNIEnv* env, jclass type, const char* name, const char* descriptor) {
    const MethodInfo* method = lookUpMethod(env, type, name, descriptor, false, "GetMethodID");
    return method == nullptr ? nullptr : methodHandle(*method);
}

jmethodID JNICALL getStaticMethodId(JNIEnv* env, jclass type, const char* name, const char* descriptor) {
    const MethodInfo* method = lookUpMethod(env, type, name, descriptor, true, "GetStaticMethodID");
    return method == nullptr ? nullptr : methodHandle(*method);
}

// The arguments of a call, read from a va_list by the method's descriptor
// (the C varargs promotions: small integers as int, float as double).
std::vector<jvalue> argumentsFrom(const MethodInfo& method, va_list list) {
    std::vector<jvalue> values;
    for (char type : parameterTypes(method)) {
        jvalue value{};
        switch (type) {
        case 'Z': value.z = static_cast<jboolean>(va_arg(list, int)); break;
        case 'B': value.b = static_cast<jbyte>(va_arg(list, int)); break;
        case 'C': value.c = static_cast<jchar>(va_arg(list, int)); break;
        case 'S': value.s = static_cast<jshort>(va_arg(list, int)); break;
        case 'I': value.i = va_arg(list, jint); break;
        case 'J': value.j = va_arg(list, jlong); break;
        case 'F': value.f = static_cast<jfloat>(va_arg(list, double)); break;
        case 'D': value.d = va_arg(list, double); break;
        default: value.l = va_arg(list, jobject); break;
        }
        values.push_back(value);
    }
    return values;
}

std::vector<jvalue> argumentsFrom(const MethodInfo& method, const jvalue* array) {
    const std::size_t count = parameterTypes(method).size();
    if (count > 0 && array == nullptr) fatal(std::string("a call of ") + method.name + " without its arguments");
    return std::vector<jvalue>(array, array + count);
}

// The checks shared by the CallStatic<Type>Method functions; returns the
// calling thread and the method.
std::pair<ThreadEnv*, const MethodInfo*> prepareStaticCall(JNIEnv* env, jclass type, jmethodID id, const char* returns,
                                                           const char* slot) {
    VmLock lock;
    ThreadEnv& thread = enter(env, slot);
    const JavaObject* owner = resolveAs(thread, type, JavaObject::Kind::Class, slot);
    const MethodInfo& method = methodOf(id, slot);
    if (owner == nullptr || !method.isStatic || method.owner != owner->classId) {
        fatal(std::string(slot) + ": the method " + method.name + " is no static method of the class passed");
    }
    if (std::strchr(returns, returnType(method)) == nullptr) {
        fatal(std::string(slot) + " used for " + method.name + method.descriptor);
    }
    return {&thread, &method};
}

template <typename Arguments>
jvalue callStatic(JNIEnv* env, jclass type, jmethodID id, const char* returns, const char* slot, Arguments arguments) {
    auto [thread, method] = prepareStaticCall(env, type, id, returns, slot);
    return callStaticMethod(*thread, *method, argumentsFrom(*method, arguments));
}

jobject JNICALL callStaticObjectMethodV(JNIEnv* env, jclass type, jmethodID id, va_list arguments) {
    return callStatic(env, type, id, "L[", "CallStaticObjectMethodV", arguments).l;
}
jobject JNICALL callStaticObjectMethodA(JNIEnv* env, jclass type, jmethodID id, const jvalue* arguments) {
    return callStatic(env, type, id, "L[", "CallStaticObjectMethodA", arguments).l;
}
jobject JNICALL callStaticObjectMethod(JNIEnv* env, jclass type, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    jobject result = callStatic(env, type, id, "L[", "CallStaticObjectMethod", arguments).l;
    va_end(arguments);
    return result;
}

jint JNICALL callStaticIntMethodV(JNIEnv* env, jclass type, jmethodID id, va_list arguments) {
    return callStatic(env, type, id, "I", "CallStaticIntMethodV", arguments).i;
}
jint JNICALL callStaticIntMethodA(JNIEnv* env, jclass type, jmethodID id, const jvalue* arguments) {
    return callStatic(env, type, id, "I", "CallStaticIntMethodA", arguments).i;
}
jint JNICALL callStaticIntMethod(JNIEnv* env, jclass type, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    jint result = callStatic(env, type, id, "I", "CallStaticIntMethod", arguments).i;
    va_end(arguments);
    return result;
}

void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass type, jmethodID id, va_list arguments) {
    callStatic(env, type, id, "V", "CallStaticVoidMethodV", arguments);
}
void JNICALL callStaticVoidMethodA(JNIEnv* env, jclass type, jmethodID id, const jvalue* arguments) {
    callStatic(env, type, id, "V", "CallStaticVoidMethodA", arguments);
}
void JNICALL callStaticVoidMethod(JNIEnv* env, jclass type, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    callStatic(env, type, id, "V", "CallStaticVoidMethod", arguments);
    va_end(arguments);
}

// The checks shared by the Call<Type>Method functions: self is an object
// that has the method (an application object its instance methods, a
// reflected member getModifiers).
std::pair<ThreadEnv*, const MethodInfo*> prepareInstanceCall(JNIEnv* env, jobject self, jmethodID id,
                                                             const char* returns, const char* slot) {
    VmLock lock;
    ThreadEnv& thread = enter(env, slot);
    const JavaObject* object = resolve(thread, self, slot);
    const MethodInfo& method = methodOf(id, slot);
    const bool fits = object != nullptr && !method.isStatic &&
                      ((object->kind == JavaObject::Kind::Instance && method.owner == object->classId) ||
                       (object->kind == JavaObject::Kind::Reflected && method.owner == ClassId::Member));
    if (!fits) fatal(std::string(slot) + ": the method " + method.name + " is no instance method of the object");
    if (std::strchr(returns, returnType(method)) == nullptr) {
        fatal(std::string(slot) + " used for " + method.name + method.descriptor);
    }
    return {&thread, &method};
}

template <typename Arguments>
jvalue callInstance(JNIEnv* env, jobject self, jmethodID id, const char* returns, const char* slot,
                    Arguments arguments) {
    auto [thread, method] = prepareInstanceCall(env, self, id, returns, slot);
    return callInstanceMethod(*thread, *method, self, argumentsFrom(*method, arguments));
}

jint JNICALL callIntMethodV(JNIEnv* env, jobject self, jmethodID id, va_list arguments) {
    return callInstance(env, self, id, "I", "CallIntMethodV", arguments).i;
}
jint JNICALL callIntMethodA(JNIEnv* env, jobject self, jmethodID id, const jvalue* arguments) {
    return callInstance(env, self, id, "I", "CallIntMethodA", arguments).i;
}
jint JNICALL callIntMethod(JNIEnv* env, jobject self, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    jint result = callInstance(env, self, id, "I", "CallIntMethod", arguments).i;
    va_end(arguments);
    return result;
}

void JNICALL callVoidMethodV(JNIEnv* env, jobject self, jmethodID id, va_list arguments) {
    callInstance(env, self, id, "V", "CallVoidMethodV", arguments);
}
void JNICALL callVoidMethodA(JNIEnv* env, jobject self, jmethodID id, const jvalue* arguments) {
    callInstance(env, self, id, "V", "CallVoidMethodA", arguments);
}
void JNICALL callVoidMethod(JNIEnv* env, jobject self, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    callInstance(env, self, id, "V", "CallVoidMethod", arguments);
    va_end(arguments);
}

// The java.lang.reflect.Method or Constructor of a method of the class.
jobject JNICALL toReflectedMethod(JNIEnv* env, jclass type, jmethodID id, jboolean isStatic) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "ToReflectedMethod");
    const JavaObject* owner = resolveAs(thread, type, JavaObject::Kind::Class, "ToReflectedMethod");
    const MethodInfo& method = methodOf(id, "ToReflectedMethod");
    if (owner == nullptr || method.owner != owner->classId || method.isStatic != (isStatic != JNI_FALSE)) {
        fatal(std::string("ToReflectedMethod: ") + method.name + " does not match the class or isStatic passed");
    }
    JavaObject* member = newObject(JavaObject::Kind::Reflected);
    member->member = &method;
    return newLocalRef(thread, member);
}

jint JNICALL jniThrow(JNIEnv* env, jthrowable throwable) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "Throw");
    JavaObject* object = resolveAs(thread, throwable, JavaObject::Kind::Throwable, "Throw");
    if (object == nullptr) fatal("Throw: null throwable");
    thread.pending = object;
    return JNI_OK;
}

template <typename Arguments>
jobject newObjectWith(JNIEnv* env, jclass type, jmethodID id, const char* slot, Arguments arguments) {
    ThreadEnv* thread = nullptr;
    const MethodInfo* constructor = nullptr;
    {
        VmLock lock;
        thread = &enter(env, slot);
        const JavaObject* owner = resolveAs(*thread, type, JavaObject::Kind::Class, slot);
        constructor = &methodOf(id, slot);
        if (owner == nullptr || constructor->owner != owner->classId || std::strcmp(constructor->name, "<init>") != 0) {
            fatal(std::string(slot) + ": the method is no constructor of the class passed");
        }
    }
    return construct(*thread, *constructor, argumentsFrom(*constructor, arguments));
}

jobject JNICALL jniNewObjectV(JNIEnv* env, jclass type, jmethodID id, va_list arguments) {
    return newObjectWith(env, type, id, "NewObjectV", arguments);
}
jobject JNICALL jniNewObjectA(JNIEnv* env, jclass type, jmethodID id, const jvalue* arguments) {
    return newObjectWith(env, type, id, "NewObjectA", arguments);
}
jobject JNICALL jniNewObject(JNIEnv* env, jclass type, jmethodID id, ...) {
    va_list arguments;
    va_start(arguments, id);
    jobject result = newObjectWith(env, type, id, "NewObject", arguments);
    va_end(arguments);
    return result;
}

jcharArray JNICALL newCharArray(JNIEnv* env, jsize length) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "NewCharArray");
    if (length < 0) {
        throwNew(thread, "java.lang.NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    JavaObject* array = newObject(JavaObject::Kind::CharArray);
    array->chars.assign(static_cast<std::size_t>(length), u'\0');
    return static_cast<jcharArray>(newLocalRef(thread, array));
}

void JNICALL setCharArrayRegion(JNIEnv* env, jcharArray array, jsize start, jsize length, const jchar* buffer) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "SetCharArrayRegion");
    JavaObject* characters = resolveAs(thread, array, JavaObject::Kind::CharArray, "SetCharArrayRegion");
    if (characters == nullptr) fatal("SetCharArrayRegion: null array");
    const auto size = static_cast<jsize>(characters->chars.size());
    if (start < 0 || length < 0 || start > size || length > size - start) {
        throwNew(thread, "java.lang.ArrayIndexOutOfBoundsException",
                 "Array region " + std::to_string(start) + ".." + std::to_string(start + length) +
                     " out of bounds for length " + std::to_string(size));
        return;
    }
    if (length > 0 && buffer == nullptr) fatal("SetCharArrayRegion: null buffer");
    for (jsize i = 0; i < length; ++i) characters->chars[static_cast<std::size_t>(start + i)] = buffer[i];
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementType, jobject initial) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "NewObjectArray");
    const JavaObject* type = resolveAs(thread, elementType, JavaObject::Kind::Class, "NewObjectArray");
    if (type == nullptr) fatal("NewObjectArray: null element class");
    JavaObject* first = resolve(thread, initial, "NewObjectArray");
    if (length < 0) {
        throwNew(thread, "java.lang.NegativeArraySizeException", std::to_string(length));
        return nullptr;
    }
    JavaObject* array = newObject(JavaObject::Kind::ObjectArray);
    array->classId = type->classId;
    array->elements.assign(static_cast<std::size_t>(length), first);
    return static_cast<jobjectArray>(newLocalRef(thread, array));
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "SetObjectArrayElement");
    JavaObject* objects = resolveAs(thread, array, JavaObject::Kind::ObjectArray, "SetObjectArrayElement");
    if (objects == nullptr) fatal("SetObjectArrayElement: null array");
    JavaObject* element = resolve(thread, value, "SetObjectArrayElement");
    const auto size = static_cast<jsize>(objects->elements.size());
    if (index < 0 || index >= size) {
        throwNew(thread, "java.lang.ArrayIndexOutOfBoundsException",
                 "Index " + std::to_string(index) + " out of bounds for length " + std::to_string(size));
        return;
    }
    if (element != nullptr && objects->classId == ClassId::String && element->kind != JavaObject::Kind::String) {
        throwNew(thread, "java.lang.ArrayStoreException", "");
        return;
    }
    objects->elements[static_cast<std::size_t>(index)] = element;
}

const char* JNICALL getStringUtfChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "GetStringUTFChars");
    const JavaObject* text = resolveAs(thread, string, JavaObject::Kind::String, "GetStringUTFChars");
    if (text == nullptr) fatal("GetStringUTFChars: null string");
    const std::string utf = modifiedUtf8FromUtf16(text->chars);
    char* copy = new char[utf.size() + 1];
    std::memcpy(copy, utf.c_str(), utf.size() + 1);
    vm().utfChars.insert(copy);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return copy;
}

void JNICALL releaseStringUtfChars(JNIEnv* env, jstring string, const char* chars) {
    VmLock lock;
    ThreadEnv& thread = threadOf(env, "ReleaseStringUTFChars");
    resolveAs(thread, string, JavaObject::Kind::String, "ReleaseStringUTFChars");
    if (vm().utfChars.erase(chars) == 0) fatal("ReleaseStringUTFChars: not a pointer from GetStringUTFChars");
    delete[] chars;
}

// Slots the double does not implement: each names itself and aborts.
template <std::size_t Slot>
void JNICALL unexpectedSlot() {
    fatal(std::string("unexpected JNI call: ") + jniSlotNames[Slot]);
}

constexpr std::size_t slotCount = sizeof(JNINativeInterface_) / sizeof(void*);
static_assert(std::size(jniSlotNames) == slotCount, "jni_slot_names.h does not match jni.h");

template <std::size_t... Slots>
JNINativeInterface_ trapTable(std::index_sequence<Slots...>) {
    using Trap = void(JNICALL*)();
    const Trap traps[] = {&unexpectedSlot<Slots>...};
    static_assert(sizeof traps == sizeof(JNINativeInterface_));
    JNINativeInterface_ table;
    std::memcpy(&table, traps, sizeof table);
    return table;
}

JNINativeInterface_ buildTable() {
    JNINativeInterface_ table = trapTable(std::make_index_sequence<slotCount>());
    table.FindClass = findClass;
    table.ExceptionOccurred = exceptionOccurred;
    table.ExceptionDescribe = exceptionDescribe;
    table.ExceptionClear = exceptionClear;
    table.DeleteLocalRef = deleteLocalRef;
    table.NewObject = jniNewObject;
    table.NewObjectV = jniNewObjectV;
    table.NewObjectA = jniNewObjectA;
    table.GetMethodID = getMethodId;
    table.GetStaticMethodID = getStaticMethodId;
    table.ToReflectedMethod = toReflectedMethod;
    table.Throw = jniThrow;
    table.CallIntMethod = callIntMethod;
    table.CallIntMethodV = callIntMethodV;
    table.CallIntMethodA = callIntMethodA;
    table.CallVoidMethod = callVoidMethod;
    table.CallVoidMethodV = callVoidMethodV;
    table.CallVoidMethodA = callVoidMethodA;
    table.CallStaticObjectMethod = callStaticObjectMethod;
    table.CallStaticObjectMethodV = callStaticObjectMethodV;
    table.CallStaticObjectMethodA = callStaticObjectMethodA;
    table.CallStaticIntMethod = callStaticIntMethod;
    table.CallStaticIntMethodV = callStaticIntMethodV;
    table.CallStaticIntMethodA = callStaticIntMethodA;
    table.CallStaticVoidMethod = callStaticVoidMethod;
    table.CallStaticVoidMethodV = callStaticVoidMethodV;
    table.CallStaticVoidMethodA = callStaticVoidMethodA;
    table.NewCharArray = newCharArray;
    table.SetCharArrayRegion = setCharArrayRegion;
    table.NewObjectArray = newObjectArray;
    table.SetObjectArrayElement = setObjectArrayElement;
    table.GetStringUTFChars = getStringUtfChars;
    table.ReleaseStringUTFChars = releaseStringUtfChars;
    return table;
}

}  // namespace

const JNINativeInterface_ jniFunctionTable = buildTable();

// For JVM_FindClassFromBootLoader: the class as the boot loader sees it.
jclass findBootClass(JNIEnv* env, const char* name) {
    VmLock lock;
    ThreadEnv& thread = enter(env, "JVM_FindClassFromBootLoader");
    if (name == nullptr) fatal("JVM_FindClassFromBootLoader: null name");
    ClassId id{};
    const bool found = findClassByName(name, true, id);
    recordFact(std::string("boot_find_class=") + name + " found=" + (found ? "1" : "0"));
    return found ? newClassRef(thread, id) : nullptr;
}

}  // namespace jvm_double
