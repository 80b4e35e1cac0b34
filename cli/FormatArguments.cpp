// The switches of the listing's form and its filters, read apart from the others: each
// takes a value, and the filters may be given again and again.
#include <algorithm>

#include "cli/ListCommand.h"
#include "listing/FolderWalk.h"

namespace tarnwick {
namespace {

struct FormatName {
    TextView name;
    ListFormat format;
};
constexpr FormatName kFormats[] = {{u"text", ListFormat::Lines},
                                   {u"csv", ListFormat::Csv},
                                   {u"json", ListFormat::Json},
                                   {u"tree", ListFormat::Tree}};

std::optional<ArgumentError> ReadFormat(TextView value, ListSettings& s) {
    const Text name = AsciiLowerCase(value);
    const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [&](const FormatName& f) { return f.name == name; });
    if (found == std::end(kFormats))
        return ArgumentError{exitcode::BadSwitch, u"未知的格式：" + OnOneLine(value)};
    s.format = found->format;
    return std::nullopt;
}

}  // namespace

bool IsFormatSwitch(TextView name) {
    return name == u"format" || name == u"include" || name == u"exclude";
}

std::optional<ArgumentError> ReadFormatSwitch(TextView name, const std::vector<Text>& args,
                                              size_t& i, ListSettings& s) {
    if (i + 1 == args.size())
        return ArgumentError{exitcode::MissingValue, u"开关 " + args[i] + u" 后缺少值"};
    const Text& value = args[++i];
    if (name == u"format") return ReadFormat(value, s);
    (name == u"include" ? s.include : s.exclude).push_back(value);
    return std::nullopt;
}

}  // namespace tarnwick
