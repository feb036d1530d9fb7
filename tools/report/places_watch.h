// What the loader tells of places, handed on to a ScorePlaces. Watchers of a load that also
// want to lead commands back to their text start from here and add what they look for.
#pragma once

#include "sound/sound.h"
#include "tools/report/score_places.h"

class PlacesWatch : public SoundObserver {
public:
    explicit PlacesWatch(ScorePlaces& places) : places_(places) {}

    void line(int64_t line, std::string_view text, int ending) override {
        places_.line(line, text, ending);
    }
    void read(int32_t channel, int32_t command, int64_t line, int64_t column,
              int64_t length) override {
        places_.read(channel, command, line, column, length);
    }
    void declared(int32_t channel, int64_t line, int64_t column) override {
        places_.declared(channel, line, column);
    }
    void repeated(int32_t channel, int32_t from, int32_t to, int64_t count) override {
        places_.repeated(channel, from, to, count);
    }
    void failed(int64_t line, int64_t column, std::string_view reason) override {
        places_.failed(line, column, reason);
    }

protected:
    ScorePlaces& places_;
};
