// What a channel's settings are at each command, read by the renderer's own table of
// command texts and folded the way its events fold them.
#include "sound/event_program.h"
#include "sound/sound.h"

using namespace events;

int32_t Sound::semitoneOf(std::string_view cmd) {
    const Code code = commandCode(cmd);
    return code.kind == Kind::Note ? code.arg : -1;
}

void Sound::walkSettings(
    int32_t index, const std::function<void(int64_t command, const VoiceSettings&)>& step) const {
    if (index < 0 || static_cast<size_t>(index) >= channels.size()) return;
    const CommandList& list = channels[static_cast<size_t>(index)];
    VoiceSettings voice;
    Effect effect;
    uint32_t read = 0;
    for (size_t j = 0; j < list.size(); ++j) {
        breatheEvery(read, 0x3FFF);
        const Code code = commandCode(list.text(j));
        if (code.kind == Kind::Unknown) return; // where the renderer rewinds
        if (code.kind == Kind::Control) {
            effect.add(code.arg, list.value(j));
            step(static_cast<int64_t>(j), applied(voice, effect));
            continue;
        }
        voice = applied(voice, effect);
        effect = Effect();
        step(static_cast<int64_t>(j), voice);
    }
}
