// What an audio device has been given to play, in order: the first block is the one
// playing, the others wait their turn, and a block asked to play several times over stays
// first until its last play. Every device keeps one, under its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

namespace platform {

class BlockQueue {
public:
    struct Block {
        const uint8_t* data = nullptr;
        size_t size = 0;
        uint32_t playsLeft = 1; // including the one under way
        std::function<void()> finished;
    };

    // Queues a block; true when it is first, so the device starts it now.
    bool push(const uint8_t* data, size_t size, uint32_t times, std::function<void()> finished) {
        blocks_.push_back(Block{data, size, times == 0 ? 1 : times, std::move(finished)});
        return blocks_.size() == 1;
    }

    bool empty() const { return blocks_.empty(); }
    const Block& first() const { return blocks_.front(); }

    // The first block has been played once more. Returns its report once it has been played
    // as often as asked, and drops it (what is first now starts next); null while it plays
    // again.
    std::function<void()> playedOnce() {
        if (blocks_.empty()) return nullptr;
        if (--blocks_.front().playsLeft > 0) return nullptr;
        auto finished = std::move(blocks_.front().finished);
        blocks_.pop_front();
        return finished ? finished : [] {};
    }

    // Forgets every block without reporting any: the device has been stopped.
    void clear() { blocks_.clear(); }

    // Takes every block's report, in order, leaving none: the device can play no more.
    std::deque<std::function<void()>> takeAll() {
        std::deque<std::function<void()>> reports;
        for (Block& b : blocks_)
            if (b.finished) reports.push_back(std::move(b.finished));
        blocks_.clear();
        return reports;
    }

private:
    std::deque<Block> blocks_;
};

} // namespace platform
