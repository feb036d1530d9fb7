// marrowtone-render run as a user runs it: a process, its streams in files.
#pragma once

#include "tests/sound/test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

struct Result {
    int status;
    std::string out, err;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The program with `args`, and `input` (a file) or nothing on standard input; its standard
// output goes to `output` when named, else into the result.
inline Result run(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "/dev/null", const std::string& output = "") {
    std::string command = quote(MARROWTONE_RENDER);
    for (const auto& a : args)
        command += " " + quote(a);
    const auto out = dir.path() / "stdout", err = dir.path() / "stderr";
    command += " >" + quote(output.empty() ? out.string() : output) + " 2>" + quote(err.string()) +
               " <" + quote(input);
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output.empty() ? readFile(out) : "",
            readFile(err)};
}
