// The classes and methods the double's Java world consists of: the few JDK
// classes a launcher touches and the scripted application class.
#pragma once

#include <jni.h>

#include <string>
#include <string_view>
#include <vector>

#include "script.h"
#include "vm_state.h"

namespace jvm_double {

enum class MethodId {
    StringInit,             // java/lang/String.<init>([C)V
    FileOutputStreamInit,   // java/io/FileOutputStream.<init>(Ljava/lang/String;Z)V
    PrintStreamInit,        // java/io/PrintStream.<init>(Ljava/io/OutputStream;)V
    SetOut,                 // java/lang/System.setOut(Ljava/io/PrintStream;)V
    SetErr,                 // java/lang/System.setErr(Ljava/io/PrintStream;)V
    SystemExit,             // java/lang/System.exit(I)V
    CheckAndLoadMain,       // sun/launcher/LauncherHelper.checkAndLoadMain(ZILjava/lang/String;)Ljava/lang/Class;
    Main,                   // <application>.main([Ljava/lang/String;)V, static
    MainInstance,           // <application>.main([Ljava/lang/String;)V, instance
    MainStaticNoArgs,       // <application>.main()V, static
    MainNoArgs,             // <application>.main()V, instance
    ApplicationInit,        // <application>.<init>()V
    GetModifiers,           // java/lang/reflect/Member.getModifiers()I
    Stop,                   // <application>.stop()V
    SecondaryMainVoid,      // <application>.secondaryMain([Ljava/lang/String;)V
    SecondaryMainInt,       // <application>.secondaryMain([Ljava/lang/String;)I
};

struct MethodInfo {
    MethodId id;
    ClassId owner;
    const char* name;
    const char* descriptor;
    bool isStatic;
};

std::string className(ClassId id);  // slash form
std::string dottedName(std::string name);

// Finds a class by its slash name, as FindClass (application class
// included) or as the boot loader sees it (JDK classes only).
bool findClassByName(std::string_view name, bool bootLoaderOnly, ClassId& id);

// The main form a method of the application is, or Count for any other method.
MainForm mainFormOf(const MethodInfo& method);
// Its modifiers as Member.getModifiers answers (private as scripted, otherwise package access).
jint modifiersOf(const MethodInfo& method);

// The method as GetMethodID/GetStaticMethodID finds it, or null.
const MethodInfo* findMethod(ClassId owner, std::string_view name, std::string_view descriptor, bool isStatic);

// The method behind a jmethodID handed out by findMethod; anything else is fatal.
const MethodInfo& methodOf(jmethodID id, const char* slot);
jmethodID methodHandle(const MethodInfo& method);

// The descriptor's return type ('V', 'I', 'L', ...) and parameter types
// ('Z', 'I', 'J', 'L' for every reference, ...).
char returnType(const MethodInfo& method);
std::vector<char> parameterTypes(const MethodInfo& method);

}  // namespace jvm_double
