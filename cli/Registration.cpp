#include "cli/Registration.h"

#include "listing/FolderWalk.h"

namespace tarnwick {
namespace {

Text SwitchOf(TextView arg) {
    if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-')) return {};
    return AsciiLowerCase(arg.substr(1));
}

}  // namespace

const TextView kExplorerCaption = u"用 Tarnwick 列出(&T)";

bool IsRegistration(const std::vector<Text>& args) {
    if (args.empty()) return false;
    const Text name = SwitchOf(args[0]);
    return name == u"register" || name == u"unregister";
}

int RunRegistration(const std::vector<Text>& args, CommandConsole& console) {
    if (args.size() > 1) {
        console.ErrorLine(u"多余的参数：" + OnOneLine(args[1]));
        return exitcode::BadSwitch;
    }
    const bool add = SwitchOf(args[0]) == u"register";
    const ExplorerChange change = add ? AddExplorerCommand() : RemoveExplorerCommand();
    switch (change.outcome) {
        case ExplorerChange::Done:
            console.OutputLine(add ? u"已为当前用户在资源管理器中加入“用 Tarnwick 列出”，它启动 " +
                                         change.detail
                                   : u"已从资源管理器中去除“用 Tarnwick 列出”");
            return exitcode::Ok;
        case ExplorerChange::NothingToRemove:
            console.OutputLine(u"资源管理器中没有“用 Tarnwick 列出”，无须去除");
            return exitcode::Ok;
        case ExplorerChange::Failed:
            console.ErrorLine(u"无法写入注册表：" + change.detail);
            return exitcode::CannotWrite;
        case ExplorerChange::NotHere:
            break;
    }
    console.ErrorLine(u"无法加入或去除资源管理器的命令：/register 和 /unregister 只用于 Windows");
    return exitcode::BadSwitch;
}

}  // namespace tarnwick
