// Drives the jvm.dll test double the way a launcher does, to check the
// double itself: load it, ask for the default stack size, create the VM on
// a Java main thread, optionally redirect System.out/System.err, find the
// main class (through the launcher class when the library offers the boot
// loader lookup), call main with the arguments, detach, and destroy the VM.
//
//   double_probe <jvm.dll> <main class, slash form> [--out <file>] [--err <file>]
//                [--stop-after <ms>] [--secondary-after <ms>] [-- <arguments>...]
//
// --stop-after calls stop() and --secondary-after calls secondaryMain("x", "y")
// from a thread of their own after the delay. --misuse slot|deleted-ref makes
// a call the double must refuse (an unimplemented JNI function, a deleted
// local reference). Exit code: the Java main
// thread's result (0 or 1), or 2 for a usage or loading problem.
#include <windows.h>

#include <jni.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jdk11_init_args.h"

namespace {

using CreateJavaVm = decltype(&JNI_CreateJavaVM);
using GetDefaultJavaVmInitArgs = decltype(&JNI_GetDefaultJavaVMInitArgs);
using FindClassFromBootLoader = jclass(JNICALL*)(JNIEnv*, const char*);

struct Probe {
    CreateJavaVm createJavaVm = nullptr;
    FindClassFromBootLoader findBootClass = nullptr;
    std::string mainClass;
    std::wstring outFile;
    std::wstring errFile;
    std::vector<std::wstring> arguments;
    std::wstring misuse;
    JavaVM* vm = nullptr;
    HANDLE mainStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

Probe probe;

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

void JNICALL exitHook(jint code) { std::printf("probe: exit hook %d\n", static_cast<int>(code)); }
void JNICALL abortHook() { std::printf("probe: abort hook\n"); }

jstring javaString(JNIEnv* env, const std::wstring& text) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jmethodID constructor = env->GetMethodID(stringClass, "<init>", "([C)V");
    if (constructor == nullptr) return nullptr;
    jcharArray characters = env->NewCharArray(static_cast<jsize>(text.size()));
    if (characters == nullptr) return nullptr;
    const auto length = static_cast<jsize>(text.size());
    env->SetCharArrayRegion(characters, 0, length, reinterpret_cast<const jchar*>(text.data()));
    auto result = static_cast<jstring>(env->NewObject(stringClass, constructor, characters));
    env->DeleteLocalRef(characters);
    env->DeleteLocalRef(stringClass);
    return result;
}

jobjectArray javaStringArray(JNIEnv* env, const std::vector<std::wstring>& items) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(items.size()), stringClass, nullptr);
    for (std::size_t i = 0; array != nullptr && i < items.size(); ++i) {
        jstring item = javaString(env, items[i]);
        if (item == nullptr) return nullptr;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), item);
        env->DeleteLocalRef(item);
    }
    return array;
}

void redirect(JNIEnv* env, const std::wstring& file, const char* setter) {
    if (file.empty()) return;
    jclass fileStreamClass = env->FindClass("java/io/FileOutputStream");
    jmethodID fileStreamInit = env->GetMethodID(fileStreamClass, "<init>", "(Ljava/lang/String;Z)V");
    jobject fileStream = env->NewObject(fileStreamClass, fileStreamInit, javaString(env, file), JNI_FALSE);
    if (fileStream == nullptr) {
        env->ExceptionDescribe();
        return;
    }
    jclass printStreamClass = env->FindClass("java/io/PrintStream");
    jmethodID printStreamInit = env->GetMethodID(printStreamClass, "<init>", "(Ljava/io/OutputStream;)V");
    jobject printStream = env->NewObject(printStreamClass, printStreamInit, fileStream);
    jclass system = env->FindClass("java/lang/System");
    jmethodID install = env->GetStaticMethodID(system, setter, "(Ljava/io/PrintStream;)V");
    env->CallStaticVoidMethod(system, install, printStream);
}

jclass findMainClass(JNIEnv* env) {
    if (probe.findBootClass != nullptr) {
        if (jclass helper = probe.findBootClass(env, "sun/launcher/LauncherHelper")) {
            jmethodID check =
                env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
            std::wstring dotted(probe.mainClass.begin(), probe.mainClass.end());
            for (wchar_t& c : dotted) {
                if (c == L'/') c = L'.';
            }
            if (check != nullptr) {
                jstring name = javaString(env, dotted);
                return static_cast<jclass>(env->CallStaticObjectMethod(helper, check, JNI_TRUE, 1, name));
            }
        }
    }
    jclass mainClass = env->FindClass(probe.mainClass.c_str());
    if (mainClass == nullptr) env->ExceptionDescribe();
    return mainClass;
}

DWORD WINAPI javaMainThread(void*) {
    std::vector<JavaVMOption> options = {
        {const_cast<char*>("-Djava.class.path=C:\\app\\app.jar"), nullptr},
        {const_cast<char*>("-Xmx64m"), nullptr},
        {const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)},
        {const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)},
    };
    JavaVMInitArgs initArgs{JNI_VERSION_1_2, static_cast<jint>(options.size()), options.data(), JNI_FALSE};
    JNIEnv* env = nullptr;
    const jint created = probe.createJavaVm(&probe.vm, reinterpret_cast<void**>(&env), &initArgs);
    if (created != JNI_OK) {
        std::printf("probe: JNI_CreateJavaVM returned %d\n", static_cast<int>(created));
        probe.vm = nullptr;
        return 1;
    }
    redirect(env, probe.outFile, "setOut");
    redirect(env, probe.errFile, "setErr");
    jclass mainClass = findMainClass(env);
    if (mainClass == nullptr) return 1;
    // Mistakes the double must stop at, with a message naming them.
    if (probe.misuse == L"slot") env->GetVersion();
    if (probe.misuse == L"deleted-ref") {
        env->DeleteLocalRef(mainClass);
        env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    }
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (main == nullptr) {
        env->ExceptionDescribe();
        return 1;
    }
    jobjectArray arguments = javaStringArray(env, probe.arguments);
    if (arguments == nullptr) return 1;
    SetEvent(probe.mainStarted);
    env->CallStaticVoidMethod(mainClass, main, arguments);
    return probe.vm->DetachCurrentThread() == JNI_OK ? 0 : 1;
}

// Runs on a thread of its own once main has started: stop() or secondaryMain.
struct LaterCall {
    DWORD delay;
    bool secondary;
};

DWORD WINAPI laterCallThread(void* parameter) {
    const LaterCall call = *static_cast<LaterCall*>(parameter);
    WaitForSingleObject(probe.mainStarted, INFINITE);
    Sleep(call.delay);
    JNIEnv* env = nullptr;
    if (probe.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) < 0) return 1;
    if (jclass mainClass = env->FindClass(probe.mainClass.c_str())) {
        if (!call.secondary) {
            if (jmethodID stop = env->GetStaticMethodID(mainClass, "stop", "()V")) {
                env->CallStaticVoidMethodA(mainClass, stop, nullptr);
            }
        } else {
            jmethodID method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)V");
            if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
            jvalue argument{};
            argument.l = javaStringArray(env, {L"x", L"y"});
            if (method != nullptr) {
                env->CallStaticVoidMethodA(mainClass, method, &argument);
            } else if ((method = env->GetStaticMethodID(mainClass, "secondaryMain", "([Ljava/lang/String;)I"))) {
                std::printf("probe: secondaryMain returned %d\n",
                            static_cast<int>(env->CallStaticIntMethodA(mainClass, method, &argument)));
            }
        }
    }
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
    probe.vm->DetachCurrentThread();
    return 0;
}

void startLater(DWORD delay, bool secondary) {
    HANDLE thread = CreateThread(nullptr, 0, laterCallThread, new LaterCall{delay, secondary}, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

template <typename Function>
Function entryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: double_probe <jvm.dll> <main class> [options] [-- arguments]\n");
        return 2;
    }
    probe.mainClass = narrow(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--") {
            probe.arguments.assign(argv + i + 1, argv + argc);
            break;
        }
        if (i + 1 >= argc) return 2;
        const std::wstring value = argv[++i];
        if (option == L"--out") {
            probe.outFile = value;
        } else if (option == L"--err") {
            probe.errFile = value;
        } else if (option == L"--misuse") {
            probe.misuse = value;
        } else if (option == L"--stop-after") {
            startLater(static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10)), false);
        } else if (option == L"--secondary-after") {
            startLater(static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10)), true);
        } else {
            return 2;
        }
    }
    HMODULE library = LoadLibraryW(argv[1]);
    if (library == nullptr) {
        std::printf("probe: cannot load the library (error %lu)\n", GetLastError());
        return 2;
    }
    probe.createJavaVm = entryPoint<CreateJavaVm>(library, "JNI_CreateJavaVM");
    auto getDefaults = entryPoint<GetDefaultJavaVmInitArgs>(library, "JNI_GetDefaultJavaVMInitArgs");
    probe.findBootClass = entryPoint<FindClassFromBootLoader>(library, "JVM_FindClassFromBootLoader");
    std::printf("probe: exports create=%d defaults=%d bootloader=%d\n", probe.createJavaVm != nullptr,
                getDefaults != nullptr, probe.findBootClass != nullptr);
    if (probe.createJavaVm == nullptr) return 2;
    DWORD stackSize = 0;
    if (getDefaults != nullptr) {
        JDK1_1InitArgs defaults{};
        defaults.version = JNI_VERSION_1_1;
        getDefaults(&defaults);
        stackSize = defaults.javaStackSize > 0 ? static_cast<DWORD>(defaults.javaStackSize) : 0;
        std::printf("probe: default stack size %lu\n", stackSize);
    }
    std::fflush(stdout);
    const DWORD reserve = STACK_SIZE_PARAM_IS_A_RESERVATION;
    HANDLE thread = CreateThread(nullptr, stackSize, javaMainThread, nullptr, reserve, nullptr);
    if (thread == nullptr) return 2;
    WaitForSingleObject(thread, INFINITE);
    DWORD result = 1;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    if (probe.vm != nullptr) probe.vm->DestroyJavaVM();
    std::printf("probe: main thread result %lu\n", result);
    return static_cast<int>(result);
}
