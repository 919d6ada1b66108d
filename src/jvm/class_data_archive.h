// Class-data archives kept by the launcher ("Class Data Archive"): the JVM
// maps the classes it loaded at an earlier start instead of loading and
// linking them again. The pieces that the unit tests reach directly.
#pragma once

#include <cstdint>

#include "discovery/java_version.h"
#include "discovery/runtime_requirements.h"
#include "foundation/trace.h"
#include "foundation/wide_string.h"
#include "jvm/jvm_options.h"
#include "platform/platform.h"
#include "settings/launch_settings.h"

namespace kite {

class SettingsStore;

// With "Class Data Archive=Yes": appends the options that have the JVM use
// the archive of an earlier start, or write one at exit (then noted in
// jvm.archive). Every reason to use none goes to the trace.
void addClassDataArchiveOptions(Platform& platform, const Trace& trace, const ProductSettings& product,
                                const ChosenRuntime& runtime, SettingsStore& store, const WideStringList& classPath,
                                JvmOptions& jvm);
// Once the VM has ended (DestroyJavaVM returned, or the exit hook runs):
// gives the archive it wrote its final name, or removes it. Runs once.
void publishClassDataArchive(Platform& platform, const Trace& trace, ArchivePublication& archive);

// How the archive is made, by the runtime's feature release.
enum class ArchiveMechanism {
    None,           // before 13: no dynamic archives
    DynamicAtExit,  // 13..18: -XX:ArchiveClassesAtExit, then -XX:SharedArchiveFile
    AutoCreate,     // 19..23: -XX:+AutoCreateSharedArchive -XX:SharedArchiveFile
    // 13..23 without a base archive (a jlinked runtime): the loaded classes'
    // list (-XX:DumpLoadedClassList), a static archive made from it
    // afterwards (-Xshare:dump), then -XX:SharedArchiveFile
    StaticFromList,
    // 24 and later: the ahead-of-time cache, recorded (-XX:AOTMode=record),
    // made afterwards (-XX:AOTMode=create), then -XX:AOTCache
    AotCache,
};

// The feature release of a version: 8 for 1.8.0_151, 17 for 17.0.2.
std::int32_t featureRelease(const JavaVersion& version);
// hasBaseArchive: the runtime has its own archive (classes*.jsa beside the
// JVM library), which a dynamic archive is made on top of.
ArchiveMechanism archiveMechanism(std::int32_t feature, bool hasBaseArchive = true);

// FNV-1a, 64 bits: the fingerprint in an archive's name.
class Fnv1a64 {
public:
    void addBytes(const void* data, std::size_t size);
    void addText(const WideString& text);  // UTF-16 units, low byte first, then a 0 unit
    void addNumber(std::uint64_t value);   // 8 bytes, low byte first
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 14695981039346656037ull;
};

// Lower-case hexadecimal with a fixed number of digits.
WideString hexDigits(std::uint64_t value, int digits);

}  // namespace kite
