#include "script.h"

#include <windows.h>

#include <charconv>
#include <string_view>

#include "environment.h"

namespace jvm_double {

namespace {

Script theScript;

std::string readFile(const std::u16string& path, bool& ok) {
    std::string content;
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ok = file != INVALID_HANDLE_VALUE;
    if (!ok) return content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parseYesNo(std::string_view text, bool& value) {
    if (text == "yes") {
        value = true;
    } else if (text == "no") {
        value = false;
    } else {
        return false;
    }
    return true;
}

// Splits "verb rest" at the first space.
std::pair<std::string_view, std::string_view> firstWord(std::string_view text) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) return {text, {}};
    return {text.substr(0, space), text.substr(space + 1)};
}

bool parseStep(std::string_view text, std::vector<Step>& steps) {
    auto [verb, rest] = firstWord(text);
    Step step{};
    if (verb == "out" || verb == "err") {
        step.kind = verb == "out" ? Step::Kind::PrintOut : Step::Kind::PrintErr;
        step.text = rest;
    } else if (verb == "exit") {
        step.kind = Step::Kind::Exit;
        if (!parseNumber(rest, step.number)) return false;
    } else if (verb == "abort" && rest.empty()) {
        step.kind = Step::Kind::Abort;
    } else if (verb == "throw") {
        step.kind = Step::Kind::Throw;
        auto [className, message] = firstWord(rest);
        if (className.empty()) return false;
        step.text = className;
        step.detail = message;
    } else if (verb == "sleep") {
        step.kind = Step::Kind::Sleep;
        if (!parseNumber(rest, step.number) || step.number < 0) return false;
    } else if (verb == "wait_stop" && rest.empty()) {
        step.kind = Step::Kind::WaitStop;
    } else if (verb == "thread") {
        step.kind = Step::Kind::Thread;
        auto [milliseconds, line] = firstWord(rest);
        if (!parseNumber(milliseconds, step.number) || step.number < 0) return false;
        step.text = line;
    } else if (verb == "thread_exit") {
        step.kind = Step::Kind::ThreadExit;
        auto [milliseconds, code] = firstWord(rest);
        if (!parseNumber(milliseconds, step.number) || step.number < 0) return false;
        if (!parseNumber(code, step.exitCode)) return false;
    } else {
        return false;
    }
    steps.push_back(step);
    return true;
}

// A comma-separated list of main forms, each optionally "private_"; empty: none.
bool parseMainForms(std::string_view text, Script& s) {
    for (DeclaredMain& main : s.mains) main = DeclaredMain{};
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view word = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const bool isPrivate = word.starts_with("private_");
        if (isPrivate) word.remove_prefix(8);
        bool known = false;
        for (int form = 0; form < static_cast<int>(MainForm::Count); ++form) {
            if (word == mainFormName(static_cast<MainForm>(form))) {
                s.mains[form] = DeclaredMain{true, isPrivate};
                known = true;
            }
        }
        if (!known) return false;
    }
    return true;
}

bool parseLine(std::string_view key, std::string_view value, Script& s) {
    if (key == "create_result") return parseNumber(value, s.createResult);
    if (key == "create_delay") return parseNumber(value, s.createDelay);
    if (key == "default_args_result") return parseNumber(value, s.defaultArgsResult);
    if (key == "java_stack_size") return parseNumber(value, s.javaStackSize);
    if (key == "attach_result") return parseNumber(value, s.attachResult);
    if (key == "launcher_helper") return parseYesNo(value, s.launcherHelper);
    if (key == "check_paths") return parseYesNo(value, s.checkPaths);
    if (key == "has_main") {
        bool hasMain = true;
        if (!parseYesNo(value, hasMain)) return false;
        return parseMainForms(hasMain ? "static" : "", s);
    }
    if (key == "main_forms") return parseMainForms(value, s);
    if (key == "constructor") {
        if (value == "public") {
            s.constructor = Constructor::Public;
        } else if (value == "private") {
            s.constructor = Constructor::Private;
        } else if (value == "none") {
            s.constructor = Constructor::None;
        } else {
            return false;
        }
        return true;
    }
    if (key == "missing_method_throws") return parseYesNo(value, s.missingMethodThrows);
    if (key == "has_stop") return parseYesNo(value, s.hasStop);
    if (key == "secondary_result") return parseNumber(value, s.secondaryResult);
    if (key == "record") return true;  // the record's path, read by pathFromEnvironment
    if (key == "main_class") {
        s.mainClass = value;
        return true;
    }
    if (key == "refuse_option") {
        s.refusedOptions.emplace_back(value);
        return true;
    }
    if (key == "secondary_main") {
        if (value == "none") {
            s.secondaryMain = SecondaryMain::None;
        } else if (value == "void") {
            s.secondaryMain = SecondaryMain::Void;
        } else if (value == "int") {
            s.secondaryMain = SecondaryMain::Int;
        } else {
            return false;
        }
        return true;
    }
    if (key == "main") return parseStep(value, s.mainSteps);
    if (key == "stop") return parseStep(value, s.stopSteps);
    if (key == "secondary") return parseStep(value, s.secondarySteps);
    return false;
}

}  // namespace

void loadScript() {
    const std::u16string path = pathFromEnvironment(u"KITE_DOUBLE_SCRIPT");
    if (path.empty()) return;
    bool ok = false;
    const std::string content = readFile(path, ok);
    if (!ok) {
        theScript.error = "cannot read the script file";
        return;
    }
    std::string_view rest = content;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        const bool parsed =
            equals != std::string_view::npos && parseLine(line.substr(0, equals), line.substr(equals + 1), theScript);
        if (!parsed) {
            theScript.error = "bad script line: " + std::string(line);
            return;
        }
    }
}

const Script& script() { return theScript; }

const char* mainFormName(MainForm form) {
    switch (form) {
    case MainForm::Static: return "static";
    case MainForm::Instance: return "instance";
    case MainForm::StaticNoArgs: return "static_no_args";
    case MainForm::NoArgs: return "no_args";
    case MainForm::Count: break;
    }
    return "";
}

bool hasAnyMain() {
    for (const DeclaredMain& main : theScript.mains) {
        if (main.declared) return true;
    }
    return false;
}

}  // namespace jvm_double
