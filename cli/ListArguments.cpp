// The command line: its splitting into arguments, and /list's switches in any case, led
// by "/" or "-".
#include <algorithm>

#include "TarnwickVersion.h"
#include "cli/ListCommand.h"
#include "cli/Registration.h"
#include "listing/FolderWalk.h"

namespace tarnwick {
namespace {

constexpr TextView kSwitches[] = {u"list", u"?", u"depth", u"files", u"hidden", u"nopath", u"out"};

// The switch's name in lower case, without its lead.
Text SwitchName(TextView arg) {
    return AsciiLowerCase(arg.substr(1));
}

// Where "/" starts a path, it starts only the switches there are.
bool IsSwitch(TextView arg) {
    if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/')) return false;
    if (arg[0] == u'-' || kSeparator != u'/') return true;
    const Text name = SwitchName(arg);
    return std::find(std::begin(kSwitches), std::end(kSwitches), name) != std::end(kSwitches) ||
           IsFormatSwitch(name);
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// A run of backslashes from `at`: before a quote each pair counts once. Gives its end.
size_t TakeBackslashes(TextView line, size_t at, Text& arg) {
    const size_t end = std::min(line.find_first_not_of(u'\\', at), line.size());
    const size_t run = end - at;
    const bool beforeQuote = end < line.size() && line[end] == u'"';
    arg.append(beforeQuote ? (run + 1) / 2 : run, u'\\');
    return end;
}

}  // namespace

// Where the arguments start: after the name up to its closing quote, or its first blank.
size_t AfterProgramName(TextView line) {
    if (line.starts_with(u'"')) return std::min(line.find(u'"', 1), line.size() - 1) + 1;
    return std::min(line.find_first_of(u" \t"), line.size());
}

std::vector<Text> SplitCommandLine(TextView line) {
    std::vector<Text> args;
    size_t i = AfterProgramName(line);
    for (;;) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size()) return args;
        Text& arg = args.emplace_back();
        for (bool quoted = false; i < line.size() && (quoted || !IsBlank(line[i]));) {
            const char16_t c = line[i];
            if (c == u'\\') {
                i = TakeBackslashes(line, i, arg);
                continue;
            }
            if (c == u'"') {
                quoted = !quoted;
            } else {
                arg += c;
            }
            ++i;
        }
    }
}

Text AsciiLowerCase(TextView text) {
    Text lower(text);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return lower;
}

const TextView kUsage =
    u"Tarnwick " TARNWICK_VERSION u" 文件夹清单\r\n"
    u"用法：Tarnwick.exe /list 文件夹 [/depth 层数] [/files] [/hidden] [/nopath] [/out 文件]\r\n"
    u"       [/format text|tree|csv|json] [/include 模式] [/exclude 模式]\r\n"
    u"  不显示窗口，写出窗口对这些设置所列的清单，字节与保存的文件相同。\r\n"
    u"  /depth 层数  列举的层数（1 到 32767，默认 1）\r\n"
    u"  /files       也列出文件\r\n"
    u"  /hidden      也列出隐藏的文件夹和文件\r\n"
    u"  /nopath      只写名字，每层缩进四格\r\n"
    u"  /out 文件    写入该文件；省略时写到控制台\r\n"
    u"  /format 格式 text（默认）、tree（用线条画出的树）、csv 或 json：后两者每项一条记录，\r\n"
    u"               含大小、修改时间和属性\r\n"
    u"  /include 模式 只列出名字符合模式（* 和 ?）的文件；可重复\r\n"
    u"  /exclude 模式 不列出也不进入名字符合模式的文件夹和文件；可重复\r\n"
    u"Tarnwick.exe 文件夹  打开窗口并选中该文件夹\r\n"
    u"Tarnwick.exe /register    在资源管理器的文件夹菜单中加入“用 Tarnwick 列出”（仅当前用户）\r\n"
    u"Tarnwick.exe /unregister  删除 /register 加入的命令";

bool IsCommand(const std::vector<Text>& args) {
    if (IsRegistration(args)) return true;
    if (args.empty() || !IsSwitch(args[0])) return false;
    const Text name = SwitchName(args[0]);
    return name == u"list" || name == u"?";
}

ParsedCommand ParseCommand(const std::vector<Text>& args) {
    if (args.empty() || SwitchName(args[0]) == u"?") return ShowUsage{};  // IsCommand's two
    ListSettings s;
    bool haveFolder = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const Text& arg = args[i];
        if (!IsSwitch(arg)) {
            if (haveFolder)
                return ArgumentError{exitcode::BadSwitch, u"多余的参数：" + OnOneLine(arg)};
            s.folder = arg;
            haveFolder = true;
            continue;
        }
        const Text name = SwitchName(arg);
        if (name == u"files") {
            s.files = true;
        } else if (name == u"hidden") {
            s.hidden = true;
        } else if (name == u"nopath") {
            s.noPath = true;
        } else if (name == u"depth" || name == u"out") {
            if (i + 1 == args.size())
                return ArgumentError{exitcode::MissingValue, u"开关 " + arg + u" 后缺少值"};
            (name == u"depth" ? s.depth : s.out.emplace()) = args[++i];
        } else if (name == u"?") {
            return ShowUsage{};
        } else if (IsFormatSwitch(name)) {
            if (auto error = ReadFormatSwitch(name, args, i, s)) return *error;
        } else {
            return ArgumentError{exitcode::BadSwitch, u"未知的开关：" + OnOneLine(arg)};
        }
    }
    if (!haveFolder) return ArgumentError{exitcode::MissingValue, u"缺少要列举的文件夹"};
    return s;
}

}  // namespace tarnwick
