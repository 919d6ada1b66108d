#include "brand/tool.h"

#include <map>
#include <optional>
#include <string_view>

#include "brand/brand.h"
#include "brand/manifest.h"
#include "brand/text.h"

namespace kite::brand {

namespace {

constexpr std::size_t kMaxExecutableBytes = 256u * 1024 * 1024;
constexpr std::size_t kMaxIconBytes = 16u * 1024 * 1024;
// Far beyond any name or notice, and small enough that all strings together
// stay inside the version resource's 64 KiB.
constexpr std::size_t kMaxTextLength = 1024;

constexpr const char* kUsage =
    "usage: kite-brand INPUT.exe [options] --output OUTPUT.exe\n"
    "Brands a Kite executable (kite.exe, kite64.exe, kitew.exe, kitew64.exe) with an application's\n"
    "icon, names and version. Options left out keep what INPUT.exe has.\n"
    "  --icon FILE.ico                  the icon (every size the .ico file holds)\n"
    "  --product-name TEXT              ProductName\n"
    "  --company TEXT                   CompanyName\n"
    "  --description TEXT               FileDescription (Task Manager, Explorer)\n"
    "  --copyright TEXT                 LegalCopyright\n"
    "  --version A.B.C.D                file and product version, each part 0 to 65535\n"
    "  --original-filename NAME         OriginalFilename\n"
    "  --execution-level LEVEL          asInvoker, highestAvailable or requireAdministrator\n"
    "  --output OUTPUT.exe              the branded executable (required; not INPUT.exe)\n"
    "Exit codes: 0 written, 1 refused (nothing written), 2 wrong command line.";

const std::map<std::string_view, std::string_view> kOptions = {
    {"--icon", "FILE.ico"},       {"--product-name", "TEXT"}, {"--company", "TEXT"},
    {"--description", "TEXT"},    {"--copyright", "TEXT"},    {"--version", "A.B.C.D"},
    {"--original-filename", "NAME"}, {"--execution-level", "LEVEL"}, {"--output", "OUTPUT.exe"},
};

struct Request {
    std::string input;
    std::map<std::string, std::string> values;  // option -> value
};

Result<Request> parseCommandLine(const std::vector<std::string>& args) {
    Request request;
    bool inputSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (!kOptions.contains(name)) {
                return fail("unknown option " + name);
            }
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return fail(name + " needs a value (" + std::string(kOptions.at(name)) + ")");
            }
            if (!request.values.emplace(name, value).second) {
                return fail(name + " is given twice");
            }
            continue;
        }
        if (arg.starts_with("-") && arg != "-") {
            return fail("unknown option " + arg);
        }
        if (inputSeen) {
            return fail("more than one input executable: " + request.input + " and " + arg);
        }
        request.input = arg;
        inputSeen = true;
    }
    if (!inputSeen) {
        return fail("no input executable");
    }
    if (!request.values.contains("--output")) {
        return fail("no --output");
    }
    return request;
}

Result<FourPartVersion> parseVersion(std::string_view text) {
    FourPartVersion version{};
    std::size_t part = 0;
    std::size_t digits = 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9' && digits < 5) {
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
            ++digits;
            continue;
        }
        if (c != '.' || digits == 0 || value > 0xFFFF || part == 4) {
            return fail("--version " + std::string(text) + ": four numbers from 0 to 65535 separated by dots are needed");
        }
        version[part++] = static_cast<std::uint16_t>(value);
        value = 0;
        digits = 0;
    }
    if (part != 4) {
        return fail("--version " + std::string(text) + ": four numbers from 0 to 65535 separated by dots are needed");
    }
    return version;
}

Result<std::u16string> parseText(const std::string& option, const std::string& value) {
    auto text = utf16FromUtf8(value);
    if (!text) {
        return fail(option + ": the value is not valid UTF-8");
    }
    if (text->empty()) {
        return fail(option + ": the value is empty (leave the option out to keep the executable's)");
    }
    if (text->size() > kMaxTextLength) {
        return fail(option + ": the value is longer than " + std::to_string(kMaxTextLength) + " characters");
    }
    for (char16_t c : *text) {
        if (c < 0x20 || c == 0x7F) {
            return fail(option + ": the value holds a control character");
        }
        if (option == "--original-filename" && std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
            return fail(option + ": a file name without a folder is needed (no \\ / : * ? \" < > |)");
        }
    }
    return *text;
}

// The options that need no file: texts, version, level.
Result<BrandOptions> brandOptions(const Request& request) {
    BrandOptions options;
    const std::pair<const char*, std::optional<std::u16string>*> texts[] = {
        {"--product-name", &options.productName}, {"--company", &options.company},
        {"--description", &options.description},  {"--copyright", &options.copyright},
        {"--original-filename", &options.originalFilename},
    };
    for (const auto& [name, target] : texts) {
        if (auto found = request.values.find(name); found != request.values.end()) {
            auto text = parseText(name, found->second);
            if (!text.ok()) {
                return Error{text.error()};
            }
            *target = std::move(*text);
        }
    }
    if (auto found = request.values.find("--version"); found != request.values.end()) {
        auto version = parseVersion(found->second);
        if (!version.ok()) {
            return Error{version.error()};
        }
        options.version = *version;
    }
    if (auto found = request.values.find("--execution-level"); found != request.values.end()) {
        if (!isExecutionLevel(found->second)) {
            return fail("--execution-level " + found->second +
                        ": one of asInvoker, highestAvailable, requireAdministrator is needed");
        }
        options.executionLevel = found->second;
    }
    return options;
}

}  // namespace

int runBrandTool(const std::vector<std::string>& args, FileAccess& files, const LineSink& out, const LineSink& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out(kUsage);
        return kExitWritten;
    }
    auto request = parseCommandLine(args);
    if (!request.ok()) {
        err("kite-brand: " + request.error());
        err(kUsage);
        return kExitUsage;
    }
    auto options = brandOptions(*request);
    if (!options.ok()) {
        err("kite-brand: " + options.error());
        return kExitUsage;
    }
    const std::string& input = request->input;
    const std::string& output = request->values.at("--output");
    if (files.sameFile(input, output)) {
        err("kite-brand: --output " + output + " is the input executable; brand into a new file");
        return kExitUsage;
    }
    if (auto icon = request->values.find("--icon"); icon != request->values.end()) {
        auto content = files.readFile(icon->second, kMaxIconBytes);
        if (!content.ok()) {
            err("kite-brand: " + content.error());
            return kExitRefused;
        }
        auto icons = readIconFile(*content);
        if (!icons.ok()) {
            err("kite-brand: " + icon->second + ": " + icons.error());
            return kExitRefused;
        }
        options->icons = std::move(*icons);
    }
    auto exe = files.readFile(input, kMaxExecutableBytes);
    if (!exe.ok()) {
        err("kite-brand: " + exe.error());
        return kExitRefused;
    }
    auto branded = brandExecutable(*exe, *options);
    if (!branded.ok()) {
        err("kite-brand: " + input + ": " + branded.error());
        return kExitRefused;
    }
    auto written = files.replaceFile(output, branded->image, input);
    if (!written.ok()) {
        err("kite-brand: " + written.error());
        return kExitRefused;
    }
    if (branded->droppedSignature) {
        err("kite-brand: note: " + input + " was signed; " + output + " is not: sign it again");
    }
    out("kite-brand: wrote " + output + " (from " + branded->kiteName + ")");
    return kExitWritten;
}

}  // namespace kite::brand
