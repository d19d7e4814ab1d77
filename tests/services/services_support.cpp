#include "services_support.h"

#include <algorithm>
#include <vector>

namespace services_test {

std::string PathOfLength(const std::string& folder, size_t length)
{
    std::string path = folder + "\\";
    if (path.size() < length) path.append(length - path.size(), 'n');
    return path;
}

static void Collect(const std::string& root, const std::string& relative,
                    std::vector<std::string>* lines)
{
    WIN32_FIND_DATAA entry;
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = relative.empty() ? name : relative + "\\" + name;
        std::string content;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Collect(root, path, lines);
        } else {
            fixture::ReadFile(root + "\\" + path, &content);
        }
        lines->push_back(path + "|" + std::to_string(entry.dwFileAttributes) + "|" + content);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

std::string Snapshot(const std::string& root)
{
    std::vector<std::string> lines;
    Collect(root, "", &lines);
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

}  // namespace services_test
