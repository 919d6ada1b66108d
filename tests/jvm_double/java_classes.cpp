#include "java_classes.h"


#include "record.h"
#include "script.h"

namespace jvm_double {

namespace {

const MethodInfo methods[] = {
    {MethodId::StringInit, ClassId::String, "<init>", "([C)V", false},
    {MethodId::FileOutputStreamInit, ClassId::FileOutputStream, "<init>", "(Ljava/lang/String;Z)V", false},
    {MethodId::PrintStreamInit, ClassId::PrintStream, "<init>", "(Ljava/io/OutputStream;)V", false},
    {MethodId::SetOut, ClassId::System, "setOut", "(Ljava/io/PrintStream;)V", true},
    {MethodId::SetErr, ClassId::System, "setErr", "(Ljava/io/PrintStream;)V", true},
    {MethodId::SystemExit, ClassId::System, "exit", "(I)V", true},
    {MethodId::CheckAndLoadMain, ClassId::LauncherHelper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;",
     true},
    {MethodId::Main, ClassId::Application, "main", "([Ljava/lang/String;)V", true},
    {MethodId::MainInstance, ClassId::Application, "main", "([Ljava/lang/String;)V", false},
    {MethodId::MainStaticNoArgs, ClassId::Application, "main", "()V", true},
    {MethodId::MainNoArgs, ClassId::Application, "main", "()V", false},
    {MethodId::ApplicationInit, ClassId::Application, "<init>", "()V", false},
    {MethodId::GetModifiers, ClassId::Member, "getModifiers", "()I", false},
    {MethodId::Stop, ClassId::Application, "stop", "()V", true},
    {MethodId::SecondaryMainVoid, ClassId::Application, "secondaryMain", "([Ljava/lang/String;)V", true},
    {MethodId::SecondaryMainInt, ClassId::Application, "secondaryMain", "([Ljava/lang/String;)I", true},
};

// Whether the scripted application class declares the method.
bool declared(const MethodInfo& method) {
    const Script& s = script();
    const MainForm form = mainFormOf(method);
    if (form != MainForm::Count) return s.mains[static_cast<int>(form)].declared;
    switch (method.id) {
    case MethodId::ApplicationInit: return s.constructor != Constructor::None;
    case MethodId::Stop: return s.hasStop;
    case MethodId::SecondaryMainVoid: return s.secondaryMain == SecondaryMain::Void;
    case MethodId::SecondaryMainInt: return s.secondaryMain == SecondaryMain::Int;
    default: return true;
    }
}

}  // namespace

std::string className(ClassId id) {
    switch (id) {
    case ClassId::String: return "java/lang/String";
    case ClassId::System: return "java/lang/System";
    case ClassId::FileOutputStream: return "java/io/FileOutputStream";
    case ClassId::PrintStream: return "java/io/PrintStream";
    case ClassId::LauncherHelper: return "sun/launcher/LauncherHelper";
    case ClassId::Member: return "java/lang/reflect/Member";
    case ClassId::Application: return script().mainClass;
    case ClassId::Count: break;
    }
    return {};
}

std::string dottedName(std::string name) {
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    return name;
}

bool findClassByName(std::string_view name, bool bootLoaderOnly, ClassId& id) {
    for (int i = 0; i < static_cast<int>(ClassId::Count); ++i) {
        const auto candidate = static_cast<ClassId>(i);
        if (candidate == ClassId::Application && (bootLoaderOnly || script().mainClass.empty())) continue;
        if (candidate == ClassId::LauncherHelper && !script().launcherHelper) continue;
        if (className(candidate) == name) {
            id = candidate;
            return true;
        }
    }
    return false;
}

MainForm mainFormOf(const MethodInfo& method) {
    switch (method.id) {
    case MethodId::Main: return MainForm::Static;
    case MethodId::MainInstance: return MainForm::Instance;
    case MethodId::MainStaticNoArgs: return MainForm::StaticNoArgs;
    case MethodId::MainNoArgs: return MainForm::NoArgs;
    default: return MainForm::Count;
    }
}

jint modifiersOf(const MethodInfo& method) {
    const jint privateModifier = 0x0002;
    const MainForm form = mainFormOf(method);
    if (form != MainForm::Count) return script().mains[static_cast<int>(form)].isPrivate ? privateModifier : 0;
    if (method.id == MethodId::ApplicationInit) return script().constructor == Constructor::Private ? privateModifier : 0;
    return 0;
}

const MethodInfo* findMethod(ClassId owner, std::string_view name, std::string_view descriptor, bool isStatic) {
    for (const MethodInfo& method : methods) {
        if (method.owner == owner && method.isStatic == isStatic && name == method.name &&
            descriptor == method.descriptor && declared(method)) {
            return &method;
        }
    }
    return nullptr;
}

const MethodInfo& methodOf(jmethodID id, const char* slot) {
    auto method = reinterpret_cast<const MethodInfo*>(id);
    for (const MethodInfo& known : methods) {
        if (&known == method) return known;
    }
    fatal(std::string(slot) + ": not a method id handed out by this VM");
}

jmethodID methodHandle(const MethodInfo& method) {
    return reinterpret_cast<jmethodID>(const_cast<MethodInfo*>(&method));
}

char returnType(const MethodInfo& method) {
    const std::string_view descriptor = method.descriptor;
    return descriptor[descriptor.find(')') + 1];
}

std::vector<char> parameterTypes(const MethodInfo& method) {
    std::vector<char> types;
    const std::string_view descriptor = method.descriptor;
    for (std::size_t i = 1; descriptor[i] != ')'; ++i) {
        if (descriptor[i] == '[' || descriptor[i] == 'L') {
            while (descriptor[i] == '[') ++i;
            if (descriptor[i] == 'L') i = descriptor.find(';', i);
            types.push_back('L');
        } else {
            types.push_back(descriptor[i]);
        }
    }
    return types;
}

}  // namespace jvm_double
