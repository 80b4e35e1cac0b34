// The command line's splitting against a model that reads it a character at a time, a
// round trip through quoting, and /list's switches against a table of what each does.
#include <algorithm>
#include <map>

#include "cli/ListCommand.h"
#include "tests/fuzz/FuzzText.h"

namespace tarnwick::fuzz {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::vector<Text> ModelSplit(TextView line) {
    size_t i = 0;
    if (line.starts_with(u'"')) {
        i = std::min(line.find(u'"', 1), line.size() - 1) + 1;
    } else {
        while (i < line.size() && !IsBlank(line[i])) ++i;
    }
    std::vector<Text> args;
    Text arg;
    bool started = false, quoted = false;
    size_t backslashes = 0;
    for (; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'\\') {
            ++backslashes;
            started = true;
            continue;
        }
        arg.append(c == u'"' ? (backslashes + 1) / 2 : backslashes, u'\\');
        backslashes = 0;
        if (c == u'"') {
            quoted = !quoted;
            started = true;
        } else if (IsBlank(c) && !quoted) {
            if (started) args.push_back(arg);
            arg.clear();
            started = false;
        } else {
            arg += c;
            started = true;
        }
    }
    arg.append(backslashes, u'\\');
    if (started) args.push_back(arg);
    return args;
}

// Each argument quoted as the C runtime's rules quote it: its closing backslashes doubled.
Text Quoted(const std::vector<Text>& args) {
    Text line = u"prog";
    for (const Text& a : args) {
        const size_t trailing = a.size() - std::min(a.find_last_not_of(u'\\') + 1, a.size());
        line += u" \"" + a + Text(trailing, u'\\') + u"\"";
    }
    return line;
}

Text Lower(TextView s) {
    Text out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; });
    return out;
}

// Natively "/" starts a path too, so only the switches there are count as switches.
std::optional<Text> Switch(const Text& arg) {
    static const Text kNames[] = {u"list", u"?", u"depth", u"files", u"hidden", u"nopath", u"out"};
    if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-')) return std::nullopt;
    const Text name = Lower(arg.substr(1));
    const bool known = std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
    if (arg[0] == u'/' && kSeparator == u'/' && !known) return std::nullopt;
    return name;
}

// An argument named in an error line, its CR and LF shown as control pictures.
Text Shown(Text arg) {
    for (char16_t& c : arg) c = c == u'\r' ? u'\u240D' : c == u'\n' ? u'\u240A' : c;
    return arg;
}

ParsedCommand ModelParse(const std::vector<Text>& args) {
    ListSettings s;
    std::optional<Text> folder;
    for (size_t i = 1; i < args.size(); ++i) {
        const auto name = Switch(args[i]);
        if (!name && folder)
            return ArgumentError{exitcode::BadSwitch, u"多余的参数：" + Shown(args[i])};
        if (!name) folder = args[i];
        if (!name) continue;
        const std::map<Text, bool*> flags = {
            {u"files", &s.files}, {u"hidden", &s.hidden}, {u"nopath", &s.noPath}};
        if (*name == u"?") return ShowUsage{};
        if (flags.count(*name)) {
            *flags.at(*name) = true;
        } else if (*name != u"depth" && *name != u"out") {
            return ArgumentError{exitcode::BadSwitch, u"未知的开关：" + Shown(args[i])};
        } else if (i + 1 < args.size()) {
            (*name == u"depth" ? s.depth : s.out.emplace()) = args[++i];
        } else {
            return ArgumentError{exitcode::MissingValue, u"开关 " + args[i] + u" 后缺少值"};
        }
    }
    if (!folder) return ArgumentError{exitcode::MissingValue, u"缺少要列举的文件夹"};
    s.folder = *folder;
    return s;
}

bool Same(const ParsedCommand& a, const ParsedCommand& b) {
    if (a.index() != b.index()) return false;
    if (const auto* e = std::get_if<ArgumentError>(&a))
        return e->exitCode == std::get<ArgumentError>(b).exitCode &&
               e->message == std::get<ArgumentError>(b).message;
    if (const auto* s = std::get_if<ListSettings>(&a)) {
        const ListSettings& t = std::get<ListSettings>(b);
        return s->folder == t.folder && s->depth == t.depth && s->files == t.files &&
               s->hidden == t.hidden && s->noPath == t.noPath && s->out == t.out;
    }
    return true;
}

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    const Text line = ToText(data, size);
    const std::vector<Text> args = SplitCommandLine(line);
    FUZZ_CHECK(args == ModelSplit(line));
    FUZZ_CHECK(SplitCommandLine(Quoted(args)) == args);
    const auto command = Switch(args.empty() ? Text() : args[0]);
    const bool isCommand = command == u"list" || command == u"?";
    FUZZ_CHECK(IsCommand(args) == isCommand);
    if (isCommand)
        FUZZ_CHECK(Same(ParseCommand(args), *command == u"?" ? ShowUsage{} : ModelParse(args)));
    return 0;
}
