#pragma once
// The result box of a native /list. Its lines only ever go in at the end there, and all
// that reads them is the save: so it holds them as the bytes the save writes in code page
// 936, converted once as each line comes, rather than as UTF-16 in the window's tree with
// its counts of lines, characters and words. Each line is kept as how many bytes it shares
// with the line before, up to a separator both have, and the rest: its folder's path is
// neither converted nor kept again, and 10^6 full paths take about a quarter of their bytes.
// A line the code page can't hold (exactly and both ways), or an edit elsewhere than at
// the end, turns it into the window's own store for good: what it reads and writes never
// differs from that store's.
#include <memory>
#include <vector>

#include "platform/memory/MemoryControl.h"
#include "resultview/ResultView.h"

namespace tarnwick::native {

class ListingResultBox : public MemoryControl<ResultBox> {
  public:
    Text GetText() const override;
    void SetText(TextView text) override;
    // Throws std::bad_alloc, with the text unchanged, rather than refuse a line: a listing
    // must never lack one silently.
    bool SetSelText(TextView text) override;
    void ForEachPiece(const std::function<bool(TextView)>& take) const override;
    bool ForEachPieceIn(uint32_t codePage,
                        const std::function<bool(std::string_view)>& take) const override;
    // A thread of its own gives the lines while they are added, a block at a time as each
    // fills, and the rest once `adding` has run.
    bool GiveWhileAdding(uint32_t codePage, const std::function<void()>& adding,
                         const std::function<void(std::string_view)>& take) override;

  private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t used, size;
    };
    // The last text held, with where each separator in it falls in its bytes.
    struct Last {
        Text text;
        std::vector<std::pair<uint32_t, uint32_t>> separators;  // unit, byte
    };
    class Expander;
    struct Stream;
    bool Hold(TextView text);
    char* RoomFor(size_t bytes);
    void Expand(const std::function<bool(std::string_view)>& take) const;
    void Give(Stream& stream, Expander& expander,
              const std::function<bool(std::string_view)>& give) const;
    void StopGiving();
    void ToStore();
    void Clear();

    bool held_ = true;  // the text is in blocks_ (with the caret at its end), not in store_
    std::vector<Block> blocks_;
    Last last_;
    std::vector<std::pair<uint32_t, uint32_t>> added_;  // the separators being added
    size_t longest_ = 0;                                // bytes of the longest text held
    Stream* stream_ = nullptr;                          // while a thread gives the blocks filled
    TextStore store_;
};

}  // namespace tarnwick::native
