#include "tools/report/file_start.h"

#include "sound/mml_lexicon.h"
#include "tools/score_text.h"

#include <algorithm>

namespace score_examination {

using score_text::shown;

void FileStart::add(std::string_view text, int ending) {
    if (head_.size() >= kHead) return;
    head_.append(text.substr(0, kHead - head_.size()));
    if (ending >= 0 && head_.size() < kHead) head_ += static_cast<char>(ending);
}

bool FileStart::spoilsName() const {
    if (markedName_.empty()) return false;
    const std::string_view rest = std::string_view(markedName_).substr(kUtf8Mark.size());
    return !rest.empty() && !mml::startsComment(rest);
}

std::string FileStart::utf16Warning() const {
    const std::string_view head = head_;
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF"))
        return "the file starts with a UTF-16 byte-order mark (" +
               std::string(head[0] == '\xFF' ? "FF FE" : "FE FF") +
               "): the player reads single bytes, not UTF-16; save the file as UTF-8";
    // Characters of two bytes, one of them NUL, all along the start of the file.
    size_t low = 0, high = 0;
    const size_t pairs = head.size() / 2;
    for (size_t i = 0; i < pairs; ++i) {
        const char a = head[2 * i], b = head[2 * i + 1];
        low += a != '\0' && b == '\0';
        high += a == '\0' && b != '\0';
    }
    if (pairs < 2 || std::max(low, high) * 4 < pairs * 3) return {};
    return "the file looks like UTF-16 text (a NUL byte beside each character): the player "
           "reads single bytes, not UTF-16; save the file as UTF-8";
}

void FileStart::reportMark(Findings& findings) const {
    if (markedName_.empty()) return;
    const std::string_view rest = std::string_view(markedName_).substr(kUtf8Mark.size());
    std::string text = "the file starts with a UTF-8 byte-order mark (EF BB BF), which the "
                       "player reads as ";
    if (rest.empty()) {
        text += "a channel name of its own, so this line's first word is read as a command";
    } else if (mml::startsComment(rest)) {
        text += "the start of a channel name, so this comment is read as channel '" +
                shown(markedName_) + "'";
    } else {
        text += "the start of the first channel's name, '" + shown(markedName_) + "'";
        if (findings.sound().channelIndex.contains(std::string(rest)))
            text += ": this line does not join channel '" + shown(rest) + "'";
    }
    findings.add(1, 1, [&] { return text + "; save the file without the mark"; });
}

} // namespace score_examination
