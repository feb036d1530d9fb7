// comdlg32's calls for the other parts of the platform layer; not for its users.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform::detail {

// Whether a file name matches one pattern of a filter as Windows matches it: '*' and '?',
// letters in either case, "*.*" every name and "NAME.*" names without an extension too.
bool matchesFilePattern(const std::string& pattern, const std::string& name);

// Where an open dialog without an initial folder starts: the folder of the last file chosen;
// before any, the current folder when it holds a file of the selected filter (text and
// patterns), else the user's home folder.
std::string startingFolder(const std::vector<std::pair<std::string, std::string>>& filters,
                           size_t selected);

} // namespace platform::detail
