#include "java_methods.h"

#include <string>

#include "application.h"
#include "java_streams.h"
#include "record.h"
#include "script.h"
#include "text_encoding.h"

namespace jvm_double {

namespace {

// Records the elements of a String[] argument as "<prefix>s=<count>" and
// one "<prefix>=<UTF-8 text>" per element ("<prefix>_null" for null).
void recordStringArray(ThreadEnv& thread, jobject array, const std::string& prefix) {
    VmLock lock;
    const JavaObject* strings = resolveAs(thread, array, JavaObject::Kind::ObjectArray, prefix.c_str());
    if (strings == nullptr) {
        recordFact(prefix + "s=null");
        return;
    }
    recordFact(prefix + "s=" + std::to_string(strings->elements.size()));
    for (const JavaObject* element : strings->elements) {
        if (element == nullptr) {
            recordFact(prefix + "_null");
        } else if (element->kind != JavaObject::Kind::String) {
            fatal(prefix + ": a String[] holds an object that is not a string");
        } else {
            recordFact(prefix + "=" + utf8FromUtf16(element->chars));
        }
    }
}

std::string textOf(ThreadEnv& thread, jobject string, const char* slot) {
    VmLock lock;
    const JavaObject* object = resolveAs(thread, string, JavaObject::Kind::String, slot);
    return object == nullptr ? std::string() : utf8FromUtf16(object->chars);
}

// As the JDK's launcher class: the main class when it can be loaded and has
// a main method; otherwise an error on the chosen stream and System.exit(1).
// In jar mode (2) the jar's manifest is taken to name the script's class.
jobject checkAndLoadMain(ThreadEnv& thread, const jvalue* arguments) {
    const bool printToStderr = arguments[0].z != JNI_FALSE;
    const std::string name = textOf(thread, arguments[2].l, "checkAndLoadMain");
    const jint mode = arguments[1].i;
    recordFact("check_and_load_main=" + name + " printToStderr=" + std::to_string(arguments[0].z) +
               " mode=" + std::to_string(mode));
    const Script& s = script();
    if (s.mainClass.empty() || (mode != 2 && name != dottedName(s.mainClass))) {
        printLine(printToStderr, "Error: Could not find or load main class " + name);
        printLine(printToStderr, "Caused by: java.lang.ClassNotFoundException: " + name);
        systemExit(thread, 1);
    }
    if (!hasAnyMain()) {
        printLine(printToStderr, "Error: Main method not found in class " + name +
                                     ", please define the main method as:");
        printLine(printToStderr, "   public static void main(String[] args)");
        printLine(printToStderr, "or a JavaFX application class must extend javafx.application.Application");
        systemExit(thread, 1);
    }
    VmLock lock;
    return newLocalRef(thread, classObject(ClassId::Application));
}

void setStandardStream(ThreadEnv& thread, bool error, jobject printStream) {
    VmLock lock;
    JavaObject* stream = resolveAs(thread, printStream, JavaObject::Kind::PrintStream, error ? "setErr" : "setOut");
    (error ? vm().systemErr : vm().systemOut) = stream;
    recordFact(std::string(error ? "set_err=" : "set_out=") + streamTarget(stream));
}

void runMain(ThreadEnv& thread, MainForm form, jobject arguments) {
    recordFact(std::string("main_form=") + mainFormName(form));
    recordFact("main_called thread=" + thread.name);
    if (form == MainForm::Static || form == MainForm::Instance) recordStringArray(thread, arguments, "arg");
    if (runSteps(thread, script().mainSteps)) {
        recordFact("main_returned");
    } else {
        recordFact("main_threw=" + thread.pending->throwableClass);
    }
}

void runStop(ThreadEnv& thread) {
    recordFact("stop_called thread=" + thread.name);
    const bool completed = runSteps(thread, script().stopSteps);
    SetEvent(vm().stopEvent);
    recordFact(completed ? "stop_returned" : "stop_threw=" + thread.pending->throwableClass);
}

jint runSecondaryMain(ThreadEnv& thread, jobject arguments, bool returnsInt) {
    recordFact(std::string("secondary_main_called=") + (returnsInt ? "int" : "void") + " thread=" + thread.name);
    recordStringArray(thread, arguments, "secondary_arg");
    if (!runSteps(thread, script().secondarySteps)) {
        recordFact("secondary_main_threw=" + thread.pending->throwableClass);
        return 0;
    }
    const jint result = returnsInt ? script().secondaryResult : 0;
    recordFact(returnsInt ? "secondary_main_returned=" + std::to_string(result) : "secondary_main_returned");
    return result;
}

}  // namespace

jvalue callStaticMethod(ThreadEnv& thread, const MethodInfo& method, const std::vector<jvalue>& arguments) {
    jvalue result{};
    switch (method.id) {
    case MethodId::SetOut: setStandardStream(thread, false, arguments[0].l); break;
    case MethodId::SetErr: setStandardStream(thread, true, arguments[0].l); break;
    case MethodId::SystemExit: systemExit(thread, arguments[0].i); break;
    case MethodId::CheckAndLoadMain: result.l = checkAndLoadMain(thread, arguments.data()); break;
    case MethodId::Main: runMain(thread, MainForm::Static, arguments[0].l); break;
    case MethodId::MainStaticNoArgs: runMain(thread, MainForm::StaticNoArgs, nullptr); break;
    case MethodId::Stop: runStop(thread); break;
    case MethodId::SecondaryMainVoid: runSecondaryMain(thread, arguments[0].l, false); break;
    case MethodId::SecondaryMainInt: result.i = runSecondaryMain(thread, arguments[0].l, true); break;
    default: fatal(std::string("static call of the method ") + method.name + method.descriptor);
    }
    return result;
}

jvalue callInstanceMethod(ThreadEnv& thread, const MethodInfo& method, jobject self,
                          const std::vector<jvalue>& arguments) {
    jvalue result{};
    switch (method.id) {
    case MethodId::MainInstance: runMain(thread, MainForm::Instance, arguments[0].l); break;
    case MethodId::MainNoArgs: runMain(thread, MainForm::NoArgs, nullptr); break;
    case MethodId::GetModifiers: {
        VmLock lock;
        const JavaObject* member = resolveAs(thread, self, JavaObject::Kind::Reflected, "getModifiers");
        result.i = modifiersOf(*member->member);
        break;
    }
    default: fatal(std::string("instance call of the method ") + method.name + method.descriptor);
    }
    return result;
}

jobject construct(ThreadEnv& thread, const MethodInfo& constructor, const std::vector<jvalue>& arguments) {
    VmLock lock;
    switch (constructor.id) {
    case MethodId::StringInit: {
        const JavaObject* characters = resolveAs(thread, arguments[0].l, JavaObject::Kind::CharArray, "String.<init>");
        if (characters == nullptr) {
            throwNew(thread, "java.lang.NullPointerException", "");
            return nullptr;
        }
        JavaObject* string = newObject(JavaObject::Kind::String);
        string->chars = characters->chars;  // UTF-16 code units exactly as given
        return newLocalRef(thread, string);
    }
    case MethodId::FileOutputStreamInit: {
        const JavaObject* name = resolveAs(thread, arguments[0].l, JavaObject::Kind::String, "FileOutputStream.<init>");
        if (name == nullptr) {
            throwNew(thread, "java.lang.NullPointerException", "");
            return nullptr;
        }
        return newLocalRef(thread, openFileOutputStream(thread, name->chars, arguments[1].z != JNI_FALSE));
    }
    case MethodId::PrintStreamInit: {
        JavaObject* out = resolve(thread, arguments[0].l, "PrintStream.<init>");
        if (out == nullptr) {
            throwNew(thread, "java.lang.NullPointerException", "Null output stream");
            return nullptr;
        }
        if (out->kind == JavaObject::Kind::PrintStream) out = out->target;
        if (out->kind != JavaObject::Kind::FileStream) fatal("PrintStream.<init>: the argument is no OutputStream");
        JavaObject* print = newObject(JavaObject::Kind::PrintStream);
        print->target = out;
        return newLocalRef(thread, print);
    }
    case MethodId::ApplicationInit:
        recordFact("constructed=" + className(ClassId::Application) + " thread=" + thread.name);
        {
            JavaObject* application = newObject(JavaObject::Kind::Instance);
            application->classId = ClassId::Application;
            return newLocalRef(thread, application);
        }
    default: fatal(std::string("NewObject with the method ") + constructor.name + ", which is no constructor");
    }
}

}  // namespace jvm_double
