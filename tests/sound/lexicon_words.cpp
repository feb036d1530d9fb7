// The loader's own reading of scores, word by word, for the suite that holds the studio's
// highlighter to it:   lexicon_words FILE...
// prints "= FILE", then "LINE COLUMN LENGTH KIND" for each word the loader read, and
// "! LINE COLUMN" where a load stopped.
#include "sound/sound.h"

#include <cstdio>
#include <fstream>

namespace {

class Words final : public SoundObserver {
public:
    void word(mml::Kind kind, int64_t line, int64_t column, int64_t length) override {
        std::printf("%lld %lld %lld %s\n", static_cast<long long>(line),
                    static_cast<long long>(column), static_cast<long long>(length),
                    mml::kKindNames[static_cast<size_t>(kind)].data());
    }
    void failed(int64_t line, int64_t column, std::string_view) override {
        std::printf("! %lld %lld\n", static_cast<long long>(line), static_cast<long long>(column));
    }
};

} // namespace

int main(int argc, char** argv) {
    Words words;
    for (int i = 1; i < argc; ++i) {
        std::printf("= %s\n", argv[i]);
        std::ifstream in(argv[i], std::ios::binary);
        Sound sound;
        sound.observer = &words;
        try {
            sound.load(in, argv[i]);
        } catch (const SoundError&) {
            // Told through failed().
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
