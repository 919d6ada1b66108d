// "Class Data Archive": one archive per application and runtime in the
// per-user cache folder, made by the JVM at the end of a start and mapped by
// later starts.
//
// An archive can only make a start faster, never stop one:
// - Creation needs a writable folder with room: a JVM that cannot write the
//   archive at exit ends the process with exit code 1 (seen on 17 and 25).
// - The JVM writes to the name it is given (unlink, then create; seen with
//   strace on 17 and 25), so it writes a temporary file of this process,
//   which is renamed into place once the VM has ended. Two first starts
//   write two temporary files; a rename replaces in one step.
// - The final name carries the archive's size. A 17 runtime that maps a
//   truncated dynamic archive dies of SIGBUS; an archive whose size differs
//   from its name is removed, not handed over.
// - Only -XX:SharedArchiveFile names an existing archive, with sharing left
//   at "auto": a mismatch makes the JVM start without it. AutoCreate is
//   given the temporary name only, since on a mismatch it rewrites the file
//   it is given in place, where a concurrent start could read it half done.
// - The JVM's archive logging is switched off on standard output, which the
//   application owns.
// - The JVM maps an archive's classes into the application without asking
//   who wrote it, so the cache folder must be the user's own and closed to
//   everyone else, like the folder of the single-instance sockets; an
//   archive must be a plain file of the user's that no one else may change.
#include "jvm/class_data_archive.h"

#include "jvm/archive_creation.h"

#include <string>
#include <string_view>

#include "discovery/runtime_candidates.h"
#include "foundation/path_helpers.h"
#include "foundation/utf.h"
#include "jvm/option_assembly.h"
#include "settings/file_locations.h"
#include "platform/common/os_conventions.h"
#include "platform/platform.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"

namespace kite {

namespace {

// Creation is not tried with less free space than this: a large
// application's archive takes tens of megabytes.
constexpr std::uint64_t kMinimumFreeBytes = 256ull << 20;
// Temporary files older than this belong to starts that were killed.
constexpr std::uint64_t kStaleTemporaryAge = 3600ull * 10000000ull;  // one hour in 100 ns
// Temporary names tried per start; more starts at once go without.
constexpr int kTemporarySlots = 16;

const char16_t* mechanismName(ArchiveMechanism mechanism) {
    switch (mechanism) {
        case ArchiveMechanism::DynamicAtExit: return u"dynamic archive written at exit (-XX:ArchiveClassesAtExit)";
        case ArchiveMechanism::AutoCreate: return u"dynamic archive (-XX:+AutoCreateSharedArchive)";
        case ArchiveMechanism::StaticFromList: return u"static archive made from the loaded classes' list";
        case ArchiveMechanism::AotCache: return u"ahead-of-time cache (-XX:AOTMode=record, then create)";
        case ArchiveMechanism::None: break;
    }
    return u"none";
}

// Options by which the user already decides about class sharing.
bool choosesSharing(const std::vector<std::string>& options) {
    static constexpr std::string_view kNames[] = {"-Xshare", "SharedArchiveFile", "ArchiveClassesAtExit",
                                                   "AutoCreateSharedArchive", "SharedSpaces", "AOTCache",
                                                   "AOTMode", "AOTConfiguration"};
    for (const std::string& option : options) {
        for (std::string_view name : kNames) {
            if (option.find(name) != std::string::npos) return true;
        }
    }
    return false;
}

WideString decimal(std::uint64_t value) { return fromAscii(std::to_string(value)); }

// Why the folder or file at path cannot be trusted with archives, or empty
// when it can: it must be itself (not a link), of the expected kind, the
// user's own, and neither the group nor other users may write it. Whoever
// may write the folder may put an archive there that this user's JVM maps.
WideString distrust(FileSystem& files, const WideString& path, bool folder) {
    PathAccess access;
    if (const Status checked = files.pathAccess(path, access); !checked)
        return u"cannot be checked (error " + traceNumber(checked.code()) + u")";
    if (access.isLink) return u"is a symbolic link";
    if (access.isFolder != folder) return folder ? u"is not a folder" : u"is not a file";
    if (!access.ownedByUser) return u"belongs to another user";
    if (access.othersMayWrite) return u"is writable by group or others";
    return {};
}

bool allDigits(const WideString& text) {
    if (text.empty()) return false;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

// The per-user cache folder composed like the per-user settings folder,
// created when missing (for the user alone); empty with the trace line when
// it cannot be had or is not safe.
WideString archiveFolder(Platform& platform, const Trace& trace, const ProductSettings& product) {
    const char16_t separator = pathSeparator(platform.style());
    WideString folder;
    if (!userBaseFolder(platform, conventions(platform.style()).cacheFolder, folder)) {
        trace.write([] { return WideString(u"class data archive: no per-user cache folder, none used"); });
        return {};
    }
    while (folder.size() > 1 && isPathSeparator(platform.style(), folder.back())) folder.pop_back();
    // ~/.cache may not exist yet in a fresh home folder.
    Status result = platform.fs.createPrivateDirectory(folder);
    // The folders checked: those below the base folder that the path is
    // composed of, or the base folder itself when it holds the archives.
    WideStringList checked;
    for (const WideString& part : {productFolderName(product.name), productFolderName(product.code)}) {
        if (part.empty()) continue;
        folder += separator + part;
        result = platform.fs.createPrivateDirectory(folder);
        checked.append(folder);
    }
    if (checked.empty()) checked.append(folder);
    // A folder that exists may still answer "access denied" to a create.
    FileStatus status;
    if (!result && result.code() != kErrorAlreadyExists && !(platform.fs.fileStatus(folder, status) && status.isFolder)) {
        trace.write([&] {
            return u"class data archive: cache folder " + folder + u" cannot be created (error " +
                   traceNumber(result.code()) + u"), none used";
        });
        return {};
    }
    for (const WideString& part : checked) {
        const WideString reason = distrust(platform.fs, part, true);
        if (reason.empty()) continue;
        trace.write([&] {
            return u"class data archive: cache folder " + part + u" " + reason + u", none used";
        });
        return {};
    }
    // The JVM receives the path in the narrow encoding; a path that does not
    // survive it would name another file.
    if (platform.env.widenText(platform.env.narrowText(folder)) != folder) {
        trace.write([&] {
            return u"class data archive: cache folder " + folder +
                   u" has characters the JVM cannot be given, none used";
        });
        return {};
    }
    return folder;
}

}  // namespace

std::int32_t featureRelease(const JavaVersion& version) {
    return version.parts[0] == 1 ? version.parts[1] : version.parts[0];
}

ArchiveMechanism archiveMechanism(std::int32_t feature, bool hasBaseArchive) {
    // The ahead-of-time cache needs no base archive (checked on 25 with a
    // jlinked runtime); a dynamic archive does (17 without one ends the
    // start with "DynamicDumpSharedSpaces is unsupported when base CDS
    // archive is not loaded"), but a static one is the base itself.
    if (feature >= 24) return ArchiveMechanism::AotCache;
    if (feature >= 13 && !hasBaseArchive) return ArchiveMechanism::StaticFromList;
    if (feature >= 19) return ArchiveMechanism::AutoCreate;
    if (feature >= 13) return ArchiveMechanism::DynamicAtExit;
    return ArchiveMechanism::None;
}

void Fnv1a64::addBytes(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        value_ ^= bytes[i];
        value_ *= 1099511628211ull;
    }
}

void Fnv1a64::addText(const WideString& text) {
    for (char16_t unit : text) {
        const std::uint8_t pair[2] = {static_cast<std::uint8_t>(unit & 0xFF), static_cast<std::uint8_t>(unit >> 8)};
        addBytes(pair, 2);
    }
    const std::uint8_t end[2] = {0, 0};
    addBytes(end, 2);
}

void Fnv1a64::addNumber(std::uint64_t value) {
    std::uint8_t bytes[8];
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
    addBytes(bytes, sizeof bytes);
}

WideString hexDigits(std::uint64_t value, int digits) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    WideString text(static_cast<std::size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

void addClassDataArchiveOptions(Platform& platform, const Trace& trace, const ProductSettings& product,
                                const ChosenRuntime& runtime, SettingsStore& store, const WideStringList& classPath,
                                JvmOptions& jvm) {
    WideString value;
    store.getValue(u"Java Runtime Environment", u"Class Data Archive", value);
    if (!isYes(value)) return;
    const OsStyle style = platform.style();

    // Registered runtimes come with their version; the others have a
    // "release" file in their home.
    JavaVersion version = runtime.version;
    if (version.count == 0) version.parse(releaseVersion(platform, runtimeHomeOf(style, runtime.jvmLibraryPath)), 0);
    // A dynamic archive sits on top of the runtime's own (classes.jsa beside
    // the JVM library); a runtime made by jlink may have none.
    WideStringList baseArchives;
    const std::size_t libraryFolder = lastPathSeparator(style, runtime.jvmLibraryPath);
    const bool hasBaseArchive =
        libraryFolder != WideString::npos &&
        platform.fs.findFiles(runtime.jvmLibraryPath.substr(0, libraryFolder + 1) + u"classes*.jsa", baseArchives);
    const ArchiveMechanism mechanism = archiveMechanism(featureRelease(version), hasBaseArchive);
    trace.write([&] {
        return u"class data archive: runtime version " + version.toText() +
               (hasBaseArchive ? u"" : u" without base archive") + u", mechanism " + mechanismName(mechanism);
    });
    if (mechanism == ArchiveMechanism::None) return;
    if (choosesSharing(jvm.options)) {
        trace.write([] {
            return WideString(u"class data archive: the VM parameters decide class sharing, none added");
        });
        return;
    }

    // What makes an archive valid: the JVM library, the class path and every
    // entry as it is now, and the options (class path text included).
    Fnv1a64 fingerprint;
    FileStatus status;
    fingerprint.addText(runtime.jvmLibraryPath);
    if (platform.fs.fileStatus(runtime.jvmLibraryPath, status)) {
        fingerprint.addNumber(status.size);
        fingerprint.addNumber(status.modified);
    }
    for (const WideString& entry : classPath) {
        status = {};
        const bool exists = platform.fs.fileStatus(entry, status).ok();
        fingerprint.addNumber(exists ? 1 : 0);
        fingerprint.addNumber(status.size);
        fingerprint.addNumber(status.modified);
    }
    // The JVM refuses to archive or record classes with a folder holding
    // anything on the class path, wherever it stands, and says so on
    // standard output (a recording start even ends with 1).
    if (const WideString folder = filledFolderOnClassPath(platform.fs, style, classPath); !folder.empty()) {
        trace.write([&] {
            return u"class data archive: class path entry " + folder + u" is a folder with files, none used";
        });
        return;
    }
    // The ahead-of-time cache and the static archive are other files than
    // the dynamic one of the same settings.
    if (isTwoStep(mechanism)) fingerprint.addNumber(static_cast<std::uint64_t>(mechanism));
    // What the creation is given besides its own options: the class path and
    // the VM parameters, without the JVM's logging (which would write the
    // application's log files).
    WideStringList creationOptions;
    for (const std::string& option : jvm.options) {
        if (option.starts_with("-Xlog") || option.starts_with("-verbose")) continue;
        if (option.starts_with("-Djava.class.path=")) {
            creationOptions.append(u"-cp");
            creationOptions.append(platform.env.widenText(option.substr(18)));
        } else {
            creationOptions.append(platform.env.widenText(option));
        }
    }
    for (const std::string& option : jvm.options) {
        // The library path does not change what an archive holds.
        if (!option.starts_with("-Djava.library.path=")) fingerprint.addBytes(option.data(), option.size() + 1);
    }

    const WideString folder = archiveFolder(platform, trace, product);
    if (folder.empty()) return;
    WideString executable;
    if (!platform.env.modulePath(executable)) return;
    WideString stem = executable.substr(lastPathSeparator(style, executable) + 1);
    const std::size_t dot = stem.rfind(u'.');
    if (dot != WideString::npos && dot > 0) stem.resize(dot);
    Fnv1a64 runtimeKey;
    runtimeKey.addText(runtime.jvmLibraryPath);
    // <executable>-<runtime>-<fingerprint>-<size>.jsa (.aot for the
    // ahead-of-time cache); while being written
    // <executable>-<runtime>-<fingerprint>.<slot>.jsa.tmp, beside the
    // slot's reservation <executable>-<runtime>-<fingerprint>.<slot>.tmp
    // and, for the two-step archives, the recording
    // <executable>-<runtime>-<fingerprint>.<slot>.rec.tmp.
    const WideString extension = mechanism == ArchiveMechanism::AotCache ? u".aot" : u".jsa";
    const WideString ownPrefix = stem + u"-" + hexDigits(runtimeKey.value(), 8) + u"-";
    const WideString wanted = hexDigits(fingerprint.value(), 16);
    const WideString base = folder + pathSeparator(style);

    // The archive to use, if a whole one is there; archives of other class
    // paths, options or library versions, and damaged ones, are removed.
    WideStringList names;
    platform.fs.findFiles(base + ownPrefix + u"*", names);
    WideString found;
    for (const WideString& name : names) {
        if (name.size() <= ownPrefix.size() || name.ends_with(u".tmp")) continue;
        const WideString rest = name.substr(ownPrefix.size());
        const std::size_t dash = rest.find(u'-');
        const bool ours = rest.ends_with(extension) && dash == wanted.size() && rest.starts_with(wanted);
        const WideString size = ours ? rest.substr(dash + 1, rest.size() - dash - 1 - extension.size()) : WideString();
        // One that someone else could have changed is not mapped, whatever it holds.
        const WideString reason = ours && found.empty() ? distrust(platform.fs, base + name, false) : WideString();
        status = {};
        if (found.empty() && reason.empty() && allDigits(size) && platform.fs.fileStatus(base + name, status) &&
            decimal(status.size) == size) {
            found = base + name;
            continue;
        }
        platform.fs.deleteFile(base + name);
        trace.write([&] {
            return u"class data archive: removed " + base + name +
                   (!reason.empty() ? u" (" + reason + u")"
                    : ours          ? WideString(u" (size differs from its name)")
                                    : WideString(u" (made for other settings)"));
        });
    }
    const bool twoStep = isTwoStep(mechanism);
    if (!found.empty() && twoStep) {
        jvm.options.push_back(twoStepOptions(platform.env, mechanism, {}, {}, found).use);
        trace.write([&] { return u"class data archive: " + found + u" used"; });
    } else if (!found.empty()) {
        jvm.options.push_back(platform.env.narrowText(u"-XX:SharedArchiveFile=" + found));
        trace.write([&] { return u"class data archive: " + found + u" used"; });
    } else {
        std::uint64_t freeBytes = 0;
        if (platform.fs.freeSpace(folder, freeBytes) && freeBytes < kMinimumFreeBytes) {
            trace.write([&] {
                return u"class data archive: only " + decimal(freeBytes) + u" bytes free in " + folder +
                       u", none created";
            });
            return;
        }
        // A file this start creates itself, empty, proves the folder
        // writable and keeps the slot from other starts. The JVM writes
        // beside it: it must not find a file under its own name (an empty
        // one makes a 25 runtime give up its base archive and warn).
        WideString reservation;
        std::int32_t result = 0;
        for (int slot = 0; slot < kTemporarySlots; ++slot) {
            reservation = base + ownPrefix + wanted + u"." + decimal(static_cast<std::uint64_t>(slot)) + u".tmp";
            result = platform.fs.createNewFile(reservation);
            if (result != kErrorAlreadyExists) break;
        }
        const WideString temporary = reservation.substr(0, reservation.size() - 4) + u".jsa.tmp";
        if (result != 0) {
            trace.write([&] {
                return u"class data archive: cannot write in " + folder + u" (error " + traceNumber(result) +
                       u"), none created";
            });
            return;
        }
        // Temporary files of starts that ended before renaming theirs.
        FileStatus own;
        if (platform.fs.fileStatus(reservation, own)) {
            for (const WideString& name : names) {
                if (!name.ends_with(u".tmp") || base + name == reservation) continue;
                status = {};
                if (platform.fs.fileStatus(base + name, status) && status.modified + kStaleTemporaryAge < own.modified)
                    platform.fs.deleteFile(base + name);
            }
        }
        platform.fs.deleteFile(temporary);  // a stale one of a killed start
        jvm.archive.beingCreated = temporary;
        jvm.archive.finalPrefix = base + ownPrefix + wanted + u"-";
        if (twoStep) {
            const WideString recording = reservation.substr(0, reservation.size() - 4) + u".rec.tmp";
            platform.fs.deleteFile(recording);
            const TwoStepOptions steps = twoStepOptions(platform.env, mechanism, recording, temporary, {});
            for (const std::string& option : steps.record) jvm.options.push_back(option);
            for (const WideString& option : steps.create) creationOptions.append(option);
            jvm.archive.recording = recording;
            // The recording start drops the line that announces the recording.
            jvm.vfprintfHook = recordingOutputHook(platform.env);
            WideString home = runtimeHomeOf(style, runtime.jvmLibraryPath);
            while (!home.empty() && isPathSeparator(style, home.back())) home.pop_back();
            jvm.archive.creation = {home + pathSeparator(style) + u"bin" +
                                   pathSeparator(style) + (style == OsStyle::Windows ? u"java.exe" : u"java"),
                               temporary, jvm.archive.finalPrefix, extension, {recording, reservation},
                               creationOptions};
            trace.write([&] {
                return u"class data archive: none yet, the JVM records " + recording +
                       u", the archive is made from it after the end";
            });
        } else if (mechanism == ArchiveMechanism::DynamicAtExit) {
            jvm.options.push_back(platform.env.narrowText(u"-XX:ArchiveClassesAtExit=" + temporary));
        } else {
            jvm.options.push_back("-XX:+AutoCreateSharedArchive");
            jvm.options.push_back(platform.env.narrowText(u"-XX:SharedArchiveFile=" + temporary));
        }
        if (!twoStep)
            trace.write([&] { return u"class data archive: none yet, the JVM writes " + temporary + u" at exit"; });
    }
    // Notes about archives (classes skipped, archive rejected) go to
    // standard output by default: off, for the application's sake.
    jvm.options.push_back("-Xlog:cds*=off");
    if (featureRelease(version) >= 25) jvm.options.push_back("-Xlog:aot*=off");
}

namespace {

// After a recording start: a quiet helper makes the archive from the
// recording; without a recording (the JVM made none) the slot is given up.
void startCreation(Platform& platform, const Trace& trace, const ArchiveHelperJob& job) {
    FileStatus status;
    const bool recorded = platform.fs.fileStatus(job.removeAfter[0], status) && status.size > 0;
    if (recorded && startArchiveHelper(platform, job)) {
        trace.write([&] { return u"class data archive: " + job.java + u" makes " + job.temporary; });
        return;
    }
    for (const WideString& path : job.removeAfter) platform.fs.deleteFile(path);
    trace.write([&] {
        return recorded ? WideString(u"class data archive: the helper cannot be started, none made")
                        : WideString(u"class data archive: the JVM recorded nothing");
    });
}

}  // namespace

void publishClassDataArchive(Platform& platform, const Trace& trace, ArchivePublication& archive) {
    if (!archive.recording.empty()) {
        archive.recording.clear();
        archive.beingCreated.clear();
        startCreation(platform, trace, archive.creation);
        return;
    }
    if (archive.beingCreated.empty()) return;
    const WideString temporary = std::move(archive.beingCreated);
    archive.beingCreated.clear();
    // The slot's reservation: temporary without ".jsa.tmp", plus ".tmp".
    const WideString reservation = temporary.substr(0, temporary.size() - 8) + u".tmp";
    struct Release {
        Platform& platform;
        const WideString& path;
        ~Release() { platform.fs.deleteFile(path); }
    } release{platform, reservation};
    FileStatus status;
    if (!platform.fs.fileStatus(temporary, status) || status.size == 0) {
        platform.fs.deleteFile(temporary);
        trace.write([] { return WideString(u"class data archive: the JVM wrote none"); });
        return;
    }
    // 17 leaves its archives read-only; 25 creates them with the process's
    // default permissions, which may let the group write. Such an archive
    // would be refused by the next start.
    if (const Status closed = platform.fs.revokeOthersWrite(temporary); !closed) {
        platform.fs.deleteFile(temporary);
        trace.write([&] {
            return u"class data archive: " + temporary + u" cannot be closed to others (error " +
                   traceNumber(closed.code()) + u"), removed";
        });
        return;
    }
    const WideString final = archive.finalPrefix + decimal(status.size) + u".jsa";
    if (const Status renamed = platform.fs.renameFile(temporary, final); !renamed) {
        platform.fs.deleteFile(temporary);
        trace.write([&] {
            return u"class data archive: " + temporary + u" cannot become " + final + u" (error " +
                   traceNumber(renamed.code()) + u"), removed";
        });
        return;
    }
    trace.write([&] { return u"class data archive: created " + final; });
}

}  // namespace kite
