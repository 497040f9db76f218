#include "PackInputs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lzhpack {

namespace {

// Folders nested deeper than this are taken for a link cycle.
constexpr int kMaxFolderDepth = 64;

std::string BaseName(const std::string& path)
{
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return path;
    size_t slash = path.rfind('/', end);
    size_t begin = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(begin, end + 1 - begin);
}

// Appends the relative paths of every regular file below folder/relative.
int WalkFolder(const std::string& folder, const std::string& relative, int depth,
               std::vector<std::string>& found, std::string& message)
{
    std::string here = relative.empty() ? folder : folder + "/" + relative;
    if (depth > kMaxFolderDepth) {
        message = here + ": folders nested too deeply";
        return kPackNoInput;
    }
    DIR* dir = opendir(here.c_str());
    if (dir == nullptr) {
        message = here + ": " + std::strerror(errno);
        return kPackNoInput;
    }
    int status = kPackOk;
    std::vector<std::string> subfolders;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (stat((folder + "/" + rel).c_str(), &st) != 0) {
            message = folder + "/" + rel + ": " + std::strerror(errno);
            status = kPackNoInput;
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            subfolders.push_back(rel);
        } else if (S_ISREG(st.st_mode)) {
            found.push_back(rel);
        } else {
            message = folder + "/" + rel + ": not a regular file or folder";
            status = kPackNoInput;
            break;
        }
    }
    closedir(dir);
    for (size_t i = 0; status == kPackOk && i < subfolders.size(); ++i)
        status = WalkFolder(folder, subfolders[i], depth + 1, found, message);
    return status;
}

int AddFolder(const std::string& folder, std::vector<PackInput>& inputs, std::string& message)
{
    std::vector<std::string> found;
    int status = WalkFolder(folder, "", 0, found, message);
    if (status != kPackOk)
        return status;
    std::sort(found.begin(), found.end());  // std::string compares bytes as unsigned
    for (const std::string& rel : found) {
        PackInput in;
        in.path = folder + "/" + rel;
        size_t slash = rel.rfind('/');
        if (slash != std::string::npos)
            in.directory = rel.substr(0, slash);
        in.name = rel.substr(slash == std::string::npos ? 0 : slash + 1);
        inputs.push_back(in);
    }
    return kPackOk;
}

// Printable ASCII without the characters Windows refuses in file names.
bool IsStorableByte(unsigned char c)
{
    return c > 0x20 && c < 0x7F && std::strchr("\\/:*?\"<>|", c) == nullptr;
}

bool IsStorableComponent(const std::string& part)
{
    if (part.empty() || part == "." || part == "..")
        return false;
    for (unsigned char c : part) {
        if (!IsStorableByte(c))
            return false;
    }
    return true;
}

std::string Upper(const std::string& s)
{
    std::string u = s;
    for (char& c : u) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return u;
}

}  // namespace

int CollectInputs(const std::vector<std::string>& paths, std::vector<PackInput>& inputs, std::string& message)
{
    for (const std::string& path : paths) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            message = path + ": " + std::strerror(errno);
            return kPackNoInput;
        }
        if (S_ISDIR(st.st_mode)) {
            int status = AddFolder(path, inputs, message);
            if (status != kPackOk)
                return status;
        } else if (S_ISREG(st.st_mode)) {
            inputs.push_back(PackInput{path, "", BaseName(path)});
        } else {
            message = path + ": not a regular file or folder";
            return kPackNoInput;
        }
    }
    // Windows file names ignore case: two members that differ only in case
    // would land in one file.
    std::vector<std::string> keys;
    for (const PackInput& in : inputs)
        keys.push_back(Upper(in.directory + "/" + in.name));
    std::vector<size_t> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    for (size_t i = 1; i < order.size(); ++i) {
        if (keys[order[i]] == keys[order[i - 1]]) {
            message = inputs[order[i]].path + ": stored name clashes with " + inputs[order[i - 1]].path;
            return kPackBadName;
        }
    }
    return kPackOk;
}

std::string LevelZeroName(const PackInput& input)
{
    std::string name = input.directory.empty() ? input.name : input.directory + "/" + input.name;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

int CheckStoredName(const PackInput& input, int level, std::string& message)
{
    std::string rest = input.directory;
    for (size_t guard = 0; !rest.empty() && guard <= input.directory.size(); ++guard) {
        size_t slash = rest.find('/');
        std::string part = rest.substr(0, slash);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        if (!IsStorableComponent(part)) {
            message = input.path + ": folder name '" + part + "' is not storable (plain ASCII, no spaces or \\/:*?\"<>|)";
            return kPackBadName;
        }
    }
    if (!IsStorableComponent(input.name)) {
        message = input.path + ": file name is not storable (plain ASCII, no spaces or \\/:*?\"<>|)";
        return kPackBadName;
    }
    if (level == 0 && LevelZeroName(input).size() > kMaxBaseName) {
        message = input.path + ": stored path longer than 101 bytes (the level-0 limit)";
        return kPackBadName;
    }
    if (level == 1 && input.name.size() > kMaxBaseName) {
        message = input.path + ": file name longer than 101 bytes";
        return kPackBadName;
    }
    if (level == 1 && input.directory.size() + 1 > kMaxDirectoryRecord) {
        message = input.path + ": folder path longer than 199 bytes";
        return kPackBadName;
    }
    return kPackOk;
}

}  // namespace lzhpack
