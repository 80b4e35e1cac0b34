// Random sequences of user actions against the window, with what must hold checked after
// every action: the depth in range and shown canonically by the box and the scroll bar,
// the location controls agreeing as their chains say, the start button's caption telling
// whether a run is on, the flag clear and handlers nested no deeper than three. A failing
// sequence is shrunk and printed. Seeded: the same sequences on every run.
#include <array>
#include <random>
#include <sstream>

#include "tests/window/FormFixture.h"

namespace tarnwick::testing {
namespace {

// Every folder below the chosen one holds three folders and two files, three levels down:
// a walk anywhere has pump points to act at.
class TreeEverywhere : public FileSystem {
  public:
    using FileSystem::FindFirst;
    TextView FindFirst(TextView folder, int32_t, const Waiting&) override {
        names_.clear();
        if (std::count(folder.begin(), folder.end(), kSeparator) < 4)
            names_ = {u".", u"..", u"d0", u"d1", u"d2", u"f0.txt", u"f1.txt"};
        at_ = 0;
        return FindNext();
    }
    TextView FindNext() override { return at_ < names_.size() ? TextView(names_[at_++]) : u""; }
    void EndFind() override { names_.clear(), at_ = 0; }
    std::optional<uint32_t> EnumeratedAttributes() override { return Of(names_[at_ - 1]); }
    Text FullPath(TextView path) override { return Text(path); }
    std::optional<uint32_t> GetAttributes(TextView path) override {
        return Of(path.substr(path.find_last_of(kSeparator) + 1));
    }
    std::optional<FolderId> Identity(TextView) override { return std::nullopt; }
    void WriteReplacing(TextView path, const std::function<void(FileWriter&)>& content,
                        const HeldFileWaits&) override {
        struct Bytes : FileWriter {
            void Write(std::string_view b) override { bytes += b; }
            void Restart() override { bytes.clear(); }
            std::string bytes;
        } file;
        content(file);
        saved[Text(path)] = file.bytes;
    }
    std::map<Text, std::string> saved;

  private:
    static uint32_t Of(TextView name) { return name.ends_with(u".txt") ? 0 : attr::Folder; }
    std::vector<Text> names_;
    size_t at_ = 0;
};

enum class Kind {
    TypePath,
    PastePath,
    TypeDepth,
    PasteDepth,
    Key,
    Drive,
    Open,
    Bar,
    Check,
    Start,
    Save,
    Resize
};
constexpr const char* kKindNames[] = {"type path", "paste path", "type depth", "paste depth",
                                      "key",       "drive",      "open",       "scroll bar",
                                      "check box", "start",      "save",       "resize"};

struct Action {
    Kind kind;
    int a = 0, b = 0;
    Text text;
    std::vector<std::pair<int, Action>> atPumps;  // for a start: what the user does at pump n
};

const Text kPaths[] = {u"C:\\Work",     u"c:\\work\\sub", u"D:\\", u"D:\\Data", u"d:",
                       u"E:\\",         u"C:\\",          u"X:\\", u"C:\\No",   u"",
                       u"C:\\Work\\Sub"};
const Text kDepths[] = {u"0",   u"1", u"32767",  u"32768", u"-5",  u"99999999999999999999",
                        u"1e3", u"",  u" 12abc", u"&H10",  u"3.7", u"7"};

// Each action's numbers mean what Describe says.
Action RandomAction(std::mt19937& rng, int nesting) {
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Action x{static_cast<Kind>(pick(12)), 0, 0, {}, {}};
    if (nesting > 0 && x.kind == Kind::Start && pick(2)) x.kind = Kind::Check;
    switch (x.kind) {
        case Kind::TypePath:
        case Kind::PastePath:
            x.text = kPaths[pick(std::size(kPaths))];
            if (x.kind == Kind::TypePath) x.text = x.text.substr(0, 1 + pick(4));
            break;
        case Kind::TypeDepth:
            x.text = Text(1 + pick(3), static_cast<char16_t>(u"0123456789-e ."[pick(14)]));
            break;
        case Kind::PasteDepth:
            x.text = kDepths[pick(std::size(kDepths))];
            break;
        case Kind::Key:
            x.a = std::array{38, 40, 33, 34, 65}[pick(5)], x.b = pick(2);
            break;
        case Kind::Drive:
            x.text = Text{static_cast<char16_t>(u'c' + pick(3)), u':'};
            break;
        case Kind::Open:
            x.text = pick(2) ? u"C:\\Work\\Sub" : u"D:\\Data";
            break;
        case Kind::Bar:
            x.a = pick(5), x.b = pick(32767);
            break;
        case Kind::Check:
            x.a = pick(3), x.b = pick(2);
            break;
        case Kind::Start:  // during a run, a stop
            for (int i = nesting > 0 ? 0 : pick(4); i > 0; --i)
                x.atPumps.push_back({1 + pick(40), RandomAction(rng, 1)});
            break;
        case Kind::Save:
            x.a = pick(3), x.b = pick(2) ? 0x3003 : 0;
            break;
        case Kind::Resize:
            x.a = pick(2000), x.b = pick(1000);
            break;
    }
    return x;
}

std::string Describe(const Action& x, int indent = 0) {
    static const char* const kBar[] = {"line up", "line down", "page up", "page down", "drag to"};
    static const char* const kBoxes[] = {"files", "hidden", "no path"};
    static const char* const kSave[] = {"cancelled, error", "to C:\\out.txt", "to C:\\out.txt"};
    std::ostringstream s;
    s << std::string(indent, ' ') << kKindNames[static_cast<int>(x.kind)] << " ";
    switch (x.kind) {
        case Kind::Key:
            s << "code " << x.a << (x.b ? " with shift" : "");
            break;
        case Kind::Bar:
            s << kBar[x.a] << (x.a == 4 ? " " + std::to_string(x.b) : "");
            break;
        case Kind::Check:
            s << kBoxes[x.a] << " = " << x.b;
            break;
        case Kind::Save:
            s << kSave[x.a] << (x.a == 0 ? " " + std::to_string(x.b) : "");
            break;
        case Kind::Resize:
            s << x.a << " x " << x.b;
            break;
        default:
            s << "\"" << Narrow(x.text) << "\"";
    }
    s << "\n";
    for (const auto& [pump, y] : x.atPumps)
        s << std::string(indent + 2, ' ') << "at pump " << pump << ": " << Describe(y, indent + 2);
    return s.str();
}

// One window driven through a sequence; the first broken rule is kept.
class Session {
  public:
    Session() {
        w.drDrive.letters = {u'c', u'd', u'e'};
        w.drDrive.Select(u'c');
        w.drDir.currentFolders = {{u'c', u"C:\\Work"}, {u'd', u"D:\\"}};
        w.drDir.notReady = {{u'e', 71}};
        w.drDir.exists = [](TextView p) {
            for (TextView f :
                 {u"C:\\", u"C:\\Work", u"C:\\Work\\Sub", u"c:\\work\\sub", u"D:\\", u"D:\\Data"})
                if (p == f) return true;
            return false;
        };
        w.drDir.Open(u"C:\\Work");
        w.form.Form_Load();
        Nest(w.txtPath.onChange), Nest(w.drDir.onChange), Nest(w.drDrive.onChange);
        Nest(w.txtLevel.onChange), Nest(w.VSLevel.onChange), Nest(w.VSLevel.onScroll);
        auto key = std::move(w.txtLevel.onKeyDown);
        w.txtLevel.onKeyDown = [this, key](int16_t& k, int16_t s) {
            Deeper d(*this);
            key(k, s);
        };
        pump.onPump = [this](int n) {
            if (atPumps_)
                for (const auto& [at, y] : *atPumps_)
                    if (at == n) Do(y);
        };
    }

    // False once a rule is broken; `broken` says which, after which action.
    bool Do(const Action& x) {
        if (!broken.empty()) return false;
        const Text dirBefore = w.drDir.GetPath(), driveBefore = w.drDrive.GetDrive();
        const size_t boxes = w.desktop.errorBoxes.size();
        Act(x);
        Check(x, dirBefore, driveBefore, w.desktop.errorBoxes.size() > boxes);
        if (!broken.empty()) broken = Describe(x) + broken;
        return broken.empty();
    }
    std::string broken;

  private:
    struct Deeper {
        explicit Deeper(Session& s) : s_(s) {
            s_.mostNested_ = std::max(s_.mostNested_, ++s_.nested_);
        }
        ~Deeper() { --s_.nested_; }
        Session& s_;
    };
    void Nest(Notify& n) {
        n = [this, inner = std::move(n)] {
            Deeper d(*this);
            inner();
        };
    }

    void Act(const Action& x) {
        switch (x.kind) {
            case Kind::TypePath:
                for (const char16_t c : x.text) {
                    lastTyped_ = w.txtPath.GetText() + c;  // what Type does, a key at a time
                    w.txtPath.SetText(lastTyped_);
                }
                return;
            case Kind::PastePath:
                lastTyped_ = x.text;
                return w.txtPath.SetText(x.text);
            case Kind::TypeDepth:
                return w.txtLevel.Type(x.text);
            case Kind::PasteDepth:
                return w.txtLevel.SetText(x.text);
            case Kind::Key:
                return w.txtLevel.PressKey(static_cast<int16_t>(x.a), static_cast<int16_t>(x.b));
            case Kind::Drive:
                return w.drDrive.SetDrive(x.text);
            case Kind::Open:
                return w.drDir.Open(x.text);
            case Kind::Bar:
                if (x.a == 4)
                    return w.VSLevel.Drag(
                        {static_cast<int16_t>(x.b / 2), static_cast<int16_t>(x.b)});
                return x.a == 0   ? w.VSLevel.LineUp()
                       : x.a == 1 ? w.VSLevel.LineDown()
                       : x.a == 2 ? w.VSLevel.PageUp()
                                  : w.VSLevel.PageDown();
            case Kind::Check: {
                MemoryCheckBox* boxes[] = {&w.ChFiles, &w.ChHidden, &w.ChNoPath};
                return boxes[x.a]->SetValue(static_cast<int16_t>(x.b));
            }
            case Kind::Start:
                if (Running()) return w.cmdDoIt.Click();  // a stop
                atPumps_ = &x.atPumps;
                pump.pumps = 0;  // counted from the start of the run
                w.cmdDoIt.Click();
                atPumps_ = nullptr;
                return;
            case Kind::Save:
                w.desktop.answers = {x.a ? std::optional<Text>(u"C:\\out.txt") : std::nullopt};
                w.desktop.dialogError = static_cast<uint32_t>(x.b);
                return w.cmdSave.Click();
            case Kind::Resize:
                w.Me.width = static_cast<float>(x.a * 2), w.Me.height = static_cast<float>(x.b);
                return w.form.Form_Resize();
        }
    }
    bool Running() const { return w.form.Running != False; }

    void Fail(bool broken_, const std::string& rule) {
        if (broken_ && broken.empty()) broken = "  broke: " + rule + "\n";
    }
    void Check(const Action& x, const Text& dirBefore, const Text& driveBefore, bool errorBox) {
        const frmMain& f = w.form;
        Fail(f.Levels < 1 || f.Levels > 32767, "depth within 1..32767");
        Fail(w.txtLevel.GetText() != Digits(f.Levels), "the depth box shows the depth");
        Fail(w.VSLevel.GetValue() != 32767 - f.Levels, "the scroll bar shows the depth");
        Fail(f.SkipChange != False, "the flag is clear after each action");
        Fail(mostNested_ > 3, "handlers nest at most three deep");
        Fail((w.cmdDoIt.GetCaption() == u"停止(&X)") != Running(),
             "the start button's caption follows Running");
        const Text path = w.txtPath.GetText(), dir = w.drDir.GetPath();
        Fail(path != dir && path != lastTyped_,
             "the path box holds the folder list's path or the user's text");
        const auto drive = [](TextView p) {
            return p.empty() ? u'?' : static_cast<char16_t>(p[0] | 0x20);
        };
        const char16_t shown = w.drDrive.GetDrive()[0];
        const bool picked = x.kind == Kind::Drive && w.drDrive.GetDrive() != driveBefore;
        if (picked || x.kind == Kind::PastePath) {
            if (errorBox) {
                Fail(dir != dirBefore, "a location error leaves the folder list as it was");
            } else {
                Fail(drive(dir) != shown || (picked && path != dir),
                     "a drive picked or a path pasted moves all three together");
            }
        }
        if (x.kind == Kind::Open) Fail(path != dir, "a folder opened is shown in the path box");
        mostNested_ = 0;
    }

    TreeEverywhere files;
    ScriptedPump pump;

  public:
    MemoryForm w{files, pump};

  private:
    const std::vector<std::pair<int, Action>>* atPumps_ = nullptr;
    Text lastTyped_;
    int nested_ = 0, mostNested_ = 0;
};

// The broken rule of `actions`, run in a window of their own; empty when none breaks.
std::string Broken(const std::vector<Action>& actions) {
    Session s;
    for (const Action& x : actions)
        if (!s.Do(x)) break;
    return s.broken;
}

// Drops actions, and actions at pumps, while the sequence still breaks a rule.
std::vector<Action> Shrink(std::vector<Action> actions) {
    for (bool smaller = true; smaller;) {
        smaller = false;
        for (size_t i = 0; i < actions.size(); ++i) {
            auto fewer = actions;
            fewer.erase(fewer.begin() + static_cast<long>(i));
            if (!Broken(fewer).empty()) {
                actions = std::move(fewer), smaller = true, --i;
                continue;
            }
            for (size_t j = 0; j < actions[i].atPumps.size(); ++j) {
                fewer = actions;
                auto& p = fewer[i].atPumps;
                p.erase(p.begin() + static_cast<long>(j));
                if (!Broken(fewer).empty()) actions = std::move(fewer), smaller = true, --j;
            }
        }
    }
    return actions;
}

TEST(RandomActions, KeepTheWindowConsistentAfterEveryAction) {
    std::mt19937 rng(20261208);
    for (int sequence = 0; sequence < 2000; ++sequence) {
        std::vector<Action> actions;
        for (int i = 1 + static_cast<int>(rng() % 24); i > 0; --i)
            actions.push_back(RandomAction(rng, 0));
        if (Broken(actions).empty()) continue;
        const std::vector<Action> shrunk = Shrink(actions);
        std::string shown;
        for (const Action& x : shrunk) shown += Describe(x);
        FAIL() << "sequence " << sequence << ", shrunk:\n"
               << shown << "at the last, " << Broken(shrunk);
    }
}

}  // namespace
}  // namespace tarnwick::testing
