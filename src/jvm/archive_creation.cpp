// The two-step archives of "Class Data Archive" (see archive_creation.h).
//
// Why a helper process, and why it runs the runtime's java command:
// - The archive can only be made once the recording start has ended (the
//   JVM writes the recording at exit), and the application's process must
//   not wait for it: its exit is the application's.
// - The creation writes a temporary file that must be renamed into place
//   only once it is whole; someone has to wait for the creation to end, so
//   a process of ours stays for it: this executable in its hidden mode.
// - The creation itself is left to the runtime's bin/java (every runtime,
//   a jlinked one too, has it): the JVM's create mode ends the process when
//   it is done, and a 32-bit executable could not load a 64-bit JVM anyway.
//   Everything the creation prints goes to the null device.
#include "jvm/archive_creation.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "foundation/path_helpers.h"
#include "jvm/jvm_interface.h"
#include "settings/command_line.h"
#include "platform/platform.h"

namespace kite {

namespace {

constexpr char16_t kHelperVariable[] = u"KITE_ARCHIVE_HELPER";
constexpr char16_t kHelperWord[] = u"--kite-archive-helper";
constexpr char16_t kJavaArguments[] = u"--";

WideString decimal(std::uint64_t value) {
    const std::string text = std::to_string(value);
    return WideString(text.begin(), text.end());
}

}  // namespace

bool isTwoStep(ArchiveMechanism mechanism) {
    return mechanism == ArchiveMechanism::StaticFromList || mechanism == ArchiveMechanism::AotCache;
}

TwoStepOptions twoStepOptions(Environment& text, ArchiveMechanism mechanism, const WideString& configuration,
                              const WideString& temporary, const WideString& archive) {
    TwoStepOptions options;
    if (mechanism == ArchiveMechanism::AotCache) {
        options.record = {"-XX:AOTMode=record", text.narrowText(u"-XX:AOTConfiguration=" + configuration)};
        options.create = {u"-XX:AOTMode=create", u"-XX:AOTConfiguration=" + configuration,
                          u"-XX:AOTCache=" + temporary};
        options.use = text.narrowText(u"-XX:AOTCache=" + archive);
    } else if (mechanism == ArchiveMechanism::StaticFromList) {
        options.record = {text.narrowText(u"-XX:DumpLoadedClassList=" + configuration)};
        options.create = {u"-Xshare:dump", u"-XX:SharedClassListFile=" + configuration,
                          u"-XX:SharedArchiveFile=" + temporary};
        options.use = text.narrowText(u"-XX:SharedArchiveFile=" + archive);
    }
    return options;
}

WideString filledFolderOnClassPath(FileSystem& files, OsStyle style, const WideStringList& classPath) {
    for (const WideString& entry : classPath) {
        FileStatus status;
        if (!files.fileStatus(entry, status) || !status.isFolder) continue;
        WideString pattern = entry;
        if (!pattern.empty() && !isPathSeparator(style, pattern.back())) pattern += pathSeparator(style);
        WideStringList names;
        files.findFiles(pattern + u"*", names);
        for (const WideString& name : names) {
            if (name != u"." && name != u"..") return entry;
        }
    }
    return {};
}

WideStringList archiveHelperArguments(const ArchiveHelperJob& job) {
    WideStringList arguments{kHelperWord, job.java, job.temporary, job.finalPrefix, job.extension,
                             decimal(job.removeAfter.size())};
    for (const WideString& path : job.removeAfter) arguments.append(path);
    arguments.append(kJavaArguments);
    for (const WideString& argument : job.javaArguments) arguments.append(argument);
    return arguments;
}

bool startArchiveHelper(Platform& platform, const ArchiveHelperJob& job) {
    WideString executable;
    if (!platform.env.modulePath(executable)) return false;
    std::int32_t ignored = 0;
    return platform.processes.startQuietProcess(executable, archiveHelperArguments(job), kHelperVariable, false, ignored)
        .ok();
}

bool isArchiveHelperStart(Platform& platform, const WideStringList& arguments) {
    WideString marker;
    return !arguments.empty() && arguments[0] == kHelperWord && platform.env.getEnvironment(kHelperVariable, marker) &&
           marker == u"1";
}

int runArchiveHelper(Platform& platform, const WideStringList& arguments) {
    // kHelperWord java temporary finalPrefix extension count paths... -- javaArguments...
    if (arguments.size() < 7) return 1;
    ArchiveHelperJob job{arguments[1], arguments[2], arguments[3], arguments[4], {}, {}};
    std::size_t count = 0;
    for (char16_t c : arguments[5]) {
        if (c < u'0' || c > u'9') return 1;
        count = count * 10 + static_cast<std::size_t>(c - u'0');
    }
    std::size_t next = 6;
    for (; next < arguments.size() && job.removeAfter.size() < count; ++next) job.removeAfter.append(arguments[next]);
    if (next >= arguments.size() || arguments[next] != kJavaArguments) return 1;
    for (++next; next < arguments.size(); ++next) job.javaArguments.append(arguments[next]);

    struct Cleanup {
        Platform& platform;
        const ArchiveHelperJob& job;
        ~Cleanup() {
            platform.fs.deleteFile(job.temporary);
            for (const WideString& path : job.removeAfter) platform.fs.deleteFile(path);
        }
    } cleanup{platform, job};
    std::int32_t exitCode = -1;
    if (!platform.processes.startQuietProcess(job.java, job.javaArguments, {}, true, exitCode) || exitCode != 0)
        return 1;
    FileStatus status;
    if (!platform.fs.fileStatus(job.temporary, status) || status.isFolder || status.size == 0) return 1;
    // An archive others may change would be refused by the next start.
    if (!platform.fs.revokeOthersWrite(job.temporary)) return 1;
    // The size in the name lets a start tell a whole archive from a cut one.
    return platform.fs.renameFile(job.temporary, job.finalPrefix + decimal(status.size) + job.extension) ? 0 : 1;
}

bool RecordingLineFilter::pass(const std::string& piece) {
    if (dropNewline_) {
        dropNewline_ = false;
        if (piece == "\n") return false;
    }
    std::string_view text(piece);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.starts_with("AOTConfiguration recorded: ")) return true;
    // The line's end may follow as a piece of its own.
    dropNewline_ = !text.ends_with('\n');
    return false;
}

namespace {

Environment* hookOutput = nullptr;
bool hookFilters = false;
RecordingLineFilter hookFilter;

jint JNICALL filterVmOutput(std::FILE* stream, const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    char small[512];
    const int length = std::vsnprintf(small, sizeof small, format, arguments);
    std::string piece;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        piece.assign(small, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        piece.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(piece.data(), piece.size(), format, again);
        piece.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    if (length < 0) return length;
    if (hookOutput != nullptr && (!hookFilters || hookFilter.pass(piece))) hookOutput->writeVmStream(stream, piece.data(), piece.size());
    return length;
}

}  // namespace

void* recordingOutputHook(Environment& output) {
    hookOutput = &output;
    hookFilters = true;
    return reinterpret_cast<void*>(&filterVmOutput);
}

void* vmOutputHook(Environment& output) {
    hookOutput = &output;
    hookFilters = false;
    return reinterpret_cast<void*>(&filterVmOutput);
}

}  // namespace kite
