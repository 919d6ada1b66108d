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

// The archive the JVM writes at exit under a temporary name, and its final
// name without "<size>.jsa"; empty when none is written.
struct ArchivePublication {
    WideString beingCreated;
    WideString finalPrefix;
};

struct JvmOptions {
    // In the narrow encoding the JVM reads them in.
    std::vector<std::string> options;
    // The arguments of main: the command line's, then the "Cmd" words.
    WideStringList mainArguments;
    OutputFiles output;
    // From the last -Xss; 0 asks the VM for its default.
    std::uint32_t mainThreadStackSize = 0;
    ArchivePublication archive;
};

}  // namespace kite
