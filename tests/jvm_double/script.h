// The script: how the double behaves, read once at load from the file that
// KITE_DOUBLE_SCRIPT names (key=value lines, format in jvm_double.cpp).
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace jvm_double {

// One thing a scripted Java method does.
struct Step {
    enum class Kind {
        PrintOut,   // out <text>: a line on System.out
        PrintErr,   // err <text>: a line on System.err
        Exit,       // exit <n>: System.exit(n)
        Abort,      // abort: the VM aborts (abort hook, then the process ends)
        Throw,      // throw <class> [<message>]: the method ends with an exception
        Sleep,      // sleep <ms>
        WaitStop,   // wait_stop: block until stop() has been called
        Thread,     // thread <ms> [<text>]: start a non-daemon thread that runs for ms
        ThreadExit, // thread_exit <ms> <n>: start a non-daemon thread that calls System.exit(n) after ms
    };
    Kind kind;
    long long number = 0;
    std::string text;    // UTF-8
    std::string detail;  // the exception message of Throw
    long long exitCode = 0;  // of ThreadExit
};

enum class SecondaryMain { None, Void, Int };

// The main methods the application class may declare.
enum class MainForm { Static, Instance, StaticNoArgs, NoArgs, Count };

struct DeclaredMain {
    bool declared = false;
    bool isPrivate = false;
};

enum class Constructor { Public, Private, None };

struct Script {
    jint createResult = 0;
    jint createDelay = 0;  // milliseconds JNI_CreateJavaVM takes before it answers
    jint defaultArgsResult = JNI_ERR;  // what a current HotSpot answers to a JNI 1.1 record
    jint javaStackSize = 1024 * 1024;
    jint attachResult = 0;
    bool launcherHelper = true;
    // Opens every class and library path entry and its own module name by
    // their narrow (ANSI) names, as a JVM does, and records what it found.
    bool checkPaths = false;
    std::string mainClass;  // slash form; empty: the application has no class
    // By MainForm; a static main(String[]) unless main_forms says otherwise.
    DeclaredMain mains[static_cast<int>(MainForm::Count)] = {{true, false}};
    Constructor constructor = Constructor::Public;  // the application class's <init>()V
    bool missingMethodThrows = true;  // no: a failed method lookup leaves no exception pending
    bool hasStop = false;
    SecondaryMain secondaryMain = SecondaryMain::None;
    jint secondaryResult = 0;
    std::vector<std::string> refusedOptions;
    std::vector<Step> mainSteps;
    std::vector<Step> stopSteps;
    std::vector<Step> secondarySteps;
    std::string error;  // the first malformed line; the double refuses to run with it
};

// Reads the script named by KITE_DOUBLE_SCRIPT; without it the defaults stand.
void loadScript();
const Script& script();

const char* mainFormName(MainForm form);  // as main_forms writes it
bool hasAnyMain();

}  // namespace jvm_double
