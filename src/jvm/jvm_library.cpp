// Loading the JVM library and asking it for its default thread stack size.
#include <utility>

#include "foundation/message_catalog.h"
#include "jvm/jvm_interface.h"
#include "jvm/option_assembly.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace kite {

// The library handle is not kept: the library stays loaded for the life of
// the process. The VM takes its home from the name it was loaded under,
// read in the narrow encoding, so the library is loaded by the form of its
// path that survives it.
bool Launcher::loadJvmLibrary(const WideString& path) {
    WideString form;
    if (!jvmPathForm(*this, path, form)) return false;
    void* library = nullptr;
    if (const Status loaded = platform_.processes.loadLibrary(form, library); !loaded) {
        printMessage(platform_, MessageId::JvmLibraryLoadFailed, {path, loaded.code()});
        return false;
    }
    for (const auto& [name, symbol] : {std::pair{"JNI_CreateJavaVM", &createJavaVm},
                                       std::pair{"JNI_GetDefaultJavaVMInitArgs", &getDefaultJavaVmInitArgs}}) {
        if (const Status found = platform_.processes.findSymbol(library, name, *symbol); !found) {
            printMessage(platform_, MessageId::WindowsError,
                         {MessageCatalog::text(MessageId::CreateJavaVmNotFound), found.code()});
            return false;
        }
    }
    // Optional: without it the main class is found through FindClass alone.
    static_cast<void>(platform_.processes.findSymbol(library, "JVM_FindClassFromBootLoader", findClassFromBootLoader));
    return true;
}

std::int32_t Launcher::defaultThreadStackSize() {
    JDK1_1InitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_1;
    // The result code is not examined: a VM that no longer supports JNI 1.1
    // may report an error for the query and still fill in javaStackSize.
    reinterpret_cast<GetDefaultJavaVmInitArgsFunction>(getDefaultJavaVmInitArgs)(&initArgs);
    return initArgs.javaStackSize > 0 ? initArgs.javaStackSize : 0;
}

}  // namespace kite
