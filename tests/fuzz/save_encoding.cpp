// The bytes a save writes, from the window's result box and from /list's, against iconv:
// code page 936 where the text goes there and back exactly, else UTF-8 with its mark where
// it is well-formed UTF-16, else UTF-16 LE with its mark.
#include <iconv.h>

#include "cli/ListCommand.h"
#include "export/SaveListing.h"
#include "tests/fuzz/FuzzText.h"
#include "tests/support/ScriptedPump.h"
#include "window/memory/MemoryForm.h"

namespace tarnwick::fuzz {
namespace {

std::optional<std::string> Convert(std::string_view in, const char* to, const char* from) {
    const iconv_t cd = iconv_open(to, from);
    FUZZ_CHECK(cd != reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 4 + 4, '\0');
    auto* i = const_cast<char*>(in.data());
    char* o = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t r = iconv(cd, &i, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::pair<std::string, frmMain::Encoding> ModelSave(const Text& t) {
    const std::string utf16(reinterpret_cast<const char*>(t.data()), t.size() * 2);
    const auto ansi = Convert(utf16, "CP936", "UTF-16LE");
    if (ansi && Convert(*ansi, "UTF-16LE", "CP936") == utf16)
        return {*ansi, frmMain::Encoding::CodePage};
    if (const auto utf8 = Convert(utf16, "UTF-8", "UTF-16LE"))
        return {"\xEF\xBB\xBF" + *utf8, frmMain::Encoding::Utf8};
    return {"\xFF\xFE" + utf16, frmMain::Encoding::Utf16};
}

struct Bytes : FileWriter {
    std::string written;
    void Write(std::string_view bytes) override { written += bytes; }
    void Restart() override { written.clear(); }
};

}  // namespace
}  // namespace tarnwick::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::fuzz;
    static const auto files = MakeFileSystem();
    static testing::ScriptedPump pump;
    const Text t = ToText(data, size);
    const auto [bytes, encoding] = ModelSave(t);
    // The window's box, given the text at once.
    MemoryForm window(*files, pump);
    window.txtResult.SetText(t);
    Bytes saved;
    FUZZ_CHECK(window.form.WriteListing(saved) == encoding && saved.written == bytes);
    // /list's, given it a line at a time as the walk gives it.
    const auto listing = MakeListingBox();
    for (size_t at = 0; at < t.size();) {
        const size_t end = std::min(t.find(u'\n', at), t.size() - 1) + 1;
        listing->SetSelText(TextView(t).substr(at, end - at));
        at = end;
    }
    FUZZ_CHECK(listing->GetText() == t);
    Bytes listed;
    FUZZ_CHECK(WriteListing(*listing, window.form.ansiCodePage, listed) == encoding &&
               listed.written == bytes);
    return 0;
}
