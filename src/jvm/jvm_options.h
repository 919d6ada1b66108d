// What option assembly hands on: the options for JNI_CreateJavaVM, the
// arguments of main, the files that take the application's output and the
// class-data archive this start has the JVM write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/wide_string.h"

namespace kite {

// "Output File" and "Error File", with their "… Append" switches; the
// date/time pictures are expanded when the VM exists.
struct OutputFiles {
    WideString outputFile;
    WideString errorFile;
    bool outputAppend = false;
    bool errorAppend = false;
};

// What the helper does, in the order of its arguments.
struct ArchiveHelperJob {
    WideString java;              // the runtime's java command
    WideString temporary;         // the file the creation writes
    WideString finalPrefix;       // the archive's final name before "<size><extension>"
    WideString extension;         // ".jsa" or ".aot"
    WideStringList removeAfter;   // the recording and the slot's reservation
    WideStringList javaArguments; // for the creation
};

// The archive the JVM writes at exit under a temporary name, and its final
// name without "<size>.jsa"; empty when none is written. A two-step archive
// instead has the JVM write a recording, and a helper makes the archive from
// it once the VM has ended.
struct ArchivePublication {
    WideString beingCreated;
    WideString finalPrefix;
    WideString recording;
    ArchiveHelperJob creation;
};

struct JvmOptions {
    // In the narrow encoding the JVM reads them in.
    std::vector<std::string> options;
    // The arguments of main: the "Leading Cmd" words, the command line's,
    // then the "Cmd" words.
    WideStringList mainArguments;
    OutputFiles output;
    // From the last -Xss; 0 asks the VM for its default.
    std::uint32_t mainThreadStackSize = 0;
    ArchivePublication archive;
    // The VM's "vfprintf" hook, or null for none.
    void* vfprintfHook = nullptr;
};

}  // namespace kite
