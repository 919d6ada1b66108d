#include "jvm/java_vm.h"

#include <utility>

#include "foundation/message_catalog.h"
#include "jvm/jvm_interface.h"
#include "jvm/option_assembly.h"
#include "jvm/splash_screen.h"
#include "platform/platform.h"

namespace kite {

namespace {

// The JavaVm the hooks report to. The VM calls them on its own threads,
// with no way to pass a context.
std::atomic<JavaVm*> anchor{nullptr};

}  // namespace

void JNICALL exitHook(jint code) {
    if (JavaVm* javaVm = anchor.load()) javaVm->onExit(code);
}

void JNICALL abortHook() {
    if (JavaVm* javaVm = anchor.load()) javaVm->onAbort();
}

JavaVm::JavaVm(Platform& platform, const Trace& trace) : platform_(platform), trace_(trace) { anchor.store(this); }

JavaVm::~JavaVm() {
    destroy();
    JavaVm* self = this;
    anchor.compare_exchange_strong(self, nullptr);
}

// The library handle is not kept: the library stays loaded for the life of
// the process. The VM takes its home from the name it was loaded under,
// read in the narrow encoding, so the library is loaded by the form of its
// path that survives it.
bool JavaVm::loadLibrary(const WideString& path) {
    WideString form;
    if (!jvmPathForm(platform_, trace_, path, form)) return false;
    void* library = nullptr;
    if (const Status loaded = platform_.processes.loadLibrary(form, library); !loaded) {
        printMessage(platform_, MessageId::JvmLibraryLoadFailed, {path, loaded.code()});
        return false;
    }
    for (const auto& [name, symbol] : {std::pair{"JNI_CreateJavaVM", &createJavaVm_},
                                       std::pair{"JNI_GetDefaultJavaVMInitArgs", &getDefaultJavaVmInitArgs_}}) {
        if (const Status found = platform_.processes.findSymbol(library, name, *symbol); !found) {
            printMessage(platform_, MessageId::WindowsError,
                         {MessageCatalog::text(MessageId::CreateJavaVmNotFound), found.code()});
            return false;
        }
    }
    // Optional: without it the main class is found through FindClass alone.
    static_cast<void>(platform_.processes.findSymbol(library, "JVM_FindClassFromBootLoader", findClassFromBootLoader_));
    return true;
}

std::int32_t JavaVm::defaultThreadStackSize() const {
    JDK1_1InitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_1;
    // The result code is not examined: a VM that no longer supports JNI 1.1
    // may report an error for the query and still fill in javaStackSize.
    reinterpret_cast<GetDefaultJavaVmInitArgsFunction>(getDefaultJavaVmInitArgs_)(&initArgs);
    return initArgs.javaStackSize > 0 ? initArgs.javaStackSize : 0;
}

bool JavaVm::create(std::vector<std::string>& options, void* vfprintfHook) {
    // The option texts are owned by options; the array lives for this call.
    std::vector<JavaVMOption> array;
    array.reserve(options.size() + 3);
    for (std::string& option : options) array.push_back({option.data(), nullptr});
    if (vfprintfHook != nullptr) array.push_back({const_cast<char*>("vfprintf"), vfprintfHook});
    array.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
    array.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});

    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(array.size());
    initArgs.options = array.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const jint result =
        reinterpret_cast<CreateJavaVmFunction>(createJavaVm_)(&vm, reinterpret_cast<void**>(&env), &initArgs);
    if (result != JNI_OK) {
        closeSplashScreen();
        printMessage(platform_, MessageId::JniErrorWithReason,
                     {MessageCatalog::text(MessageId::CreateJavaVmFailed), jniReasonText(result)});
        return false;
    }
    env_ = env;
    vm_.store(vm);
    return true;
}

void JavaVm::destroy() {
    // Waits until every non-daemon Java thread has ended. Threads that attach
    // meanwhile still find the VM.
    if (JavaVM* vm = vm_.load()) {
        vm->DestroyJavaVM();
        vm_.store(nullptr);
    }
    runEndAction();
}

JNIEnv* JavaVm::attachCurrentThread() {
    JavaVM* vm = vm_.load();
    JNIEnv* env = nullptr;
    if (vm == nullptr || vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return nullptr;
    return env;
}

void JavaVm::detachCurrentThread() {
    if (JavaVM* vm = vm_.load(); vm != nullptr && !keepThreadsAttached_) vm->DetachCurrentThread();
}

void JavaVm::onExit(std::int32_t code) {
    // System.exit: the VM has finished its own work and ends the process next.
    runEndAction();
    if (exitListener_ != nullptr) exitListener_->onVmExit(code);
}

void JavaVm::onAbort() {
    if (exitListener_ != nullptr) exitListener_->onVmAbort();
}

void JavaVm::runEndAction() {
    std::function<void()> action = std::move(endAction_);
    endAction_ = nullptr;
    if (action) action();
}

}  // namespace kite
