// jvm.dll test double: a JVM library for the Windows end-to-end tests. It
// exports the JNI invocation entry points, hands out a JavaVM and JNIEnvs
// whose functions implement what a launcher needs, and plays a scripted
// Java application instead of running Java.
//
// Build variants (same source, separate folders, all named jvm.dll):
//   full/             JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs, JVM_FindClassFromBootLoader
//   no_boot_loader/   without JVM_FindClassFromBootLoader
//   no_default_args/  without JNI_GetDefaultJavaVMInitArgs
//   cdecl/            (32-bit build only) as full, but with JNICALL declared __cdecl
//   with_dependency/  full, importing dependency/kite_double_dep.dll, a DLL
//                     the loader must find for it to load at all
//
// SCRIPT: KITE_DOUBLE_SCRIPT names a UTF-8 file of key=value lines (a Unix
// path /x/y is taken as Z:\x\y). Blank lines and lines starting with '#'
// are skipped; an unknown key or bad value makes every entry point stop the
// process with a message. Keys (default in brackets):
//   create_result=<n>        [0] result of JNI_CreateJavaVM; non-zero creates no VM
//   create_delay=<ms>        [0] JNI_CreateJavaVM sleeps this long first, as a slow VM start
//   default_args_result=<n>  [-1] result of JNI_GetDefaultJavaVMInitArgs
//   java_stack_size=<n>      [1048576] javaStackSize it fills into a JNI 1.1 record
//   attach_result=<n>        [0] result of AttachCurrentThread; non-zero attaches nothing
//   refuse_option=<text>     (repeatable) an option string the VM does not recognise
//   launcher_helper=yes|no   [yes] whether sun/launcher/LauncherHelper exists
//   check_paths=yes|no       [no]  open each entry of java.class.path and java.library.path
//                            and the double's own module name by the ANSI names a JVM uses
//   record=<path>            the record file when KITE_DOUBLE_RECORD is not set (in jvm_double.script)
//   main_class=<a/b/App>     [none] the application class, slash form
//   has_main=yes|no          [yes] it has static main([Ljava/lang/String;)V (no: no main at all)
//   main_forms=<list>        [static] the main methods it declares, comma-separated (empty: none):
//                            static, instance (main([Ljava/lang/String;)V), static_no_args,
//                            no_args (main()V); "private_" before one makes it private
//   constructor=public|private|none  [public] its constructor without parameters
//   missing_method_throws=yes|no  [yes] no: GetMethodID/GetStaticMethodID of a missing
//                            method return null without a pending NoSuchMethodError
//   has_stop=yes|no          [no]  it has static stop()V
//   secondary_main=none|void|int  [none] its static secondaryMain([Ljava/lang/String;) returning V or I
//   secondary_result=<n>     [0] what the int variant returns
//   main=<step>, stop=<step>, secondary=<step>   (repeatable) the steps of
//            main, stop and secondaryMain, in order. stop also releases wait_stop.
// Steps:
//   out <text> / err <text>  println on the current System.out / System.err
//                            (UTF-8 bytes as in the script, then "\r\n")
//   exit <n>                 System.exit(n): the "exit" hook with n, then ExitProcess(n)
//   abort                    the "abort" hook, then abort()
//   throw <class> [<msg>]    the method ends with that exception pending (dotted class name)
//   sleep <ms>               Sleep
//   wait_stop                block until stop() has been called
//   thread <ms> [<text>]     start a non-daemon Java thread that sleeps ms, prints text
//                            on System.out and ends; DestroyJavaVM waits for it
//   thread_exit <ms> <n>     the same thread, but it ends with System.exit(n)
// Unknown options: strings not of a form a HotSpot VM accepts (-D, -X<known>, -XX:,
// -verbose, -ea..., -agent..., exit, abort, vfprintf) or named by refuse_option make
// JNI_CreateJavaVM print "Unrecognized option: <text>" and return -1, unless
// ignoreUnrecognized is set; -Xmx/-Xms/-Xmn/-Xss with a malformed size return -6.
//
// RECORD: KITE_DOUBLE_RECORD names a file that facts are appended to, UTF-8,
// one per line, written through at once. Facts (value parts in <>):
//   library=<own path>  variant=<full|no_boot_loader|no_default_args|cdecl>  process=<pid>   (at load)
//   default_args version=<hex> zeroed=<1 when all other members were 0>
//   create_thread_stack=<bytes reserved for the calling thread's stack>
//   env.KITE_JVM_PATH=<v>  env.KITE_JVM_HOME=<v>  env.Path=<v>  cwd=<current directory>
//   version=<hex>  options=<n>  ignoreUnrecognized=<0|1>
//   option=<text> (extraInfo null) / option_with_extra=<text> (extraInfo set), in order,
//     converted from the ANSI code page
//   unrecognized_option=<text>  create_result=<n>
//   path=<entry> <folder|size=<bytes>|missing>   (check_paths: each path list entry, then the
//     module name, each opened by its ANSI name)  module_ansi=<own path as GetModuleFileNameA gives it>
//   boot_find_class=<name> found=<0|1>   find_class=<name> found=<0|1>
//   check_and_load_main=<name> printToStderr=<0|1> mode=<n>
//   file_opened=<path> append=<0|1>  file_open_failed=<path> error=<code>
//   set_out=<path|console>  set_err=<path|console>
//   constructed=<application class> thread=<name>   (NewObject with its constructor)
//   main_form=<static|instance|static_no_args|no_args>
//   main_called thread=<name>  args=<n>  arg=<each argument>  (arg_null, args=null; main(String[]) only)
//   main_returned / main_threw=<class>
//   stop_called thread=<name>  stop_returned / stop_threw=<class>  waiting_for_stop thread=<name>
//   secondary_main_called=<void|int> thread=<name>  secondary_args=<n>  secondary_arg=<each>
//   secondary_main_returned[=<n>] / secondary_main_threw=<class>
//   thread_started=<name>  thread_ended=<name>
//   system_exit=<n> thread=<name>  exit_hook_returned  vm_abort thread=<name>  abort_hook_returned
//   exception_described=<class>[: <message>] thread=<name>   (by ExceptionDescribe)
//   uncaught=<class>[: <message>] thread=<name>               (pending at DetachCurrentThread)
//   attached=<name> args=<null|set>  attached_again=<name>  attach_failed=<n>
//   detached=<name>  detach_unattached
//   destroy_called thread=<name|unattached>  destroy_waiting=<names>  utf_chars_unreleased=<n>
//   destroy_returned
//   jni_warning=<function> called with a pending <class>
//   fatal=<what>   (an unexpected call or a bad handle; the process then aborts)
// Thread names: "main" for the thread that created the VM, "Thread-<n>" for
// threads attached later and for the double's own Java threads.
#define _JNI_IMPLEMENTATION_
#include <windows.h>

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "environment.h"
#include "invoke_interface.h"
#include "jdk11_init_args.h"
#include "java_streams.h"
#include "jni_functions.h"
#include "record.h"
#include "script.h"
#include "text_encoding.h"
#include "vm_state.h"

using namespace jvm_double;

#if defined(JVM_DOUBLE_WITH_DEPENDENCY)
extern "C" __declspec(dllimport) int kiteDoubleDependency();
#endif

namespace {

HMODULE ownModule = nullptr;

#if defined(JVM_DOUBLE_CDECL)
const char* const variantName = "cdecl";
#elif defined(JVM_DOUBLE_NO_BOOT_LOADER)
const char* const variantName = "no_boot_loader";
#elif defined(JVM_DOUBLE_NO_DEFAULT_ARGS)
const char* const variantName = "no_default_args";
#elif defined(JVM_DOUBLE_WITH_DEPENDENCY)
const char* const variantName = "with_dependency";
#else
const char* const variantName = "full";
#endif

void requireScript() {
    if (!script().error.empty()) fatal("script: " + script().error);
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// A memory size as HotSpot reads it: digits and at most one unit letter.
bool validSize(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return false;
    return digits == text.size() ||
           (digits + 1 == text.size() && std::string("kKmMgGtT").find(text[digits]) != std::string::npos);
}

// 0 when a HotSpot VM accepts the option, otherwise the creation result.
jint checkOption(const std::string& option) {
    for (const std::string& refused : script().refusedOptions) {
        if (option == refused) return JNI_ERR;
    }
    for (const char* sized : {"-Xmx", "-Xms", "-Xmn", "-Xss"}) {
        if (startsWith(option, sized)) return validSize(option.substr(4)) ? JNI_OK : JNI_EINVAL;
    }
    static const char* const exact[] = {"exit", "abort", "vfprintf", "-Xrs", "-Xint", "-Xmixed", "-Xcomp",
                                        "-Xbatch", "-Xnoclassgc", "-Xdebug", "-Xcheck:jni", "-Xdiag",
                                        "-Xfuture", "-verbose", "-ea", "-da", "-esa", "-dsa",
                                        "-enableassertions", "-disableassertions", "-enablesystemassertions",
                                        "-disablesystemassertions"};
    for (const char* known : exact) {
        if (option == known) return JNI_OK;
    }
    static const char* const prefixes[] = {"-D", "-XX:", "-Xlog", "-Xshare:", "-Xverify:", "-Xbootclasspath/a:",
                                           "-Xloggc:", "-Xrun", "-verbose:", "-ea:", "-da:", "-enableassertions:",
                                           "-disableassertions:", "-javaagent:", "-agentlib:", "-agentpath:",
                                           "--add-opens=", "--add-exports=", "--enable-native-access="};
    for (const char* known : prefixes) {
        if (startsWith(option, known)) return JNI_OK;
    }
    return JNI_ERR;
}

// What HotSpot prints when it refuses an option.
std::string refusal(const std::string& option, jint check) {
    if (check == JNI_ERR) return "Unrecognized option: " + option;
    if (startsWith(option, "-Xmx")) return "Invalid maximum heap size: " + option;
    if (startsWith(option, "-Xms")) return "Invalid initial heap size: " + option;
    if (startsWith(option, "-Xmn")) return "Invalid maximum new generation size: " + option;
    return "Invalid thread stack size: " + option;
}

// The address range reserved for the calling thread's stack; 0 when the
// system cannot say (GetCurrentThreadStackLimits is looked up at run time
// so that the library also loads where it is missing).
std::size_t currentStackReserve() {
    using StackLimits = void(WINAPI*)(PULONG_PTR, PULONG_PTR);
    auto stackLimits = reinterpret_cast<StackLimits>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetCurrentThreadStackLimits")));
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    if (stackLimits != nullptr) stackLimits(&low, &high);
    return static_cast<std::size_t>(high - low);
}

// What a JVM finds under an ANSI name: the name is given to the ANSI
// functions as it is, in the process's code page.
void recordPathCheck(const std::string& name) {
    std::string found = "missing";
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        found = "folder";
    } else if (attributes != INVALID_FILE_ATTRIBUTES) {
        HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size{};
        if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size)) found = "size=" + std::to_string(size.QuadPart);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    recordFact("path=" + utf8FromAnsi(name) + " " + found);
}

void checkPaths(const JavaVMInitArgs& initArgs) {
    for (jint i = 0; i < initArgs.nOptions; ++i) {
        const std::string text = initArgs.options[i].optionString;
        for (const char* prefix : {"-Djava.class.path=", "-Djava.library.path="}) {
            if (!text.starts_with(prefix)) continue;
            for (std::size_t start = std::strlen(prefix); start <= text.size();) {
                std::size_t end = text.find(';', start);
                if (end == std::string::npos) end = text.size();
                if (end > start) recordPathCheck(text.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    char module[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(ownModule, module, sizeof module);
    recordFact("module_ansi=" + utf8FromAnsi(std::string(module, length)));
    recordPathCheck(std::string(module, length));
}

void recordEnvironment() {
    for (const char16_t* name : {u"KITE_JVM_PATH", u"KITE_JVM_HOME", u"Path"}) {
        recordFact("env." + utf8FromUtf16(name) + "=" + utf8FromUtf16(environmentValue(name)));
    }
    wchar_t directory[MAX_PATH * 4];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH * 4, directory);
    recordFact("cwd=" + utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(directory), length)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    DisableThreadLibraryCalls(instance);
    ownModule = instance;
    openRecord();
    initVm();
    initInvokeInterface(vm().javaVm);
    loadScript();
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH * 4);
    recordFact("library=" + utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(path), length)));
    recordFact(std::string("variant=") + variantName);
    recordFact("process=" + std::to_string(GetCurrentProcessId()));
#if defined(JVM_DOUBLE_WITH_DEPENDENCY)
    recordFact("dependency=" + std::to_string(kiteDoubleDependency()));
#endif
    return TRUE;
}

#if !defined(JVM_DOUBLE_NO_DEFAULT_ARGS)
jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* arguments) {
    requireScript();
    if (arguments == nullptr) fatal("JNI_GetDefaultJavaVMInitArgs: null record");
    auto record = static_cast<JDK1_1InitArgs*>(arguments);
    // Compares member by member: the padding of the record is not the caller's.
    const bool zeroed = record->properties == nullptr && record->checkSource == 0 && record->nativeStackSize == 0 &&
                        record->javaStackSize == 0 && record->minHeapSize == 0 && record->maxHeapSize == 0 &&
                        record->verifyMode == 0 && record->classpath == nullptr && record->vfprintf == nullptr &&
                        record->exit == nullptr && record->abort == nullptr && record->enableClassGC == 0 &&
                        record->enableVerboseGC == 0 && record->disableAsyncGC == 0 && record->verbose == 0 &&
                        record->debugging == 0 && record->debugPort == 0;
    recordFact("default_args version=" + hex(static_cast<unsigned>(record->version)) +
               " zeroed=" + (zeroed ? "1" : "0"));
    // As HotSpot: only a JNI 1.1 record gets the default thread stack size.
    if (record->version == JNI_VERSION_1_1) record->javaStackSize = script().javaStackSize;
    return script().defaultArgsResult;
}
#endif

jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* arguments) {
    requireScript();
    if (pvm == nullptr || penv == nullptr || arguments == nullptr) fatal("JNI_CreateJavaVM: null argument");
    *pvm = nullptr;
    *penv = nullptr;
    recordFact("create_thread_stack=" + std::to_string(currentStackReserve()));
    recordEnvironment();
    auto initArgs = static_cast<JavaVMInitArgs*>(arguments);
    recordFact("version=" + hex(static_cast<unsigned>(initArgs->version)));
    recordFact("options=" + std::to_string(initArgs->nOptions));
    recordFact("ignoreUnrecognized=" + std::to_string(initArgs->ignoreUnrecognized));
    if (script().checkPaths) checkPaths(*initArgs);
    jint result = JNI_OK;
    void(JNICALL* exitHook)(jint) = nullptr;
    void(JNICALL* abortHook)() = nullptr;
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        const JavaVMOption& option = initArgs->options[i];
        if (option.optionString == nullptr) fatal("JNI_CreateJavaVM: an option without text");
        const std::string text = option.optionString;
        recordFact((option.extraInfo == nullptr ? "option=" : "option_with_extra=") + utf8FromAnsi(text));
        if (text == "exit") exitHook = reinterpret_cast<void(JNICALL*)(jint)>(option.extraInfo);
        if (text == "abort") abortHook = reinterpret_cast<void(JNICALL*)()>(option.extraInfo);
        const jint check = checkOption(text);
        if (result != JNI_OK || check == JNI_OK || (check == JNI_ERR && initArgs->ignoreUnrecognized)) continue;
        recordFact("unrecognized_option=" + utf8FromAnsi(text));
        writeConsoleError(refusal(text, check) + "\r\n");
        result = check;
    }
    if (script().createDelay > 0) Sleep(static_cast<DWORD>(script().createDelay));
    VmLock lock;
    if (result == JNI_OK && vm().created) result = JNI_EEXIST;
    if (result == JNI_OK && !supportedJniVersion(initArgs->version)) result = JNI_EVERSION;
    if (result == JNI_OK) result = script().createResult;
    if (result == JNI_OK) {
        vm().created = true;
        vm().exitHook = exitHook;
        vm().abortHook = abortHook;
        initStandardStreams();
        *pvm = &vm().javaVm;
        *penv = &attachThread(GetCurrentThreadId(), "main").env;
    }
    recordFact("create_result=" + std::to_string(result));
    return result;
}

#if !defined(JVM_DOUBLE_NO_BOOT_LOADER)
extern "C" JNIEXPORT jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name) {
    requireScript();
    return findBootClass(env, name);
}
#endif
