// Archives made in two steps ("Class Data Archive" with the ahead-of-time
// cache of 24 and later, or a static archive for a runtime without a base
// archive): a start records what it loads, and once it has ended a quiet
// helper process makes the archive from the recording and renames it into
// place. The helper is this executable started again in a hidden mode; it
// runs the runtime's own java command for the creation and waits for it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/wide_string.h"
#include "jvm/class_data_archive.h"
#include "jvm/jvm_options.h"
#include "platform/os_style.h"

namespace kite {

class Environment;
class FileSystem;
class Platform;

// The options of the three steps, for the two-step mechanisms.
struct TwoStepOptions {
    std::vector<std::string> record;  // for the recording start, besides the class path
    WideStringList create;            // the java command's arguments after the class path
    std::string use;                  // for the later starts
};
bool isTwoStep(ArchiveMechanism mechanism);
// configuration: the recording; temporary: where the creation writes;
// archive: the finished archive the later starts map. The JVM's options are
// narrowed through text; the java command's arguments stay wide.
TwoStepOptions twoStepOptions(Environment& text, ArchiveMechanism mechanism, const WideString& configuration,
                              const WideString& temporary, const WideString& archive);

// The first class-path entry that is a folder holding anything: the JVM
// refuses to archive (dynamic) or record (ahead-of-time) with one on the
// class path, and says so on standard output. Empty when there is none.
WideString filledFolderOnClassPath(FileSystem& files, OsStyle style, const WideStringList& classPath);

// What the helper does: ArchiveHelperJob (jvm/jvm_options.h).
WideStringList archiveHelperArguments(const ArchiveHelperJob& job);
// Starts the helper (this executable, hidden mode) without waiting; false
// when it cannot be started.
bool startArchiveHelper(Platform& platform, const ArchiveHelperJob& job);
// Whether this process is such a helper: the marker variable is set and the
// first argument is the helper's word.
bool isArchiveHelperStart(Platform& platform, const WideStringList& arguments);
// Runs the job: the creation, then the rename into place; the recording and
// reservation are removed whatever happens. Returns 0, or 1 when no archive
// resulted. Prints nothing.
int runArchiveHelper(Platform& platform, const WideStringList& arguments);

// The "vfprintf" hook for a recording start: passes the JVM's output on
// unchanged, except the one line with which an ahead-of-time recording
// ends (" AOTConfiguration recorded: <file>"). output receives the rest.
void* recordingOutputHook(Environment& output);
// The "vfprintf" hook of a windowed start: the JVM's own messages reach the
// process's standard handles, which a windowed start points at its capture,
// instead of the JVM's C runtime, which read them before they were set.
void* vmOutputHook(Environment& output);
// The filter itself, for one piece of the JVM's output: false when the
// piece is dropped.
class RecordingLineFilter {
public:
    bool pass(const std::string& piece);

private:
    bool dropNewline_ = false;
};

}  // namespace kite
