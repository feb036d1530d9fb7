// What the loader's reading tells: how the file is encoded, names that read as commands or
// swallow a comment, bytes skipped, where a 0xFF splits an editor's line, numbers that the
// player takes otherwise than written. Places are kept as an editor counts them, worked out
// once as the loader reads.
#pragma once

#include "sound/sound.h"
#include "tools/report/file_start.h"
#include "tools/report/findings.h"
#include "tools/report/skipped_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace score_examination {

class LoadExaminer {
public:
    explicit LoadExaminer(Findings& findings) : findings_(findings) {}

    // As the loader tells them.
    void line(int64_t line, std::string_view text, int ending);
    void dropped(SoundObserver::Dropped what, int64_t line, int64_t column, std::string_view text);
    void read(int32_t channel, int32_t command, int64_t line, int64_t column, int64_t length);

    // A rendering found `channel` playing nothing: whether a signed rest of it, which the
    // renderer starts the channel over at, stands for that.
    bool signedRestStops(int32_t channel);

    // The load over: what is told once every line is read. Returns what stands for every
    // other warning, if anything does.
    std::string close();
    // What is told of the whole score, with the rest of the warnings.
    void reportScore();
    // A whole file in another player's language: said first, as the rest follows.
    std::optional<ScoreWarning> dialectWarning() const;

private:
    struct SignedRest {
        TextPlace place;
        char written[2]; // as the text spells it
        bool stops;      // before any note or rest
    };
    struct Place {
        int64_t line = 0;
        int64_t column = 0;
    };

    void checkName(int64_t line, std::string_view text, std::string_view name);
    // A length of zero, or one past what a note's value holds, which wraps.
    void checkLength(const TextPlace& here, size_t at, size_t letters, int32_t value);
    void readSignedRest(int32_t channel, const TextPlace& here, size_t at);
    void tellBreak(std::string_view name);
    void reportSignedRests();
    void reportCaseTwins();

    Findings& findings_;
    std::string_view text_; // the line being read; valid only while the loader reads it
    FileStart start_;
    TextPlace breakAt_; // the last 0xFF, told once the line after it is known
    bool breakPending_ = false;
    int64_t commandBytes_ = 0;
    int64_t skippedBytes_ = 0;
    SkippedRun run_;
    Place lastRead_; // the note just read, for a '#' right after it
    std::vector<SignedRest> signedRests_;
    std::vector<int64_t> signedRestOf_; // by channel: its first 'r+' or 'r-', or -1
};

} // namespace score_examination
