// Writes the lexicon as a JavaScript module for the studio's highlighter, so that the page
// reads MML with the engine's own table:   mml_lexicon_js OUTPUT.js
#include "sound/mml_lexicon.h"

#include <cstdio>
#include <string>

namespace {

std::string quoted(std::string_view name) {
    return "'" + std::string(name) + "'";
}

std::string module() {
    std::string out = "// Generated from the engine's lexicon at build time; not to be edited.\n"
                      "export const kinds = [";
    for (size_t k = 0; k < mml::kKinds; ++k)
        out += (k > 0 ? ", " : "") + quoted(mml::kKindNames[k]);
    out += "];\n// The kind of the word each byte starts, by byte.\nexport const byteKinds = [";
    for (int c = 0; c < 256; ++c)
        out += (c % 8 == 0 ? "\n  " : " ") +
               quoted(mml::kKindNames[static_cast<size_t>(mml::kindOf(static_cast<uint8_t>(c)))]) +
               ",";
    out += "\n];\n// What each kind takes after its first byte: a sign, a number ('none', "
           "'optional' or 'required'), dots.\nexport const shapes = {\n";
    static constexpr const char* kNumbers[] = {"none", "optional", "required"};
    for (size_t k = 0; k < mml::kKinds; ++k) {
        const mml::Shape shape = mml::shapeOf(static_cast<mml::Kind>(k));
        out += "  " + std::string(mml::kKindNames[k]) +
               ": { sign: " + (shape.sign ? "true" : "false") + ", number: '" +
               kNumbers[static_cast<int>(shape.number)] +
               "', dots: " + (shape.dots ? "true" : "false") + " },\n";
    }
    out += "};\n// A sign, and a dot.\nexport const signs = " + quoted(mml::kSigns) +
           ";\nexport const dot = " + quoted(std::string(1, mml::kDot)) + ";\n";
    out += "// The bytes that end a line.\nexport const lineEnds = [";
    for (size_t i = 0; i < mml::kLineEnds.size(); ++i)
        out += (i > 0 ? ", " : "") + std::to_string(static_cast<uint8_t>(mml::kLineEnds[i]));
    return out + "];\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mml_lexicon_js OUTPUT.js\n");
        return 2;
    }
    const std::string text = module();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "mml_lexicon_js: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
